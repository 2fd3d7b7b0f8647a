#include "canvas/MapCanvasView.h"
#include "map-data/TerrainService.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velorin {

namespace {

// How a place is framed in relief: the eye this high above the place's ground and this
// far behind it, in metres.
struct PlaceFraming {
    double heightMeters;
    double distanceMeters;
};

PlaceFraming placeFraming(Toponym::Kind kind)
{
    switch (kind) {
    case Toponym::Kind::col:
        return {300, 1300};
    case Toponym::Kind::refuge:
    case Toponym::Kind::place:
        return {450, 1000};
    case Toponym::Kind::summit:
    case Toponym::Kind::ridge:
    case Toponym::Kind::viewpoint:
        break;
    }
    return {120, 1500};
}

} // namespace

void MapCanvasView::rotate(double radians)
{
    if (isFlying())
        endFlight();
    stopAnimations();
    if (isCompassFollowing_) {
        isCompassFollowing_ = false;
        if (onCompassFollowingInterrupted)
            onCompassFollowingInterrupted();
    }
    targetBearing_ = Camera::wrapAngle(targetBearing_ + radians);
    startDisplayLink();
}

void MapCanvasView::turnInPlace(double radians)
{
    const Camera camera = renderer_->camera;
    if (camera.pitch > kMinTurnInPlacePitchRadians) {
        const auto eye = renderer_->eyePosition(camera);
        const double bearing = Camera::wrapAngle(camera.bearing + radians);
        if (auto turned = renderer_->cameraFromEye(eye.ground, eye.altitude, bearing, camera.pitch, camera)) {
            stopAnimations();
            awaitingInitialLocation_ = false;
            inertia_ = {};
            if (isFlying())
                endFlight();
            gaze_ = GazeAnimation{eye.ground, eye.altitude, camera.center, turned->center, now(), 0};
            startDisplayLink();
            return;
        }
    }
    rotate(radians);
}

void MapCanvasView::turnInPlaceNow(double radians)
{
    const Camera camera = renderer_->camera;
    if (camera.pitch > kMinTurnInPlacePitchRadians) {
        const auto eye = renderer_->eyePosition(camera);
        const double bearing = Camera::wrapAngle(camera.bearing + radians);
        if (auto turned = renderer_->cameraFromEye(eye.ground, eye.altitude, bearing, camera.pitch, camera)) {
            if (isFlying())
                endFlight();
            stopAnimations();
            awaitingInitialLocation_ = false;
            inertia_ = {};
            gaze_.reset();
            applyCamera(*turned, false);
            return;
        }
    }
    rotate(radians);
}

void MapCanvasView::applyCamera(const Camera& camera, bool keepBaseElevation)
{
    if (!(camera.zoom >= minZoom_ && camera.zoom <= maxZoom()))
        return;
    if (isCompassFollowing_
        && std::abs(Camera::wrapAngle(renderer_->camera.bearing - camera.bearing)) > kCompassInterruptRadians) {
        isCompassFollowing_ = false;
        if (onCompassFollowingInterrupted)
            onCompassFollowingInterrupted();
    }
    renderer_->camera = camera;
    if (!keepBaseElevation)
        renderer_->resetBaseElevation(camera.center, now());
    targetPitch_ = camera.pitch;
    targetBearing_ = camera.bearing;
    cameraDidChange();
    if (onCameraChanged)
        onCameraChanged(renderer_->camera);
}

void MapCanvasView::goDirectly(const Toponym& place)
{
    writeJournal("aller directement à " + place.name);
    awaitingInitialLocation_ = false;
    targetBearing_ = renderer_->camera.bearing;
    targetPitch_ = renderer_->camera.pitch;
    show(place, false);
}

