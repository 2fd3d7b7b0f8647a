// Track flyovers: starting one along a walk, its camera and framing, the step that flies it
// (departure, holds for tiles, turning, sweep, speed, photos, height), seeks, the distance
// and mode controls, pausing, and ending it.

#include "canvas/MapCanvasView.h"
#include "map-data/TerrainService.h"
#include "platform/Log.h"
#include "platform/Uuid.h"
#include "recordings/TrackSmoothing.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace velorin {

namespace {

constexpr int kFlyoverSmoothingPasses = 2;
// Where the line of sight is tested, as shares of the distance back to the camera.
constexpr double kClearanceSamples[] = {0.15, 0.3, 0.45, 0.6, 0.75, 0.9, 1.0};
// The squares of tiles asked for ahead lie this many seconds of nominal flight ahead.
constexpr double kPrefetchAheadSeconds[] = {4, 8};

// The share of a gap that an approach at `rate` per second closes in `dt` seconds.
double approach(double rate, double dt)
{
    return 1 - std::exp(-rate * dt);
}

} // namespace

bool MapCanvasView::startFlyover(const std::vector<WorldPoint>& points)
{
    std::vector<TrackDisplayPoint> wrapped;
    wrapped.reserve(points.size());
    for (const WorldPoint& point : points) {
        if (std::isfinite(point.x) && std::isfinite(point.y))
            wrapped.push_back({point, std::nullopt});
    }
    std::vector<WorldPoint> path;
    for (const TrackDisplayPoint& point : smoothed(wrapped, kFlyoverSmoothingPasses))
        path.push_back(point.world);
    const double viewHeight = pixelScale(window_.boundsInPoints(), window_.screenScale()).height;
    if (path.size() < 2 || !(viewHeight > 1))
        return false;
    // One scale for the whole path, that of its start.
    const double metersPerUnit = path.front().metersPerWorldUnit();
    std::vector<double> distances {0};
    for (std::size_t i = 1; i < path.size(); ++i)
        distances.push_back(
            distances.back() + std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y) * metersPerUnit);
    const double total = distances.back();
    if (!(total > kMinFlyoverMeters))
        return false;

    stopAnimations();
    if (isCompassFollowing_) {
        isCompassFollowing_ = false;
        if (onCompassFollowingInterrupted)
            onCompassFollowingInterrupted();
    }
    const Flyover::Style& style = Flyover::style(flyoverMode_);
    Flyover flyover;
    flyover.path = std::move(path);
    flyover.distances = std::move(distances);
    flyover.speed = std::min(total / kFlyoverShortestSeconds,
        std::max(total / kFlyoverLongestSeconds, kFlyoverCruiseMetersPerSecond));
    flyover.mode = flyoverMode_;
    flyover.behind = style.startBehind;
    flyover.height = style.startBehind * style.heightFactor;
    flyover.swingAmplitude = style.swingAmplitude;
    flyover.id = platform::makeUuid();
    flyover_ = std::move(flyover);
    updateFlyoverPhotoStops();

    const Flyover& started = *flyover_;
    Camera& camera = renderer_->camera;
    const double bearing = started.heading(0).value_or(camera.bearing);
    const FlyoverFraming framing = flyoverFraming(started.path.front(), started.behind, started.height);
    animation_.reset();
    inertia_ = {};
    camera.center = started.path.front();
    camera.zoom = framing.zoom;
    camera.bearing = bearing;
    camera.pitch = framing.pitch;
    camera.focalLength = kFlyoverFocalLength;
    targetBearing_ = bearing;
    targetPitch_ = framing.pitch;
    cameraDidChange();
    if (onPitchChanged)
        onPitchChanged(true);
    startDisplayLink();
    renderer_->detailBias = 1;
    if (!isAppleLayerShown() && flyover_)
        preloadFlyoverTiles(*flyover_);
    return true;
}

MapCanvasView::FlyoverFraming MapCanvasView::flyoverFraming(WorldPoint point, double behind, double height) const
{
    const double distance = std::hypot(behind, height);
    const double viewHeight = pixelScale(window_.boundsInPoints(), window_.screenScale()).height;
    const double metersPerPixel = distance / (viewHeight * kFlyoverFocalLength);
    FlyoverFraming framing;
    framing.zoom
        = metersPerPixel > 0 ? std::log2(point.metersPerWorldUnit() / metersPerPixel / kWorldPixelsAtZoomZero) : 0;
    framing.pitch = std::min(kMaxStartPitchRadians, std::atan2(behind, height));
    return framing;
}

