#pragma once

#include "renderer/Camera.h"

#include <optional>

namespace velorin {

// The pixel size of a snapshot of the map view: the view's own pixel size, scaled down
// (never up) to fit a maximum dimension when one is given, and at least 2 × 2. A plain
// value; any thread.
struct SnapshotSize {
    static constexpr int kMinSidePixels = 2;

    int width = 0;
    int height = 0;
    // The share of the view's pixel size, 1 without a maximum.
    double scale = 1;

    static SnapshotSize of(Camera::Size viewPixels, std::optional<double> maxDimension);

    bool operator==(const SnapshotSize&) const = default;
};

} // namespace velorin
