#pragma once

#include "platform/LocationFix.h"
#include "recordings/TrackRecorder.h"

#include <filesystem>
#include <fstream>

namespace testing_support {

// Puts a file where the recording's folder is, so that no write of the track can succeed,
// root included; returns that place, to be freed by removing the file.
inline std::filesystem::path blockRecordingFolder(const velorin::TrackRecorder& tracks)
{
    const auto folder = tracks.store().root() / tracks.current()->metadata.id;
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "occupé";
    return folder;
}

// The `step`th fix of a walk north from Chamonix, a minute and 110 m after the one before:
// the recorder keeps every one.
inline platform::LocationFix walkFix(int step)
{
    platform::LocationFix fix;
    fix.latitude = 45.92 + 0.001 * step;
    fix.longitude = 6.87;
    fix.horizontalAccuracy = 5;
    fix.timestamp = 1'714'557'600 + 60.0 * step;
    return fix;
}

} // namespace testing_support