double MapCanvasView::flyoverClearanceHeight(WorldPoint point, double heading, double distance) const
{
    const auto& terrain = renderer_->terrain;
    if (!terrain)
        return 0;
    const auto elevation = [&terrain](WorldPoint at) { return terrain->elevationAt(at.x, at.y, kFlyoverClearanceZoom); };
    const double reach = distance / point.metersPerWorldUnit();
    const double ground = elevation(point);
    double need = 0;
    for (double share : kClearanceSamples) {
        const WorldPoint under {point.x - share * reach * std::sin(heading), point.y + share * reach * std::cos(heading)};
        need = std::max(need, (elevation(under) - ground) / share + kFlyoverClearanceMeters);
    }
    return need;
}

void MapCanvasView::updateFlyoverPhotoStops()
{
    if (!flyover_)
        return;
    Flyover& flyover = *flyover_;
    flyover.photoStops.clear();
    for (std::size_t index = 0; index < photos_.size(); ++index) {
        const WorldPoint at = photos_[index].world;
        if (!std::isfinite(at.x) || !std::isfinite(at.y))
            continue;
        std::size_t nearest = 0;
        double least = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < flyover.path.size(); ++i) {
            const double dx = flyover.path[i].x - at.x;
            const double dy = flyover.path[i].y - at.y;
            if (dx * dx + dy * dy < least) {
                least = dx * dx + dy * dy;
                nearest = i;
            }
        }
        flyover.photoStops.push_back({flyover.distances[nearest], int(index)});
    }
    std::stable_sort(flyover.photoStops.begin(), flyover.photoStops.end(),
        [](const Flyover::PhotoStop& a, const Flyover::PhotoStop& b) { return a.distance < b.distance; });
    flyover.nextPhoto = flyover.stopAfter(flyover.travelled);
}

void MapCanvasView::seekFlyover(double fraction)
{
    if (!flyover_ || !std::isfinite(fraction))
        return;
    Flyover& flyover = *flyover_;
    const double total = flyover.totalLength();
    flyover.travelled = std::clamp(fraction, 0.0, 1.0) * total;
    flyover.height = flyover.behind * Flyover::style(flyover.mode).heightFactor;
    flyover.speedFactor = 1;
    flyover.photoShownUntil = 0;
    flyover.nextPhoto = flyover.stopAfter(flyover.travelled);
    if (const auto heading = flyover.heading(flyover.travelled)) {
        renderer_->camera.bearing
            = Camera::wrapAngle(*heading + std::sin(flyover.swingPhase) * flyover.swingAmplitude);
        targetBearing_ = *heading;
    }
    const double travelled = flyover.travelled;
    if (onFlyoverPosition)
        onFlyoverPosition(travelled, total);
    startDisplayLink();
}

void MapCanvasView::adjustFlyoverDistance(double step)
{
    if (!std::isfinite(step))
        return;
    if (flyover_) {
        const double factor = step > 0 ? kFlyoverNearerFactor : kFlyoverFartherFactor;
        flyover_->behind
            = std::min(kMaxFlyoverBehindMeters, std::max(kMinFlyoverBehindMeters, flyover_->behind * factor));
        flyover_->targetBehind.reset();
        return;
    }
    const Camera& camera = renderer_->camera;
    zoom(camera.zoom + step, {camera.viewSize.width / 2, camera.viewSize.height / 2});
}

void MapCanvasView::applyFlyoverMode()
{
    if (!flyover_ || flyover_->mode == flyoverMode_)
        return;
    flyover_->mode = flyoverMode_;
    flyover_->targetBehind = Flyover::style(flyoverMode_).startBehind;
}

void MapCanvasView::setFlyoverPaused(bool paused)
{
    if (flyover_)
        flyover_->paused = paused;
    startDisplayLink();
}

void MapCanvasView::storeFlyover(const Flyover& flyover)
{
    if (flyover_ && flyover_->id == flyover.id)
        *flyover_ = flyover;
}

