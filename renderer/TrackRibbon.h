#pragma once

#include "recordings/TrackDisplayPoint.h"
#include "renderer/Camera.h"
#include "renderer/OverlayMesh.h"
#include "renderer/SolidVertex.h"

#include <functional>
#include <optional>
#include <vector>

namespace velorin {

// The shown track as a ribbon over the relief: a dark edge under a strip coloured by
// travel mode, round joins, and a white-ringed dot where the track starts. Built in screen
// pixels for one camera, so that it keeps its width on screen. Stateless; any thread.
class TrackRibbon {
public:
    // Screen pixels by which the relief lifts a ground point (0 on a flat frame).
    using Lift = std::function<double(WorldPoint)>;

    // A point within this many pixels of the last kept one adds nothing.
    static constexpr double kMinSpacingPixels = 2;
    // Points nearer the eye than this share of the focal distance are hidden.
    static constexpr double kHiddenDepthShare = 0.05;
    // The ribbon is drawn this much nearer the eye than the ground it lies on, so that the
    // relief does not cover it: a share of its depth plus a few metres.
    static constexpr double kDepthPullShare = 0.015;
    static constexpr double kDepthPullMeters = 3;
    // Widths and radii in points, times the content scale.
    static constexpr double kStripWidthPoints = 4;
    static constexpr double kEdgeWidthPoints = 6.5;
    static constexpr double kStartRingRadiusPoints = 4;
    static constexpr double kStartDotRadiusPoints = 2.4;
    static constexpr double kLonePointRadiusPoints = 5;
    // Shapes this small or smaller are not drawn.
    static constexpr double kMinDrawnRadiusPixels = 0.5;
    static constexpr int kJoinSegments = 6;
    static constexpr int kStartSegments = 16;

    static constexpr OverlayMesh::Color kMovingColor = {0.16f, 0.78f, 0.35f, 1};
    static constexpr OverlayMesh::Color kStillOrDrivenColor = {0.15f, 0.52f, 1.0f, 1};
    static constexpr OverlayMesh::Color kNoModeColor = {1.0f, 0.36f, 0.05f, 1};
    static constexpr OverlayMesh::Color kEdgeColor = {0.1f, 0.05f, 0.0f, 0.55f};
    static constexpr OverlayMesh::Color kStartRingColor = {1, 1, 1, 1};

    struct Kept {
        Camera::Point screen;
        OverlayMesh::Color color;
        // Reversed depth: larger is nearer.
        float depth = 1;
        bool hidden = false;
    };

    static OverlayMesh::Color color(std::optional<TravelMode> mode);
    // The points worth drawing, projected: the first always, then every point but a
    // visible one within kMinSpacingPixels of a visible last kept point.
    static std::vector<Kept> keptPoints(
        const Camera& camera, const std::vector<TrackDisplayPoint>& points, const Lift& lift);
    // Appends the ribbon of `points` to `vertices`.
    static void append(const Camera& camera, const std::vector<TrackDisplayPoint>& points, double contentScale,
        const Lift& lift, std::vector<SolidVertex>& vertices);
};

} // namespace velorin
