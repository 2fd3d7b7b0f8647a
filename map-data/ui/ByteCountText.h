#pragma once

#include <cstdint>
#include <string>

namespace velorin {

// A byte count as the French screens show file sizes: decimal units ("octets", "ko",
// "Mo", "Go"), a decimal comma, "Zéro octet" for nothing. Any thread.
std::string byteCountText(std::uintmax_t bytes);

} // namespace velorin