void MapCanvasView::show(const Toponym& place, bool animated)
{
    writeJournal("montrer " + place.name + (animated ? "" : " sans animation"));
    if (isFlying())
        endFlight();
    if (renderer_->camera.pitch > kMinTurnInPlacePitchRadians) {
        if (const auto framed = reliefFraming(place)) {
            chosenPlace_.reset();
            targetPitch_ = framed->pitch;
            if (!animated)
                renderer_->camera.pitch = framed->pitch;
            animateCamera(framed->center, framed->zoom, animated);
            return;
        }
    }
    chosenPlace_ = place;
    const Camera& camera = renderer_->camera;
    const WorldPoint target = WorldPoint::fromLatitudeLongitude(place.latitude, place.longitude);
    const double metersPerPixel = kFlatPlaceSpanMeters / (camera.viewSize.height * camera.focalLength);
    const double zoom
        = metersPerPixel > 0 ? std::log2(target.metersPerWorldUnit() / metersPerPixel / kWorldPixelsAtZoomZero) : 0;
    animateCamera(target, zoom, animated);
}

std::optional<Camera> MapCanvasView::reliefFraming(const Toponym& place) const
{
    const Camera& camera = renderer_->camera;
    const WorldPoint target = WorldPoint::fromLatitudeLongitude(place.latitude, place.longitude);
    const double b = camera.bearing;
    const double metersPerUnit = target.metersPerWorldUnit();
    const PlaceFraming framing = placeFraming(place.kind);
    const WorldPoint eye {target.x - std::sin(b) * framing.distanceMeters / metersPerUnit,
        target.y + std::cos(b) * framing.distanceMeters / metersPerUnit};
    const FrameState& frame = renderer_->frame;
    const double ground = renderer_->terrain && frame.frameHeightScale != 0
        ? renderer_->terrain->elevationAt(target.x, target.y, frame.frameTerrainZoom)
        : frame.frameBaseElevation;
    return renderer_->lookAtCamera(target, eye, ground + framing.heightMeters, camera);
}

void MapCanvasView::fit(const WorldRect& rect, bool animated)
{
    frame(rect, {(rect.minX + rect.maxX) / 2, (rect.minY + rect.maxY) / 2}, kFitPaddingPoints, animated);
}

void MapCanvasView::frame(const WorldRect& rect, WorldPoint center, double paddingPoints, bool animated)
{
    // The map now shows what the walker chose: a first fix arriving later must not take
    // the view away.
    awaitingInitialLocation_ = false;
    Camera camera = renderer_->camera;
    camera.viewSize = pixelScale(window_.boundsInPoints(), window_.screenScale());
    const double padding = paddingPoints * window_.screenScale();
    const double z = std::min(camera.fitZoom(rect, padding), maxZoom());
    animateCamera(center, z, animated);
}

void MapCanvasView::zoom(double zoom, Camera::Point about)
{
    if (isFlying())
        endFlight();
    stopAnimations();
    awaitingInitialLocation_ = false;
    Camera& camera = renderer_->camera;
    double z0 = camera.zoom;
    if (zoom > z0) {
        if (auto hit = renderer_->nearestTerrainHit(camera); hit && hit->zoom <= maxZoom())
            camera = *hit;
        zoom += camera.zoom - z0;
        z0 = camera.zoom;
    }
    zoom = std::clamp(zoom, minZoom_, std::max(minZoom_, maxZoom()));
    const WorldPoint ground = camera.worldPoint(about);
    Camera zoomed = camera;
    zoomed.zoom = zoom;
    Camera::Point offset = zoomed.groundOffset(about);
    const double b = camera.bearing;
    if (b != 0)
        offset = {offset.x * std::cos(b) - offset.y * std::sin(b), offset.x * std::sin(b) + offset.y * std::cos(b)};
    const double worldPixels = 256 * std::exp2(zoom);
    const WorldPoint center {ground.x - offset.x / worldPixels, ground.y - offset.y / worldPixels};
    animation_ = CameraAnimation{camera.center, center, z0, zoom, now(), kZoomAnimationSeconds};
    inertia_ = {};
    startDisplayLink();
}

} // namespace velorin
