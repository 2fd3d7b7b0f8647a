#include "canvas/MapCanvasView.h"
#include "map-data/TerrainService.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr double kMaxPitchRadians = 2.0943951023931953;
constexpr double kReliefReferencePitchRadians = 1.3089969389957472;

} // namespace

Camera::Point MapCanvasView::pixelPoint(Camera::Point points) const
{
    const double scale = std::max(1.0, window_.screenScale());
    return {points.x * scale, points.y * scale};
}

void MapCanvasView::beginInteraction(bool clearsInitialLocation)
{
    if (onTouch)
        onTouch();
    // Also ends a turn of the gaze, which would otherwise take the camera back next frame.
    endFlight();
    if (clearsInitialLocation)
        awaitingInitialLocation_ = false;
    animation_.reset();
    inertia_ = {};
}

void MapCanvasView::touchBegan()
{
    if (film_)
        return;
    if (onTouch)
        onTouch();
    replay_.reset();
}

void MapCanvasView::dragBegan()
{
    if (film_)
        return;
    beginInteraction(true);
    lastPanTranslation_ = {};
    lastPanTime_ = now();
    panUsedModifier_ = false;
}

void MapCanvasView::dragChanged(Camera::Point translation, Camera::Point location, KeyModifiers eventModifiers)
{
    if (film_)
        return;
    const KeyModifiers modifiers = eventModifiers | heldModifiers_;
    const double dx = translation.x - lastPanTranslation_.x;
    const double dy = translation.y - lastPanTranslation_.y;
    lastPanTranslation_ = translation;
    const double d = std::abs(dx) <= std::abs(dy) ? dy : dx;
    if (modifiers.control) {
        changeFocalLength(dy);
    } else if (modifiers.command && !modifiers.option) {
        moveEye(dx, dy, modifiers.shift);
    } else if (!modifiers.option && !modifiers.shift) {
        plainDrag(dx, dy, location);
        return;
    } else if (modifiers.option && modifiers.shift) {
        tiltAboutEye(d);
    } else if (modifiers.option) {
        turnAboutEye(dx);
    } else {
        climb(d);
    }
    panUsedModifier_ = true;
}

void MapCanvasView::dragEnded(Camera::Point velocityPoints)
{
    if (film_)
        return;
    if (panUsedModifier_) {
        if (onPitchChanged)
            onPitchChanged(targetPitch_ > 0);
        if (onCameraChanged)
            onCameraChanged(renderer_->camera);
        return;
    }
    inertia_ = PanInertia{pixelPoint(velocityPoints)};
    startDisplayLink();
}

void MapCanvasView::plainDrag(double dx, double dy, Camera::Point location)
{
    Camera& camera = renderer_->camera;
    const Camera::Point delta = pixelPoint({dx, dy});
    const Camera::Point p = pixelPoint(location);
    const WorldPoint a = camera.worldPoint({p.x - delta.x, p.y - delta.y});
    const WorldPoint b = camera.worldPoint(p);
    const WorldPoint old = camera.center;
    WorldPoint moved {old.x + a.x - b.x, old.y + a.y - b.y};
    const double time = now();
    if (camera.pitch > kPanLimitPitchRadians) {
        const double m = moved.metersPerWorldUnit();
        const double distance = std::hypot(moved.x - old.x, moved.y - old.y) * m;
        const double height = std::max(0.0,
            m / (256 * std::exp2(camera.zoom)) * std::cos(camera.pitch) * camera.focalLength * camera.viewSize.height);
        const double speed = kPanSpeedPerHeight * height + kPanBaseSpeedMetersPerSecond;
        const double allowed = speed * std::clamp(time - lastPanTime_, kMinPanStepSeconds, kMaxPanStepSeconds);
        if (allowed < distance) {
            const double share = allowed / distance;
            moved = {old.x + (moved.x - old.x) * share, old.y + (moved.y - old.y) * share};
        }
    }
    camera.center = moved;
    lastPanTime_ = time;
    cameraDidChange();
}

