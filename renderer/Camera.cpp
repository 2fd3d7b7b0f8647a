#include "renderer/Camera.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace velorin {

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;
}

double Camera::wrapAngle(double radians)
{
    double r = std::fmod(radians, kTwoPi);
    if (r > std::numbers::pi)
        r -= kTwoPi;
    if (r <= -std::numbers::pi)
        r += kTwoPi;
    return r;
}

double Camera::scale() const
{
    return std::exp2(zoom) * kWorldPixelsAtZoomZero;
}

double Camera::focalDistance() const
{
    return viewSize.height * focalLength;
}

Camera::Point Camera::rotate(Point offset) const
{
    if (bearing == 0)
        return offset;
    const double c = std::cos(bearing);
    const double s = std::sin(bearing);
    return {offset.x * c - offset.y * s, offset.x * s + offset.y * c};
}

Camera::Point Camera::unrotate(Point delta) const
{
    if (bearing == 0)
        return delta;
    const double c = std::cos(bearing);
    const double s = std::sin(bearing);
    return {delta.x * c + delta.y * s, delta.y * c - delta.x * s};
}

double Camera::eyeDistance() const
{
    const double f = focalDistance();
    const double metersPerPixel = center.metersPerPixel(zoom);
    const double sight = metersPerPixel > 0 ? kSightDistanceMeters / metersPerPixel : 0;
    return std::min(kMaxSightInFocalDistances * f, std::max(kMinSightInFocalDistances * f, sight));
}

std::optional<Camera::Projection> Camera::project(Point offset, double height) const
{
    const double f = focalDistance();
    const double s = std::sin(pitch);
    const double c = std::cos(pitch);
    const double depth = f - offset.y * s - height * c;
    if (!(depth > kNearDepthShare * f))
        return std::nullopt;
    return Projection{
        {offset.x * f / depth + viewSize.width / 2, (offset.y * c - height * s) * f / depth + viewSize.height / 2},
        depth,
    };
}

Camera::Point Camera::screenPoint(WorldPoint point, double height) const
{
    const double pixels = scale();
    const Point offset = unrotate({(point.x - center.x) * pixels, (point.y - center.y) * pixels});
    if (pitch == 0)
        return {offset.x + viewSize.width / 2, offset.y + viewSize.height / 2};
    if (auto projection = project(offset, height))
        return projection->point;
    return {kOffscreenCoordinate, kOffscreenCoordinate};
}

Camera::Point Camera::groundOffset(Point screen) const
{
    const double sx = screen.x - viewSize.width / 2;
    const double sy = screen.y - viewSize.height / 2;
    if (pitch == 0)
        return {sx, sy};
    const double f = focalDistance();
    const double s = std::sin(pitch);
    const double c = std::cos(pitch);
    const double farthestRow = (f - eyeDistance()) / s;
    const double den = sy * s + c * f;
    const double y = c * den > 0 ? std::max(sy * f / den, farthestRow) : farthestRow;
    return {sx * (f - s * y) / f, y};
}

WorldPoint Camera::worldPoint(Point screen) const
{
    const Point delta = rotate(groundOffset(screen));
    const double pixels = scale();
    return {center.x + delta.x / pixels, center.y + delta.y / pixels};
}

std::optional<std::array<WorldPoint, 4>> Camera::groundFootprint(double nearDepth, double farDepth) const
{
    const double s = std::sin(pitch);
    if (s <= 0)
        return std::nullopt;
    const double c = std::cos(pitch);
    const double f = focalDistance();
    double nearRow = f * s;
    double farRow = -std::numeric_limits<double>::infinity();
    if (c > 0) {
        nearRow = std::max(groundOffset({viewSize.width / 2, kFootprintNearRowShare * viewSize.height}).y, f * s);
        farRow = groundOffset({viewSize.width / 2, kFootprintFarRowShare * viewSize.height}).y;
    }
    const double yNear = std::min(nearRow, (f - nearDepth) / s);
    const double yFar = std::max(farRow, (f - std::min(farDepth, eyeDistance())) / s);
    if (!(yNear > yFar))
        return std::nullopt;
    const double pixels = scale();
    const auto corner = [&](double x, double y) {
        const Point delta = rotate({x, y});
        return WorldPoint{center.x + delta.x / pixels, center.y + delta.y / pixels};
    };
    const auto halfWidth = [&](double y) { return (f - s * y) * (viewSize.width / 2) / f * kFootprintWidening; };
    return std::array<WorldPoint, 4>{corner(-halfWidth(yNear), yNear), corner(halfWidth(yNear), yNear),
        corner(halfWidth(yFar), yFar), corner(-halfWidth(yFar), yFar)};
}

