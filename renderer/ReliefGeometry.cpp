#include "renderer/ReliefGeometry.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

// The point where a sampled sight line crosses the ground, between the last sample above
// it (`t0`, clearance `c0`) and the first below (`t1`, clearance `c1`).
double crossing(double t0, double c0, double t1, double c1)
{
    return (t1 - t0) * c0 / (c0 - c1) + t0;
}

} // namespace

ReliefGeometry::ReliefGeometry(double heightScale, double baseElevation, Elevation elevation)
    : heightScale_(heightScale)
    , baseElevation_(baseElevation)
    , elevation_(std::move(elevation))
{
}

bool ReliefGeometry::hasRelief() const
{
    return heightScale_ != 0 && elevation_;
}

double ReliefGeometry::groundAt(WorldPoint point) const
{
    return hasRelief() ? elevation_(point) : baseElevation_;
}

double ReliefGeometry::reliefFactor(double pitch) const
{
    // A camera looking straight down sees the map flat, so the factor is 1 there too; 0
    // would put the eye at an infinite altitude.
    if (heightScale_ == 0 || !(pitch > 0) || pitch >= kFullReliefPitchRadians)
        return 1;
    return std::sin(pitch) / kFullReliefPitchSine;
}

ReliefGeometry::Eye ReliefGeometry::eyePosition(const Camera& camera, std::optional<double> pitch) const
{
    const double f = camera.focalDistance();
    const double worldPixels = camera.scale();
    const double d = f * std::sin(camera.pitch);
    const WorldPoint ground{camera.center.x - d * std::sin(camera.bearing) / worldPixels,
        camera.center.y + d * std::cos(camera.bearing) / worldPixels};
    const double metersPerPixel = camera.center.metersPerPixel(camera.zoom);
    return {ground,
        baseElevation_ + f * std::cos(camera.pitch) * metersPerPixel / reliefFactor(pitch.value_or(camera.pitch))};
}

std::optional<Camera> ReliefGeometry::lookAtCamera(
    WorldPoint target, WorldPoint eye, double altitude, const Camera& look) const
{
    const double dx = target.x - eye.x;
    const double dy = target.y - eye.y;
    const double metersPerUnit = target.metersPerWorldUnit();
    const double distance = std::hypot(dx, dy) * metersPerUnit;
    if (!(distance > kMinAimDistanceMeters))
        return std::nullopt;
    const double rise = altitude - groundAt(target);
    double pitch = std::atan2(distance, rise);
    for (int i = 0; i < kAimPitchIterations; ++i)
        pitch = std::atan2(distance, rise * reliefFactor(pitch));
    if (!(pitch <= kMaxPitchRadians))
        return std::nullopt;

    Camera camera = look;
    camera.center = target;
    camera.bearing = Camera::wrapAngle(std::atan2(dx, -dy));
    camera.pitch = pitch;
    const double metersPerPixel = std::hypot(distance, rise * reliefFactor(pitch)) / look.focalDistance();
    camera.zoom = metersPerPixel > 0 ? std::log2(metersPerUnit / metersPerPixel / kWorldPixelsAtZoomZero) : 0;
    return camera;
}

std::optional<Camera> ReliefGeometry::cameraFromEye(
    WorldPoint eye, double altitude, double bearing, double pitch, const Camera& look) const
{
    if (!(pitch > kMinEyeCameraPitchRadians && pitch <= kMaxPitchRadians))
        return std::nullopt;
    const double eyeMetersPerUnit = eye.metersPerWorldUnit();
    const WorldPoint direction{std::sin(bearing) / eyeMetersPerUnit, -std::cos(bearing) / eyeMetersPerUnit};
    const double descentPerMeter = 1 / (reliefFactor(pitch) * std::tan(pitch));
    const auto at = [&](double s) { return WorldPoint{eye.x + direction.x * s, eye.y + direction.y * s}; };
    // Whether the ground at `s` metres along the line of sight rises above it.
    const auto meetsGround = [&](double s) {
        const WorldPoint sample = at(s);
        const double horizontal = std::hypot(sample.x - eye.x, sample.y - eye.y) * sample.metersPerWorldUnit();
        return groundAt(sample) > altitude - horizontal * descentPerMeter;
    };

    const double lookMetersPerPixel = look.center.metersPerPixel(look.zoom);
    const double limit = look.eyeDistance() * lookMetersPerPixel;
    double miss = 0;
    double s = std::max(
        kMinMarchStepMeters, kFirstMarchStepInFocalDistances * lookMetersPerPixel * look.focalDistance());
    // A template at a zoom without a finite scale would march for ever.
    if (!std::isfinite(limit) || !std::isfinite(s))
        return std::nullopt;
    std::optional<double> hit;
    while (s <= limit) {
        if (meetsGround(s)) {
            hit = s;
            break;
        }
        miss = s;
        s *= kMarchGrowth;
    }
    if (!hit)
        return std::nullopt;
    for (int i = 0; i < kRefineBisections; ++i) {
        const double middle = (miss + *hit) / 2;
        if (meetsGround(middle))
            hit = middle;
        else
            miss = middle;
    }

    Camera camera = look;
    camera.center = at((miss + *hit) / 2);
    camera.bearing = Camera::wrapAngle(bearing);
    camera.pitch = pitch;
    const double centerMetersPerUnit = camera.center.metersPerWorldUnit();
    const double slantMetersPerPixel = std::hypot(camera.center.x - eye.x, camera.center.y - eye.y)
        * centerMetersPerUnit / std::sin(pitch) / look.focalDistance();
    camera.zoom = slantMetersPerPixel > 0
        ? std::log2(centerMetersPerUnit / slantMetersPerPixel / kWorldPixelsAtZoomZero)
        : 0;
    return camera;
}