void MapCanvasView::changeFocalLength(double dy)
{
    Camera& camera = renderer_->camera;
    const double focal = std::clamp(camera.focalLength * std::exp(dy / kFocalDragPoints), kMinFocalLength, kMaxFocalLength);
    if (focal == camera.focalLength)
        return;
    const double zoom = camera.zoom + std::log2(focal / camera.focalLength);
    if (zoom < minZoom_ || zoom > maxZoom())
        return;
    userFocalLength_ = focal;
    camera.zoom = zoom;
    camera.focalLength = focal;
    cameraDidChange();
}

void MapCanvasView::moveEye(double dx, double dy, bool changesAltitude)
{
    Camera& camera = renderer_->camera;
    const double scale = std::max(1.0, window_.screenScale());
    if (camera.pitch <= kMinTurnInPlacePitchRadians) {
        if (changesAltitude) {
            climb(dy);
            camera.pan({dx * scale, 0});
        } else {
            camera.pan({dx * scale, dy * scale});
        }
        cameraDidChange();
        return;
    }
    const auto eye = renderer_->eyePosition(camera);
    const double sx = -dx * scale;
    const double sy = -(changesAltitude ? 0 : dy) * scale;
    const double b = camera.bearing;
    const double worldPixels = 256 * std::exp2(camera.zoom);
    const WorldPoint offset {(sx * std::cos(b) - sy * std::sin(b)) / worldPixels,
        (sy * std::cos(b) + sx * std::sin(b)) / worldPixels};
    const WorldPoint eyeGround {eye.ground.x + offset.x, eye.ground.y + offset.y};
    const WorldPoint aimed {camera.center.x + offset.x, camera.center.y + offset.y};
    double altitude = eye.altitude;
    if (changesAltitude) {
        altitude -= camera.center.metersPerWorldUnit() / worldPixels * dy * scale;
        const double ground = services_.terrain
            ? services_.terrain->elevationAt(eyeGround.x, eyeGround.y, kEyeGroundTerrainZoom)
            : 0;
        if (!(altitude > ground + kMinEyeClearanceMeters))
            return;
    }
    auto moved = renderer_->cameraFromEye(eyeGround, altitude, camera.bearing, camera.pitch, camera);
    if (!moved)
        moved = renderer_->lookAtCamera(aimed, eyeGround, altitude, camera);
    if (moved)
        applyCamera(*moved, false);
}

void MapCanvasView::tiltAboutEye(double d)
{
    if (d == 0)
        return;
    const Camera& camera = renderer_->camera;
    const double pitch = camera.pitch + d / -kTiltDragPoints * kReliefReferencePitchRadians;
    auto eye = renderer_->eyePosition(camera);
    if (camera.pitch < kReliefReferencePitchRadians
        && std::sin(camera.pitch) / std::sin(kReliefReferencePitchRadians) < 0.5)
        eye = renderer_->eyePosition(camera, pitch);
    if (auto tilted = renderer_->cameraFromEye(eye.ground, eye.altitude, camera.bearing, pitch, camera))
        applyCamera(*tilted, false);
}

void MapCanvasView::turnAboutEye(double dx)
{
    if (dx == 0)
        return;
    const Camera& camera = renderer_->camera;
    const double bearing = Camera::wrapAngle(camera.bearing + dx / -kTurnDragPoints);
    const auto eye = renderer_->eyePosition(camera);
    // Where the view would aim at the eye's present distance along the new bearing: the
    // fallback when the new line of sight meets no ground within sight, as over a valley.
    const double reach = std::hypot(camera.center.x - eye.ground.x, camera.center.y - eye.ground.y);
    const WorldPoint aimed {eye.ground.x + reach * std::sin(bearing), eye.ground.y - reach * std::cos(bearing)};
    double extra = 0;
    for (int attempt = 0; attempt < kTurnAltitudeAttempts; ++attempt) {
        auto turned = renderer_->cameraFromEye(eye.ground, eye.altitude + extra, bearing, camera.pitch, camera);
        if (!turned)
            turned = renderer_->lookAtCamera(aimed, eye.ground, eye.altitude + extra, camera);
        if (turned) {
            applyCamera(*turned, false);
            return;
        }
        extra = extra == 0 ? kTurnFirstRaiseMeters : extra * 2;
    }
}

