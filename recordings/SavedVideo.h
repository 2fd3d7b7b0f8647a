#pragma once

#include "platform/Iso8601.h"
#include "recordings/CameraPose.h"

#include <string>
#include <vector>

namespace velorin {

// A recorded camera flight kept by the user: the poses it passed through, `frameRate` a
// second, over the basemap it was recorded on. A plain value; any thread.
struct SavedVideo {
    // Upper-case UUID text; names the capture's folder.
    std::string id;
    platform::SystemTime date;
    std::string name;
    // The raw value of the basemap shown while it was recorded.
    std::string basemap;
    double frameRate = 0;
    std::vector<CameraPose> poses;

    bool operator==(const SavedVideo&) const = default;
};

} // namespace velorin
