#pragma once

#include "recordings/TrackPhoto.h"
#include "renderer/Camera.h"

#include <cstddef>
#include <vector>

namespace velorin {

// The library photos in view gathered by screen grid cell, so that nearby photos share one
// pin: each group is non-empty, in candidate order, and its first photo stands for it. Any
// thread; a plain function of its input.
struct LibraryPhotoGroups {
    static constexpr double kCellPoints = 72;
    static constexpr std::size_t kMaxGroups = 60;

    // A photo with its position in the view, in points.
    struct Candidate {
        const TrackPhoto* photo = nullptr;
        Camera::Point at;
    };

    // Candidates join the group of their cell; a candidate whose cell has no group yet
    // starts one while there are fewer than kMaxGroups, and is left out after that.
    static std::vector<std::vector<TrackPhoto>> group(const std::vector<Candidate>& candidates);
};

} // namespace velorin
