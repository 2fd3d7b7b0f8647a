#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// Writes a whole file so that readers see either the old bytes or the new ones, never a
// part: a temporary file in the same folder, flushed to disk, then renamed over the
// target. Creates the missing parent folders. Throws std::filesystem::filesystem_error
// and leaves no temporary file behind on failure. Any thread.
void atomicWrite(const std::filesystem::path& path, std::span<const std::byte> bytes);
void atomicWrite(const std::filesystem::path& path, std::string_view text);

} // namespace platform