std::optional<Camera> ReliefGeometry::nearestTerrainHit(const Camera& camera) const
{
    if (!(camera.pitch > 0) || !hasRelief())
        return std::nullopt;
    const double pixelsPerMeter = reliefFactor(camera.pitch) / camera.center.metersPerPixel(camera.zoom);
    const double f = camera.focalDistance();
    const double d = f * std::sin(camera.pitch);
    const double h = f * std::cos(camera.pitch);
    const double worldPixels = camera.scale();
    // The sight line from the eye (t = 0) to the centre (t = 1).
    const auto at = [&](double t) {
        const double back = d * (1 - t) / worldPixels;
        return WorldPoint{
            camera.center.x - back * std::sin(camera.bearing), camera.center.y + back * std::cos(camera.bearing)};
    };
    double previousT = 0;
    double previousClearance = h;
    for (int i = 1; i < kSightSamples; ++i) {
        const double t = double(i) / kSightSamples;
        const double clearance = h * (1 - t) - (elevation_(at(t)) - baseElevation_) * pixelsPerMeter;
        if (clearance < 0) {
            const double hitT = crossing(previousT, previousClearance, t, clearance);
            Camera hitCamera = camera;
            hitCamera.center = at(hitT);
            hitCamera.zoom = camera.zoom + std::log2(1 / hitT);
            return hitCamera;
        }
        previousT = t;
        previousClearance = clearance;
    }
    return std::nullopt;
}

std::optional<WorldPoint> ReliefGeometry::terrainPoint(Camera::Point screen, const Camera& camera) const
{
    const double f = camera.focalDistance();
    if (!(f > 0) || !std::isfinite(camera.eyeDistance()))
        return std::nullopt;
    const double pixelsPerMeter
        = hasRelief() ? reliefFactor(camera.pitch) / camera.center.metersPerPixel(camera.zoom) : 0;
    const double a = (screen.x - camera.viewSize.width / 2) / f;
    const double b = (screen.y - camera.viewSize.height / 2) / f;
    const double rayLength = std::sqrt(a * a + 1 + b * b);
    const double limit = camera.eyeDistance();
    const double sinPitch = std::sin(camera.pitch);
    const double cosPitch = std::cos(camera.pitch);
    const double cosBearing = std::cos(camera.bearing);
    const double sinBearing = std::sin(camera.bearing);
    const double worldPixels = camera.scale();
    const auto at = [&](double t) {
        const double across = a * t;
        const double along = f * sinPitch + t * (b * cosPitch - sinPitch);
        return WorldPoint{camera.center.x + (across * cosBearing - along * sinBearing) / worldPixels,
            camera.center.y + (along * cosBearing + across * sinBearing) / worldPixels};
    };
    double previousT = 0;
    double previousClearance = f * cosPitch;
    for (double t = kFirstMarchStepInFocalDistances * f; rayLength * t <= limit; t *= kMarchGrowth) {
        const double height = f * cosPitch - t * (b * sinPitch + cosPitch);
        const double clearance
            = pixelsPerMeter != 0 ? height - (elevation_(at(t)) - baseElevation_) * pixelsPerMeter : height;
        if (clearance < 0)
            return at(crossing(previousT, previousClearance, t, clearance));
        previousT = t;
        previousClearance = clearance;
    }
    return std::nullopt;
}

bool ReliefGeometry::isHiddenByTerrain(WorldPoint point, const Camera& camera) const
{
    if (camera.pitch == 0 || !hasRelief())
        return false;
    const WorldPoint eye = eyePosition(camera).ground;
    const double eyeHeight = camera.focalDistance() * std::cos(camera.pitch);
    const double targetHeight = (elevation_(point) - baseElevation_) * heightScale_;
    const double distance = std::hypot(point.x - eye.x, point.y - eye.y) * point.metersPerWorldUnit();
    const double wanted = distance / kMetersPerHiddenSample;
    const int samples = wanted < kMaxHiddenSamples ? std::max(kMinHiddenSamples, int(wanted)) : kMaxHiddenSamples;
    const double clearanceMeters = kHiddenClearanceShare * distance <= kMinHiddenClearanceMeters
        ? kMinHiddenClearanceMeters
        : std::min(kMaxHiddenClearanceMeters, kHiddenClearanceShare * distance);
    const double clearance = clearanceMeters * heightScale_;
    const double tail
        = distance <= 1 ? kMaxHiddenTailShare : std::min(kMaxHiddenTailShare, kHiddenTailMeters / distance);
    for (int i = 1; i < samples; ++i) {
        const double t = double(i) / samples;
        if (t > 1 - tail)
            return false;
        const WorldPoint sample{eye.x + t * (point.x - eye.x), eye.y + t * (point.y - eye.y)};
        const double sightHeight = eyeHeight + t * (targetHeight - eyeHeight);
        if ((elevation_(sample) - baseElevation_) * heightScale_ > sightHeight + clearance)
            return true;
    }
    return false;
}

} // namespace velorin
