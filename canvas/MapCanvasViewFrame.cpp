#include "canvas/InertiaSpeedLimit.h"
#include "canvas/MapCanvasView.h"

#include <algorithm>
#include <cmath>

namespace velorin {

void MapCanvasView::step(double timestamp, double targetTimestamp)
{
    const double dt = std::max(kMinFrameSeconds, targetTimestamp - timestamp);
    bool active = false;
    active = easeBearing(dt) || active;
    active = easePitch(dt) || active;
    if (flyover_) {
        flyoverStep();
        // A paused flyover lets the loop rest.
        if (!flyover_ || !flyover_->paused)
            active = true;
    }
    active = stepHeldKeys(dt) || active;
    if (replay_)
        active = replayStep() || active;
    flightFrameReady_ = false;
    if (flight_) {
        active = true;
        // A flight that has landed is over for the controls too: only its last frame stays.
        if (!flightStep(*flight_)) {
            flight_.reset();
            if (onFlight)
                onFlight(std::nullopt);
        }
    }
    // Flights and flyovers keep their own detail and clearance.
    const bool free = !flyover_ && !flight_ && !arrivalFrame_;
    if (free)
        stepDetail(active);
    active = stepGaze() || active;
    // A running camera animation holds the glide back.
    if (animation_)
        active = stepCameraAnimation(active);
    else
        active = stepInertia(dt) || active;
    if (free && !flightFrameReady_ && renderer_->camera.pitch > 0 && clampCamera())
        cameraDidChange();
    recordAnimationFrame(dt);
    finishFrame(active);
}

bool MapCanvasView::easeBearing(double dt)
{
    Camera& camera = renderer_->camera;
    const double difference = Camera::wrapAngle(targetBearing_ - camera.bearing);
    if (std::abs(difference) > kBearingSnapRadians) {
        camera.bearing = Camera::wrapAngle(camera.bearing
            + difference * (1 - std::exp(-kBearingEasingRatePerSecond * dt)));
        cameraDidChange();
        return true;
    }
    if (camera.bearing != targetBearing_) {
        camera.bearing = targetBearing_;
        cameraDidChange();
    }
    return false;
}

bool MapCanvasView::easePitch(double dt)
{
    Camera& camera = renderer_->camera;
    const double difference = targetPitch_ - camera.pitch;
    if (std::abs(difference) > kPitchSnapRadians) {
        camera.pitch += difference * (1 - std::exp(-kPitchEasingRatePerSecond * dt));
        cameraDidChange();
        return true;
    }
    if (camera.pitch != targetPitch_) {
        camera.pitch = targetPitch_;
        cameraDidChange();
    }
    return false;
}

void MapCanvasView::stepDetail(bool& active)
{
    const bool moving = now() - lastMotion_ < kMovingDetailSeconds;
    if (moving)
        active = true;
    const int bias = moving ? 1 : 0;
    if (renderer_->detailBias != bias) {
        renderer_->detailBias = bias;
        needsRedraw_ = true;
    }
}

bool MapCanvasView::stepInertia(double dt)
{
    if (inertia_.isMoving()) {
        Camera& camera = renderer_->camera;
        const WorldPoint before = camera.center;
        camera.panAlongGround(inertia_.step(dt));
        camera.center = InertiaSpeedLimit::limited(camera, before, dt);
        cameraDidChange();
        return true;
    }
    if (inertia_.velocity != Camera::Point{}) {
        // The throttled reports may have skipped the glide's last position.
        inertia_ = {};
        if (onCameraChanged)
            onCameraChanged(renderer_->camera);
    }
    return false;
}

void MapCanvasView::finishFrame(bool active)
{
    // The world map draws itself: only motion keeps the frames going.
    if (active || (!apple_ && (needsRedraw_ || renderer_->needsAnotherFrame))) {
        needsRedraw_ = false;
        idleFrames_ = 0;
        // While a flight waits for its next frame the view keeps the last one.
        if (!apple_ && (!flight_ || flightFrameReady_))
            window_.draw();
        return;
    }
    idleFrames_ += 1;
    if (idleFrames_ >= kIdleFramesBeforeStop) {
        idleFrames_ = 0;
        stopDisplayLink();
    }
}

} // namespace velorin
