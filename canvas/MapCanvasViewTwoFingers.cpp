#include "canvas/MapCanvasView.h"

#include <algorithm>
#include <cmath>

namespace velorin {

void MapCanvasView::tiltChanged(Camera::Point translation, double pinchScale)
{
    if (film_)
        return;
    if (!isTilting_) {
        const double spread = pinchScale - 1;
        if (isRotating_ || !(std::abs(translation.y) > kTiltStartPoints)
            || !(std::abs(translation.y) > 2 * std::abs(translation.x)) || !(std::abs(spread) < kTiltMaxPinchSpread))
            return;
        isTilting_ = true;
        beginInteraction(false);
        tiltStartPitch_ = renderer_->camera.pitch;
        tiltOriginY_ = translation.y;
    }
    Camera& camera = renderer_->camera;
    camera.pitch = std::clamp(tiltStartPitch_ + (translation.y - tiltOriginY_) / -kTiltDragPoints * kTiltRadiansPerDrag,
        0.0, kMaxStartPitchRadians);
    targetPitch_ = camera.pitch;
    cameraDidChange();
}

void MapCanvasView::tiltEnded()
{
    if (film_)
        return;
    if (!isTilting_)
        return;
    isTilting_ = false;
    if (renderer_->camera.pitch < kFlattenBelowPitchRadians)
        targetPitch_ = 0;
    startDisplayLink();
    if (onPitchChanged)
        onPitchChanged(targetPitch_ > 0);
}

void MapCanvasView::rotationChanged(double rotation, Camera::Point location)
{
    if (film_)
        return;
    if (isTilting_)
        return;
    if (!isRotating_) {
        if (!(std::abs(rotation) > kRotationStartRadians))
            return;
        isRotating_ = true;
        beginInteraction(false);
        rotationStartBearing_ = renderer_->camera.bearing;
        rotationOrigin_ = rotation;
        if (isCompassFollowing_) {
            isCompassFollowing_ = false;
            if (onCompassFollowingInterrupted)
                onCompassFollowingInterrupted();
        }
    }
    Camera& camera = renderer_->camera;
    const Camera::Point p = pixelPoint(location);
    const WorldPoint ground = camera.worldPoint(p);
    camera.bearing = Camera::wrapAngle(rotationStartBearing_ - (rotation - rotationOrigin_));
    targetBearing_ = camera.bearing;
    const Camera::Point q = camera.screenPoint(ground, 0);
    const WorldPoint atQ = camera.worldPoint(q);
    const WorldPoint atP = camera.worldPoint(p);
    camera.center = {camera.center.x + atQ.x - atP.x, camera.center.y + atQ.y - atP.y};
    cameraDidChange();
}

void MapCanvasView::rotationEnded()
{
    if (film_)
        return;
    if (!isRotating_)
        return;
    isRotating_ = false;
    gestureEnded();
}

void MapCanvasView::click(Camera::Point location, KeyModifiers eventModifiers)
{
    if (film_)
        return;
    const KeyModifiers modifiers = eventModifiers | heldModifiers_;
    if (onTouch)
        onTouch();
    writeJournal("clic " + modifierSymbols(modifiers));
    // On a name: Option tours the place, Command flies there, a plain click recentres on it
    // at the same zoom, pitched or not.
    if (const auto index = labelIndex({location.x, location.y})) {
        const Toponym place = shownToponyms_[*index];
        if (modifiers.option)
            startFlight(place, true);
        else if (modifiers.command)
            startFlight(place, false);
        else
            slide(WorldPoint::fromLatitudeLongitude(place.latitude, place.longitude), 0);
        return;
    }
    if (!modifiers.command)
        return;
    if (auto ground = renderer_->terrainPoint(pixelPoint(location), renderer_->camera))
        glide(*ground, 0);
}

void MapCanvasView::twoFingerClick(Camera::Point location, KeyModifiers eventModifiers)
{
    if (film_)
        return;
    const KeyModifiers modifiers = eventModifiers | heldModifiers_;
    writeJournal("clic à deux doigts " + modifierSymbols(modifiers));
    // With Option: a tour around the place named there; nothing elsewhere.
    if (modifiers.option) {
        if (const auto index = labelIndex({location.x, location.y}))
            startFlight(Toponym(shownToponyms_[*index]), true);
        return;
    }
    zoom(renderer_->camera.zoom - 1, pixelPoint(location));
}

} // namespace velorin