std::optional<WorldRect> Camera::groundRect(double nearDepth, double farDepth) const
{
    if (auto corners = groundFootprint(nearDepth, farDepth))
        return WorldRect::boundingRect(*corners);
    return std::nullopt;
}

WorldRect Camera::visibleRect() const
{
    const double pixels = scale();
    if (bearing == 0 && pitch == 0) {
        const double halfX = viewSize.width / 2 / pixels;
        const double halfY = viewSize.height / 2 / pixels;
        return {center.x - halfX, center.y - halfY, center.x + halfX, center.y + halfY};
    }
    if (pitch != 0) {
        if (auto rect = groundRect(0, eyeDistance()))
            return *rect;
    }
    const std::array<WorldPoint, 4> corners = {
        worldPoint({0, 0}),
        worldPoint({viewSize.width, 0}),
        worldPoint({viewSize.width, viewSize.height}),
        worldPoint({0, viewSize.height}),
    };
    return WorldRect::boundingRect(corners);
}

double Camera::fitZoom(const WorldRect& rect, double padding) const
{
    const double w = rect.maxX - rect.minX;
    const double h = rect.maxY - rect.minY;
    if (!(w > 0) || !(h > 0))
        return zoom;
    const double availableWidth = std::max(1.0, viewSize.width - 2 * padding);
    const double availableHeight = std::max(1.0, viewSize.height - 2 * padding);
    return std::min(std::log2(availableWidth / w / kWorldPixelsAtZoomZero),
        std::log2(availableHeight / h / kWorldPixelsAtZoomZero));
}

Camera::Orientation Camera::easedOrientation(double targetBearing, double targetPitch, double elapsedSeconds) const
{
    const double u = std::clamp(elapsedSeconds / kOrientationEasingSeconds, 0.0, 1.0);
    const double k = u * u * (3 - 2 * u);
    const double turn = wrapAngle(targetBearing - bearing);
    return {wrapAngle(bearing + turn * k), pitch + (targetPitch - pitch) * k};
}

void Camera::setZoom(double newZoom, Point about)
{
    const WorldPoint anchor = worldPoint(about);
    zoom = newZoom;
    const Point delta = rotate(groundOffset(about));
    const double pixels = scale();
    center = {anchor.x - delta.x / pixels, anchor.y - delta.y / pixels};
}

void Camera::panAlongGround(Point delta)
{
    if (pitch == 0) {
        pan(delta);
        return;
    }
    const Point middle{viewSize.width / 2, viewSize.height / 2};
    const WorldPoint a = worldPoint(middle);
    const WorldPoint b = worldPoint({middle.x + delta.x, middle.y + delta.y});
    center = {center.x + (a.x - b.x), center.y + (a.y - b.y)};
}

void Camera::pan(Point delta)
{
    const Point moved = rotate(delta);
    const double pixels = scale();
    center = {center.x - moved.x / pixels, center.y - moved.y / pixels};
}

void Camera::fit(const WorldRect& rect, double padding, double maxZoom)
{
    zoom = std::min(maxZoom, fitZoom(rect, padding));
    center = {(rect.minX + rect.maxX) / 2, (rect.minY + rect.maxY) / 2};
}

void Camera::clamp(const WorldRect& rect, double minZoom, double maxZoom)
{
    zoom = std::min(maxZoom, std::max(zoom, minZoom));
    Camera flat = *this;
    flat.pitch = 0;
    const WorldRect view = flat.visibleRect();
    const double hx = (view.maxX - view.minX) / 2;
    const double hy = (view.maxY - view.minY) / 2;
    center.x = 2 * hx >= rect.maxX - rect.minX ? (rect.minX + rect.maxX) / 2
                                               : std::min(rect.maxX - hx, std::max(center.x, rect.minX + hx));
    center.y = 2 * hy >= rect.maxY - rect.minY ? (rect.minY + rect.maxY) / 2
                                               : std::min(rect.maxY - hy, std::max(center.y, rect.minY + hy));
}

} // namespace velorin