void MapCanvasView::climb(double d)
{
    if (d == 0)
        return;
    Camera& camera = renderer_->camera;
    const double l = camera.viewSize.height * camera.focalLength;
    const double ex = l * std::sin(camera.pitch);
    const double ey = l * std::cos(camera.pitch) - d / kClimbDragPoints * l;
    const double h = std::hypot(ex, ey);
    if (!(h > kMinClimbEyeShare * l))
        return;
    const double zoom = camera.zoom - std::log2(h / l);
    const double pitch = std::atan2(ex, ey);
    if (zoom < minZoom_ || zoom > maxZoom() || pitch > kMaxPitchRadians)
        return;
    const FrameState& frame = renderer_->frame;
    if (d > 0 && pitch > 0 && frame.frameHeightScale != 0 && renderer_->terrain) {
        const double s = l * std::sin(pitch) / (256 * std::exp2(zoom));
        const WorldPoint under {camera.center.x - std::sin(camera.bearing) * s, camera.center.y + std::cos(camera.bearing) * s};
        const double g = renderer_->terrain->elevationAt(under.x, under.y, frame.frameTerrainZoom);
        const double k = pitch < kReliefReferencePitchRadians ? std::sin(pitch) / std::sin(kReliefReferencePitchRadians) : 1;
        const double mpp = camera.center.metersPerWorldUnit() / (256 * std::exp2(zoom));
        if ((g - frame.frameBaseElevation + kMinEyeClearanceMeters) * k / mpp > l * std::cos(pitch))
            return;
    }
    camera.zoom = zoom;
    camera.pitch = pitch;
    targetPitch_ = pitch;
    cameraDidChange();
}

void MapCanvasView::glide(WorldPoint target, double zoomBy)
{
    if (renderer_->camera.pitch <= kMinTurnInPlacePitchRadians) {
        slide(target, zoomBy);
        return;
    }
    stopAnimations();
    awaitingInitialLocation_ = false;
    inertia_ = {};
    endFlight();
    const Camera& camera = renderer_->camera;
    const auto eye = renderer_->eyePosition(camera);
    const auto look = renderer_->lookAtCamera(target, eye.ground, eye.altitude, camera);
    if (!look || look->zoom < minZoom_ || look->zoom > maxZoom())
        return;
    gaze_ = GazeAnimation{eye.ground, eye.altitude, camera.center, target, now(), zoomBy};
    startDisplayLink();
}

void MapCanvasView::slide(WorldPoint target, double zoomBy)
{
    stopAnimations();
    awaitingInitialLocation_ = false;
    inertia_ = {};
    endFlight();
    const Camera& camera = renderer_->camera;
    const double zoom = std::clamp(camera.zoom + zoomBy, minZoom_, std::max(minZoom_, maxZoom()));
    animation_ = CameraAnimation{camera.center, target, camera.zoom, zoom, now(), kGlideSeconds};
    startDisplayLink();
}

void MapCanvasView::doubleClick(Camera::Point location)
{
    if (film_)
        return;
    writeJournal("double clic");
    if (auto ground = renderer_->terrainPoint(pixelPoint(location), renderer_->camera))
        glide(*ground, 1);
}

void MapCanvasView::wheelNotches(double notches, Camera::Point location)
{
    if (film_)
        return;
    beginInteraction(true);
    zoom(renderer_->camera.zoom + notches * kWheelZoomLevelsPerNotch, pixelPoint(location));
}

void MapCanvasView::pinchBegan()
{
    if (film_)
        return;
    beginInteraction(true);
    if (auto hit = renderer_->nearestTerrainHit(renderer_->camera); hit && hit->zoom <= maxZoom())
        renderer_->camera = *hit;
    pinchStartZoom_ = renderer_->camera.zoom;
}

void MapCanvasView::pinchChanged(double scale, Camera::Point location)
{
    if (film_)
        return;
    if (isTilting_ || !(scale > 0))
        return;
    const double zoom = std::clamp(pinchStartZoom_ + std::log2(scale), minZoom_, std::max(minZoom_, maxZoom()));
    renderer_->camera.setZoom(zoom, pixelPoint(location));
    cameraDidChange();
}

void MapCanvasView::gestureEnded()
{
    if (film_)
        return;
    if (onCameraChanged)
        onCameraChanged(renderer_->camera);
}

} // namespace velorin
