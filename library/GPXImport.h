#pragma once

#include "platform/Iso8601.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// What an import of GPX files did: how many tracks it stored, the names of the files it
// could not read or store a track from, and of those that hold only waypoints, each in
// the order chosen.
struct GPXImportResult {
    int imported = 0;
    std::vector<std::string> failed;
    std::vector<std::string> withoutTracks;
};

// Files larger than this are not read.
inline constexpr std::uintmax_t kMaximumGPXFileBytes = 100'000'000;

// Reads, parses and stores each track and each route of every file as a finished track
// under `storeRoot`, through a store of its own, so it runs on a worker thread while the
// recorder's store serves the screens. The one track of a file takes the document's name,
// else its own, else the file's without its extension; each of several takes its own,
// else the document's or the file's numbered by its place (" (2)"). A file's tracks are stored all or none: one that cannot be written whole takes
// those stored before it away again. `now` dates the points of a track without any time.
// The caller reloads the saved list once after.
GPXImportResult importGPXFiles(const std::filesystem::path& storeRoot, const std::vector<std::filesystem::path>& files,
    platform::SystemTime now);

// What the library tells after an import: nothing when every file gave its tracks.
std::optional<std::string> importMessage(const GPXImportResult& result);

} // namespace velorin
