#pragma once

#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"
#include "renderer/OverlayMesh.h"
#include "renderer/SolidVertex.h"

#include <functional>
#include <vector>

namespace velorin {

// The device's position on the map: a pale disc of its accuracy, a white rim and a blue
// dot, kept at their size on screen and drawn over everything. Stateless; any thread.
class PositionMarker {
public:
    // Screen pixels by which the relief lifts a ground point (0 on a flat frame).
    using Lift = std::function<double(WorldPoint)>;

    // Radii in points, times the content scale; the accuracy disc shows only when wider
    // than kMinAccuracyRadiusPoints.
    static constexpr double kMinAccuracyRadiusPoints = 12;
    static constexpr double kRimRadiusPoints = 9;
    static constexpr double kDotRadiusPoints = 6.5;
    static constexpr double kMinDrawnRadiusPixels = 0.5;
    static constexpr int kAccuracySegments = 48;
    static constexpr int kDotSegments = 32;
    static constexpr OverlayMesh::Color kAccuracyColor = {0.16f, 0.47f, 1.0f, 0.18f};
    static constexpr OverlayMesh::Color kRimColor = {1, 1, 1, 1};
    static constexpr OverlayMesh::Color kDotColor = {0.11f, 0.44f, 0.96f, 1};
    // The most vertices a marker takes.
    static constexpr std::size_t kMaxVertexCount = 3 * std::size_t(kAccuracySegments + 2 * kDotSegments);

    // Appends the marker of a position known to `accuracyMeters` to `vertices`.
    static void append(const Camera& camera, WorldPoint position, double accuracyMeters, double contentScale,
        const Lift& lift, std::vector<SolidVertex>& vertices);
};

} // namespace velorin
