#include "canvas/EyeClearance.h"
#include "canvas/LastCamera.h"
#include "canvas/MapCanvasView.h"
#include "map-data/AerialCoverage.h"
#include "map-data/TerrainService.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace velorin {

void MapCanvasView::cameraDidChange()
{
    const double time = now();
    lastMotion_ = time;
    if (!flight_)
        clampCamera();
    // While the user moves the map the costly extras wait; flights and flyovers never pause
    // them.
    if (!flight_ && !flyover_)
        renderer_->extrasPausedUntil = time + kExtrasPauseSeconds;
    pushCameraToApple();
    needsRedraw_ = true;
    startDisplayLink();
    reportCameraChange(time);
    if (const auto& gesture = journal_.gesture())
        writeJournal("  " + *gesture + " →");
    // A flight shows its frames' own markers.
    if (!isFlying())
        layoutMarkers();
}

void MapCanvasView::reportCameraChange()
{
    reportCameraChange(now());
}

void MapCanvasView::reportCameraChange(double time)
{
    const auto due = reports_.due(time, journal_.gesture().has_value());
    if (due.journalMotion)
        writeJournal("  mouvement →");
    if (due.notification && onCameraChanged)
        onCameraChanged(renderer_->camera);
    if (due.save)
        saveLastCamera();
}

double MapCanvasView::basemapMaxZoom() const
{
    return renderer_->basemap.maxCameraZoom(std::max(1.0, window_.screenScale()));
}

double MapCanvasView::maxZoom() const
{
    const double zoom = basemapMaxZoom();
    return renderer_->camera.pitch > 0 && zoom <= kPitchedMaxZoom ? kPitchedMaxZoom : zoom;
}

const WorldRect& MapCanvasView::reachableRect()
{
    if (!reachableRect_) {
        const WorldRect& catalog = services_.catalog.worldRect();
        const double marginX = (catalog.maxX - catalog.minX) * kReachableMarginShare;
        const double marginY = (catalog.maxY - catalog.minY) * kReachableMarginShare;
        const WorldRect& aerial = aerialCoverageBounds();
        reachableRect_ = WorldRect{std::min(catalog.minX - marginX, aerial.minX),
            std::min(catalog.minY - marginY, aerial.minY), std::max(catalog.maxX + marginX, aerial.maxX),
            std::max(catalog.maxY + marginY, aerial.maxY)};
    }
    return *reachableRect_;
}

bool MapCanvasView::clampCamera()
{
    // A flyover may always come as close as a pitched view.
    const double zoomCeiling = flyover_ ? std::max(kPitchedMaxZoom, maxZoom()) : maxZoom();
    // A catalogue so small that its fit lies beyond the basemap's depth leaves no range:
    // the floor then gives way to the ceiling.
    const double zoomFloor = std::min(minZoom_, zoomCeiling);
    Camera& camera = renderer_->camera;
    camera.clamp(reachableRect(), zoomFloor, zoomCeiling);

    const FrameState& frame = renderer_->frame;
    const auto& terrain = renderer_->terrain;
    // A flyover keeps its own height above the ground.
    if (flyover_ || !(camera.pitch > 0) || frame.frameHeightScale == 0 || !terrain)
        return false;
    const int terrainZoom = frame.frameTerrainZoom;
    const double pitch = EyeClearance::clearedPitch(camera, frame.frameBaseElevation,
        [&terrain, terrainZoom](WorldPoint point) { return terrain->elevationAt(point.x, point.y, terrainZoom); });
    if (!(pitch < camera.pitch))
        return false;
    camera.pitch = pitch;
    targetPitch_ = pitch;
    return true;
}

void MapCanvasView::saveLastCamera()
{
    if (environment_.defaults)
        LastCamera::save(*environment_.defaults, renderer_->camera);
}

void MapCanvasView::set3D(bool on)
{
    if (isFlying())
        endFlight();
    const std::optional<Toponym> place = std::exchange(chosenPlace_, std::nullopt);
    Camera& camera = renderer_->camera;
    if (on) {
        targetPitch_ = kReliefPitchRadians;
        // Relief switched on right after going to a place frames that place in relief.
        if (place) {
            const WorldPoint at = WorldPoint::fromLatitudeLongitude(place->latitude, place->longitude);
            const double meters = std::hypot(camera.center.x - at.x, camera.center.y - at.y) * at.metersPerWorldUnit();
            const auto framed = meters < kChosenPlaceReachMeters ? reliefFraming(*place) : std::nullopt;
            if (framed) {
                targetPitch_ = framed->pitch;
                animateCamera(framed->center, framed->zoom, true);
            }
        }
    } else {
        targetPitch_ = 0;
        const double deepest = basemapMaxZoom();
        if (camera.zoom > deepest)
            zoom(deepest, {camera.viewSize.width / 2, camera.viewSize.height / 2});
    }
    startDisplayLink();
}

void MapCanvasView::setCompassFollowing(bool on)
{
    if (isFlying())
        endFlight();
    isCompassFollowing_ = on;
    targetBearing_ = on ? latestHeading_ : 0;
    startDisplayLink();
}

void MapCanvasView::headingDidChange(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    latestHeading_ = degrees * std::numbers::pi / 180.0;
    if (!isCompassFollowing_)
        return;
    targetBearing_ = latestHeading_;
    startDisplayLink();
}

void MapCanvasView::setInertia(PanInertia inertia)
{
    inertia_ = inertia;
    if (inertia_.isMoving())
        startDisplayLink();
}

double MapCanvasView::eyeAltitude() const
{
    return renderer_->eyePosition(renderer_->camera).altitude;
}

void MapCanvasView::writeJournal(std::string_view text)
{
    journal_.write(text, renderer_->camera, eyeAltitude());
}

void MapCanvasView::noteGesture(std::string_view word, GestureJournal::GesturePhase phase,
    KeyModifiers eventModifiers, std::string_view detail)
{
    journal_.noteGesture(word, phase, eventModifiers | heldModifiers_, detail, renderer_->camera, eyeAltitude());
}

} // namespace velorin
