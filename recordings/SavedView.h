#pragma once

#include "platform/Iso8601.h"
#include "recordings/CameraPose.h"

#include <string>

namespace velorin {

// A still picture of the map kept by the user with the camera that reopens it. A plain
// value; any thread.
struct SavedView {
    // Upper-case UUID text; names the capture's folder.
    std::string id;
    platform::SystemTime date;
    std::string name;
    // The raw value of the basemap shown when it was taken.
    std::string basemap;
    CameraPose pose;

    bool operator==(const SavedView&) const = default;
};

} // namespace velorin
