#include "canvas/MapCanvasView.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>

namespace velorin {

void MapCanvasView::rotate(double radians)
{
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

void MapCanvasView::fit(const WorldRect& rect, bool animated)
{
    awaitingInitialLocation_ = false;
    Camera camera = renderer_->camera;
    camera.viewSize = pixelScale(window_.boundsInPoints(), window_.screenScale());
    const double padding = kFitPaddingPoints * window_.screenScale();
    const double z = std::min(camera.fitZoom(rect, padding), maxZoom());
    animateCamera({(rect.minX + rect.maxX) / 2, (rect.minY + rect.maxY) / 2}, z, animated);
}

void MapCanvasView::zoom(double zoom, Camera::Point about)
{
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