void MapCanvasView::flyoverStep()
{
    if (!flyover_ || animation_)
        return;
    if (flyover_->preparing) {
        if (!flyover_->preparingSince || now() - *flyover_->preparingSince < kFlyoverMaxPreparationSeconds)
            return;
        flyover_->preparing = false;
        flyover_->preloadGivenUp = true;
        flyover_->readyDistance = std::numeric_limits<double>::infinity();
        // The wait to depart counts from the start, so that the flyover leaves in time.
        flyover_->waitStart = flyover_->preparingSince;
        platform::Log::warning(platform::logcat::canvas, "{} : part sans tout ce que le survol montre après {} s",
            animationName_, kFlyoverMaxPreparationSeconds);
    }
    Flyover flyover = *flyover_;
    const double time = now();
    if (flyover.paused) {
        flyover.lastTime = time;
        storeFlyover(flyover);
        return;
    }
    const Camera& live = renderer_->camera;

    if (!flyover.departed) {
        if (!flyover.waitStart)
            flyover.waitStart = time;
        const double waited = time - *flyover.waitStart;
        const bool settled = std::abs(targetPitch_ - live.pitch) < kFlyoverSettledRadians
            && std::abs(Camera::wrapAngle(targetBearing_ - live.bearing)) < kFlyoverSettledRadians;
        const bool ready = isAppleLayerShown() ? waited > kFlyoverPlatformMapWaitSeconds : renderer_->isDesiredCached();
        if ((settled && ready && waited > kFlyoverMinWaitSeconds) || waited > kFlyoverMaxWaitSeconds) {
            flyover.departed = true;
            flyover.lastTime = time;
        }
        storeFlyover(flyover);
        showFlyoverDot(flyover.point(flyover.travelled));
        return;
    }
    // Less than two seconds of nominal flight are ready ahead.
    if (flyover.travelled + kFlyoverReadyAheadSeconds * flyover.speed > flyover.readyDistance) {
        flyover.lastTime = time;
        storeFlyover(flyover);
        return;
    }
    if (!isAppleLayerShown() && time >= flyover.ignoreStallsUntil && !renderer_->isNearDesiredCached()) {
        const double stalledSince = flyover.stalledSince.value_or(time);
        if (time - stalledSince < kFlyoverMaxStallSeconds) {
            flyover.stalledSince = stalledSince;
            flyover.lastTime = time;
            storeFlyover(flyover);
            return;
        }
        flyover.ignoreStallsUntil = time + kFlyoverIgnoreStallsSeconds;
    }

    flyover.stalledSince.reset();
    const double dt = flyover.lastTime ? std::min(kFlyoverMaxStepSeconds, time - *flyover.lastTime) : 0;
    flyover.lastTime = time;

    // The heading without the current sweep turns towards the path's.
    const double base = Camera::wrapAngle(live.bearing - std::sin(flyover.swingPhase) * flyover.swingAmplitude);
    const double target = flyover.heading(flyover.travelled).value_or(base);
    const double difference = Camera::wrapAngle(target - base);
    const double maxTurn = kFlyoverMaxTurnRadiansPerSecond * dt;
    const double heading = base + std::clamp(approach(kFlyoverTurnRate, dt) * difference, -maxTurn, maxTurn);

    const Flyover::Style& style = Flyover::style(flyover.mode);
    const double k = approach(kFlyoverSwingRate, dt);
    flyover.swingAmplitude += (style.swingAmplitude - flyover.swingAmplitude) * k;
    flyover.swingPhase += dt * 2 * std::numbers::pi / kFlyoverSweepSeconds;
    if (flyover.targetBehind) {
        flyover.behind += (*flyover.targetBehind - flyover.behind) * k;
        if (std::abs(*flyover.targetBehind - flyover.behind) < 1)
            flyover.targetBehind.reset();
    }
    const double bearing = Camera::wrapAngle(heading + std::sin(flyover.swingPhase) * flyover.swingAmplitude);

    // Bends ahead and photos slow the camera down.
    const auto headingAhead = flyover.heading(flyover.travelled + kFlyoverLookAheadMeters);
    const double ahead = headingAhead ? kFlyoverLookAheadWeight * std::abs(Camera::wrapAngle(*headingAhead - target)) : 0;
    double wanted = std::clamp(
        1 - std::max(std::abs(difference), ahead) / (std::numbers::pi / 4), kFlyoverMinSpeedFactor, 1.0);
    std::optional<int> photoReached;
    if (flyover.nextPhoto < flyover.photoStops.size()) {
        const Flyover::PhotoStop& stop = flyover.photoStops[flyover.nextPhoto];
        if (flyover.travelled > stop.distance - kFlyoverPhotoApproachMeters)
            wanted = std::min(wanted, kFlyoverPhotoSpeedFactor);
        if (flyover.travelled >= stop.distance) {
            photoReached = stop.index;
            flyover.photoShownUntil = time + kFlyoverPhotoSeconds;
            flyover.nextPhoto += 1;
        }
    }
    if (time < flyover.photoShownUntil)
        wanted = std::min(wanted, kFlyoverPhotoSpeedFactor);
    flyover.speedFactor += (wanted - flyover.speedFactor) * approach(kFlyoverSpeedRate, dt);
    flyover.travelled += flyover.speedFactor * flyover.speed * dt;

    const double total = flyover.totalLength();
    const bool reportsPosition = time - lastFlyoverPositionReport_ > kFlyoverPositionReportSeconds;
    if (reportsPosition)
        lastFlyoverPositionReport_ = time;

    // The camera climbs quickly over relief that would hide the walker's point, and sinks
    // back slowly.
    const WorldPoint point = flyover.point(flyover.travelled);
    const double floor = flyover.behind * style.heightFactor;
    const double need = std::max(floor, flyoverClearanceHeight(point, bearing, flyover.behind));
    flyover.height += (need - flyover.height) * approach(need > flyover.height ? kFlyoverClimbRate : kFlyoverSinkRate, dt);
    const FlyoverFraming framing = flyoverFraming(point, flyover.behind, flyover.height);

    Camera& camera = renderer_->camera;
    camera.bearing = bearing;
    targetBearing_ = bearing;
    camera.center = point;
    camera.zoom = framing.zoom;
    camera.pitch = framing.pitch;
    targetPitch_ = framing.pitch;

    const double half = kFlyoverPrefetchSideMeters / 2 / point.metersPerWorldUnit();
    renderer_->prefetchRects.clear();
    for (double seconds : kPrefetchAheadSeconds) {
        const WorldPoint ahead = flyover.point(flyover.travelled + seconds * flyover.speed);
        renderer_->prefetchRects.push_back({ahead.x - half, ahead.y - half, ahead.x + half, ahead.y + half});
    }
    storeFlyover(flyover);

    // The callbacks may end the flyover: nothing of it is written after them.
    const std::string id = flyover.id;
    const auto isRunning = [this, &id] { return flyover_ && flyover_->id == id; };
    if (photoReached && onFlyoverPhoto)
        onFlyoverPhoto(*photoReached);
    if (reportsPosition && isRunning() && onFlyoverPosition)
        onFlyoverPosition(std::min(total, flyover.travelled), total);
    if (!isRunning())
        return;
    // The camera change places the dot with the other markers.
    cameraDidChange();
    if (isRunning() && flyover.travelled >= total)
        stopAnimations();
}

void MapCanvasView::stopAnimations()
{
    if (!flyover_)
        return;
    flyover_.reset();
    flyoverPreload_.reset();
    renderer_->detailBias = 0;
    Camera& camera = renderer_->camera;
    camera.zoom -= std::log2(userFocalLength_ / kFlyoverFocalLength);
    camera.focalLength = userFocalLength_;
    clampCamera();
    ensureDisplayLink();
    if (onFlyoverProgress)
        onFlyoverProgress(std::nullopt);
    renderer_->prefetchRects.clear();
    showFlyoverDot(std::nullopt);
    if (onFlyoverEnded)
        onFlyoverEnded();
    if (onCameraChanged)
        onCameraChanged(renderer_->camera);
    // Last, with the flyover gone: a scripted film of the recording ends every flight and
    // animation again as it starts, and takes the camera as the flyover left it.
    finishRecording();
}

} // namespace velorin
