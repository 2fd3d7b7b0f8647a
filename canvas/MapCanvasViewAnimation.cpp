#include "canvas/MapCanvasView.h"
#include "renderer/PixelScale.h"

#include <algorithm>
#include <cmath>

namespace velorin {

double MapCanvasView::ease(double t)
{
    return t < 0.5 ? 2 * t * t : 1 - (2 - 2 * t) * (2 - 2 * t) / 2;
}

void MapCanvasView::animateCamera(WorldPoint target, std::optional<double> zoom, bool animated)
{
    if (isFlying())
        endFlight();
    animation_.reset();
    inertia_ = {};
    Camera& camera = renderer_->camera;
    double z = zoom.value_or(camera.zoom);
    if (z <= minZoom_)
        z = minZoom_;
    z = std::min(z, maxZoom());
    double jump = std::hypot(target.x - camera.center.x, target.y - camera.center.y) * 256 * std::exp2(camera.zoom);
    const double width = pixelScale(window_.boundsInPoints(), window_.screenScale()).width;
    if (width > 1)
        jump /= width;
    if (animated && jump < kMaxGlideViewWidths) {
        animation_ = CameraAnimation{camera.center, target, camera.zoom, z, now(), kCameraAnimationSeconds};
        startDisplayLink();
        return;
    }
    camera.center = target;
    camera.zoom = z;
    cameraDidChange();
    if (onCameraChanged)
        onCameraChanged(camera);
}

bool MapCanvasView::stepCameraAnimation(bool active)
{
    if (!animation_)
        return active;
    const CameraAnimation animation = *animation_;
    const double t = std::min(1.0, (now() - animation.start) / animation.duration);
    const double e = ease(t);
    Camera& camera = renderer_->camera;
    camera.center = {animation.fromCenter.x + (animation.toCenter.x - animation.fromCenter.x) * e,
        animation.fromCenter.y + (animation.toCenter.y - animation.fromCenter.y) * e};
    camera.zoom = animation.fromZoom + (animation.toZoom - animation.fromZoom) * e;
    if (t >= 1)
        animation_.reset();
    else
        active = true;
    cameraDidChange();
    return active;
}

bool MapCanvasView::stepGaze()
{
    if (!gaze_)
        return false;
    const GazeAnimation gaze = *gaze_;
    const double t = std::min(1.0, (now() - gaze.start) / kGazeSeconds);
    const double e = ease(t);
    const WorldPoint target {gaze.from.x + (gaze.to.x - gaze.from.x) * e, gaze.from.y + (gaze.to.y - gaze.from.y) * e};
    if (auto camera = renderer_->lookAtCamera(target, gaze.eyeGround, gaze.eyeAltitude, renderer_->camera))
        applyCamera(*camera, false);
    if (t < 1)
        return true;
    gaze_.reset();
    if (gaze.magnify > 0) {
        const Camera& camera = renderer_->camera;
        zoom(camera.zoom + gaze.magnify, {camera.viewSize.width / 2, camera.viewSize.height / 2});
        return true;
    }
    return false;
}

bool MapCanvasView::stepHeldKeys(double dt)
{
    if (heldKeys_.empty())
        return false;
    const auto held = [this](const char* name) {
        return std::find(heldKeys_.begin(), heldKeys_.end(), name) != heldKeys_.end();
    };
    Camera& camera = renderer_->camera;
    const double step = camera.viewSize.height * kHeldKeyPanViewHeightsPerSecond * dt
        * std::max(kHeldKeyMinPanShare, std::cos(camera.pitch));
    const double dx = (held("left") ? step : 0) - (held("right") ? step : 0);
    const double dy = (held("up") ? step : 0) - (held("down") ? step : 0);
    if (dx != 0 || dy != 0)
        camera.pan({dx, dy});
    const double turn = ((held("d") ? 1 : 0) - (held("q") ? 1 : 0)) * kHeldKeyTurnRadiansPerSecond * dt;
    if (turn != 0) {
        camera.bearing = Camera::wrapAngle(camera.bearing + turn);
        targetBearing_ = camera.bearing;
    }
    if (held("z"))
        camera.zoom -= kHeldKeyZoomLevelsPerSecond * dt;
    if (held("s")) {
        if (auto hit = renderer_->nearestTerrainHit(camera); hit && hit->zoom <= maxZoom())
            camera = *hit;
        camera.zoom += kHeldKeyZoomLevelsPerSecond * dt;
    }
    cameraDidChange();
    return true;
}

} // namespace velorin
