#include "renderer/TrackRibbon.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

// Whether a point lies inside the view grown by `margin` on every side.
bool isNearView(Camera::Point point, const Camera::Size& view, double margin)
{
    return point.x >= -margin && point.x <= view.width + margin && point.y >= -margin
        && point.y <= view.height + margin;
}

// Whether the bounding box of a segment meets the view grown by `margin`.
bool meetsView(Camera::Point p, Camera::Point q, const Camera::Size& view, double margin)
{
    return std::max(p.x, q.x) >= -margin && std::min(p.x, q.x) <= view.width + margin
        && std::max(p.y, q.y) >= -margin && std::min(p.y, q.y) <= view.height + margin;
}

} // namespace

OverlayMesh::Color TrackRibbon::color(std::optional<TravelMode> mode)
{
    if (!mode)
        return kNoModeColor;
    switch (*mode) {
    case TravelMode::walking:
    case TravelMode::running:
    case TravelMode::cycling:
        return kMovingColor;
    case TravelMode::stationary:
    case TravelMode::automotive:
        return kStillOrDrivenColor;
    }
    return kNoModeColor;
}

std::vector<TrackRibbon::Kept> TrackRibbon::keptPoints(
    const Camera& camera, const std::vector<TrackDisplayPoint>& points, const Lift& lift)
{
    const double f = camera.focalDistance();
    const double worldPixels = camera.scale();
    const double metersPerPixel = camera.center.metersPerPixel(camera.zoom);
    const double cosBearing = std::cos(camera.bearing);
    const double sinBearing = std::sin(camera.bearing);
    std::vector<Kept> kept;
    for (const TrackDisplayPoint& point : points) {
        const double dx = (point.world.x - camera.center.x) * worldPixels;
        const double dy = (point.world.y - camera.center.y) * worldPixels;
        const Camera::Point offset{cosBearing * dx + sinBearing * dy, cosBearing * dy - sinBearing * dx};
        const double height = camera.pitch != 0 && lift ? lift(point.world) : 0;
        Kept next{{Camera::kOffscreenCoordinate, Camera::kOffscreenCoordinate}, color(point.mode), 1, true};
        if (const auto projection = camera.project(offset, height)) {
            const double depth = projection->depth;
            next.screen = projection->point;
            next.hidden = depth < kHiddenDepthShare * f;
            if (!next.hidden && camera.pitch != 0) {
                const double nearest = Camera::kNearDepthShare * f;
                const double pulled = depth - (kDepthPullShare * depth + kDepthPullMeters / metersPerPixel);
                next.depth = float(nearest / std::max(pulled, nearest));
            }
        }
        if (!kept.empty() && !next.hidden && !kept.back().hidden
            && std::hypot(next.screen.x - kept.back().screen.x, next.screen.y - kept.back().screen.y)
                < kMinSpacingPixels)
            continue;
        kept.push_back(next);
    }
    return kept;
}

void TrackRibbon::append(const Camera& camera, const std::vector<TrackDisplayPoint>& points, double contentScale,
    const Lift& lift, std::vector<SolidVertex>& vertices)
{
    const std::vector<Kept> kept = keptPoints(camera, points, lift);
    OverlayMesh mesh(camera.viewSize, vertices);
    if (kept.size() == 1) {
        const double radius = kLonePointRadiusPoints * contentScale;
        if (radius > kMinDrawnRadiusPixels)
            mesh.disc(kept[0].screen, radius, kStartSegments, kept[0].color, 1);
        return;
    }

    // Runs of points to join, as [begin, end) ranges of at least two points.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    if (camera.pitch == 0) {
        if (kept.size() >= 2)
            runs.emplace_back(0, kept.size());
    } else {
        for (std::size_t begin = 0; begin < kept.size();) {
            std::size_t end = begin;
            while (end < kept.size() && !kept[end].hidden)
                ++end;
            if (end - begin >= 2)
                runs.emplace_back(begin, end);
            begin = end + 1;
        }
    }

    const auto strip = [&](double width, const OverlayMesh::Color* edge) {
        const double margin = 2 * width;
        for (const auto& [begin, end] : runs) {
            for (std::size_t j = begin; j + 1 < end; ++j) {
                const Kept& p = kept[j];
                const Kept& q = kept[j + 1];
                if (!meetsView(p.screen, q.screen, camera.viewSize, margin))
                    continue;
                const OverlayMesh::Color& color = edge ? *edge : p.color;
                mesh.segment(p.screen, q.screen, width, color, p.depth, q.depth);
                if (j > begin && isNearView(p.screen, camera.viewSize, margin) && width / 2 > kMinDrawnRadiusPixels)
                    mesh.disc(p.screen, width / 2, kJoinSegments, color, p.depth);
            }
        }
    };
    strip(kEdgeWidthPoints * contentScale, &kEdgeColor);
    strip(kStripWidthPoints * contentScale, nullptr);

    if (kept.size() >= 2 && !kept[0].hidden) {
        const double ring = kStartRingRadiusPoints * contentScale;
        const double dot = kStartDotRadiusPoints * contentScale;
        if (ring > kMinDrawnRadiusPixels)
            mesh.disc(kept[0].screen, ring, kStartSegments, kStartRingColor, kept[0].depth);
        if (dot > kMinDrawnRadiusPixels)
            mesh.disc(kept[0].screen, dot, kStartSegments, kept[0].color, kept[0].depth);
    }
}

} // namespace velorin
