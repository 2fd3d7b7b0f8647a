#pragma once

#include "platform/Folders.h"
#include "recordings/Track.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// A track as a GPX 1.1 document that other GPS programs read: one track, one segment,
// one point per track point with its elevation and UTC time (no time at all for a track
// whose times are unknown). Numbers never follow the process locale. Pure; any thread.
namespace GPXWriter {

std::string document(const Track& track);
std::vector<std::byte> data(const Track& track);
// The track's name with every character that is not a letter or a number made "-",
// dashes trimmed, "trajet" when nothing is left, kept short enough for any file system,
// and ".gpx".
std::string fileName(const Track& track);

} // namespace GPXWriter

// Where exported files are written: a folder of the cache home that only the user may
// enter, never the shared temporary folder where another user could read the walk or
// put a file in its way.
std::filesystem::path gpxExportFolder(const platform::Folders& folders);

// Writes the track's document, readable by the user only, under its file name in the
// export folder, replacing a file of that name; nothing when it cannot be written.
std::optional<std::filesystem::path> exportGPXFile(const Track& track, const platform::Folders& folders);

} // namespace velorin
