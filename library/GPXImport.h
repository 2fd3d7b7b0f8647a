#pragma once

#include "platform/Iso8601.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// What an import of GPX files did: how many tracks it stored, and the names of the files
// it could not read a track from, in the order chosen.
struct GPXImportResult {
    int imported = 0;
    std::vector<std::string> failed;
};

// Files larger than this are not read.
inline constexpr std::uintmax_t kMaximumGPXFileBytes = 100'000'000;

// Reads, parses and stores each file as a finished track under `storeRoot`, through a store
// of its own, so it runs on a worker thread while the recorder's store serves the screens;
// `now` dates the points without a time. The caller reloads the saved list once after.
GPXImportResult importGPXFiles(const std::filesystem::path& storeRoot, const std::vector<std::filesystem::path>& files,
    platform::SystemTime now);

// What the library tells after an import: nothing when every file gave a track.
std::optional<std::string> importMessage(const GPXImportResult& result);

} // namespace velorin
