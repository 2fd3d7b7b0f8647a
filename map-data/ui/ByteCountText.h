#pragma once

#include <cstdint>
#include <string>

namespace velorin {

// A byte count as the French screens show file sizes: decimal units ("octets", "ko",
// "Mo", "Go"), a decimal comma, "Zéro octet" for nothing. Any thread.
std::string byteCountText(std::uintmax_t bytes);
// The same for memory: units of 1024 bytes, as the memory of a cache is counted.
std::string memoryByteCountText(std::uintmax_t bytes);

} // namespace velorin
