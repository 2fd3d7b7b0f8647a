#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string_view>

namespace platform {

// Writes a whole file so that readers see either the old bytes or the new ones, never a
// part: a temporary file in the same folder, flushed to disk, renamed over the target,
// then the folder flushed so that the rename itself survives a power cut. Creates the
// missing parent folders. The file gets `permissions` (ordinary user files by default;
// private ones pass owner read and write only). Throws std::filesystem::filesystem_error
// and leaves no temporary file behind on failure. Any thread.
inline constexpr std::filesystem::perms kOrdinaryFilePermissions = std::filesystem::perms::owner_read
    | std::filesystem::perms::owner_write | std::filesystem::perms::group_read | std::filesystem::perms::others_read;

void atomicWrite(const std::filesystem::path& path, std::span<const std::byte> bytes,
    std::filesystem::perms permissions = kOrdinaryFilePermissions);
void atomicWrite(const std::filesystem::path& path, std::string_view text,
    std::filesystem::perms permissions = kOrdinaryFilePermissions);

// The same steps for a file written by other means: its bytes flushed to disk, then,
// once it has been renamed into place, the folder that holds it. Both throw
// std::filesystem::filesystem_error. Any thread.
void flushFile(const std::filesystem::path& path);
void flushFolderOf(const std::filesystem::path& path);

} // namespace platform
