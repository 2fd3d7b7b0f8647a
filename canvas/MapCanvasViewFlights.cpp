// Camera flights: starting a landing flight or a drone tour, the camera of a flight at any
// time, preparing its frames ahead and playing them, fetching its tiles before it needs them,
// and ending it.

#include "canvas/MapCanvasView.h"
#include "canvas/FilmRun.h"
#include "canvas/PreloadList.h"
#include "map-data/FileBatchDownload.h"
#include "map-data/TerrainService.h"
#include "map-data/TileLoader.h"
#include "platform/LaunchArguments.h"
#include "platform/Log.h"
#include "platform/Uuid.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/PixelScale.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <set>

namespace velorin {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// How far around the place the elevations are asked for as a flight starts, and around the
// eye as it moves.
constexpr double kLandingPrefetchMeters = 1500;
constexpr double kTourPrefetchRadii = 1.5;
constexpr double kApproachPrefetchMeters = 1500;
constexpr double kOrbitPrefetchMeters = 1000;
// The eye keeps this far above the ground on the approach, the orbit and at the end.
constexpr double kApproachClearanceMeters = 40;
constexpr double kOrbitClearanceMeters = 60;
constexpr double kLandingEndClearanceMeters = 30;
// The tour's orientation turns towards the place within this distance of it.
constexpr double kTourTurnStartMeters = 4500;
constexpr double kTourTurnSpanMeters = 2000;
// A prepared flight's frames all ask for the tile level one coarser.
constexpr int kFlightDetailBias = 1;
constexpr std::size_t kMaxWaitsReported = 8;
// The outro keeps the eye at most this high above the ground under it on the way.
constexpr double kOutroClearanceMeters = 40;

double smoothstep(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// Metres per world unit at the latitude of `y`.
double metersPerUnit(double y)
{
    return WorldPoint{0, y}.metersPerWorldUnit();
}

WorldPoint lerp(WorldPoint a, WorldPoint b, double s)
{
    return {a.x + (b.x - a.x) * s, a.y + (b.y - a.y) * s};
}

bool isFinite(WorldPoint point)
{
    return std::isfinite(point.x) && std::isfinite(point.y);
}

// The larger of two heights, the second (the ground's) on a tie.
double atLeast(double wanted, double ground)
{
    return wanted > ground ? wanted : ground;
}

} // namespace

double MapCanvasView::groundHeight(WorldPoint point) const
{
    if (renderer_->frame.frameHeightScale == 0 || !renderer_->terrain)
        return renderer_->frame.frameBaseElevation;
    return renderer_->terrain->elevationAt(point.x, point.y, renderer_->frame.frameTerrainZoom);
}

void MapCanvasView::prefetchAround(WorldPoint point, double meters) const
{
    if (!renderer_->terrain)
        return;
    const double reach = meters / metersPerUnit(point.y);
    renderer_->terrain->prefetch(kFlightPrefetchZoom, {point.x - reach, point.y - reach, point.x + reach, point.y + reach});
}

void MapCanvasView::startFlight(const Toponym& place, bool orbit)
{
    const Camera start = renderer_->camera;
    const auto eye = renderer_->eyePosition(start, start.pitch);
    const WorldPoint target = WorldPoint::fromLatitudeLongitude(
        std::clamp(place.latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees), place.longitude);
    if (!isFinite(eye.ground) || !std::isfinite(eye.altitude) || !isFinite(target)) {
        platform::Log::warning(platform::logcat::canvas, "vol vers {} : position impossible", place.name);
        return;
    }
    writeJournal((orbit ? "tour en drone de " : "vol vers ") + place.name);
    const std::string name = (orbit ? "Tour de " : "Vol vers ") + place.name;

    const double placeAltitude
        = place.altitude && std::isfinite(*place.altitude) ? *place.altitude : -std::numeric_limits<double>::infinity();
    const double altitude = atLeast(placeAltitude, groundHeight(target));
    const double radius = flightOptions_.orbitRadius;
    const double m = metersPerUnit(target.y);
    const double dx = eye.ground.x - target.x;
    const double dy = eye.ground.y - target.y;
    const double apart = std::hypot(dx, dy);
    const double startAngle = apart > 0 ? std::atan2(dy, dx) : 0;
    const WorldPoint toward = apart > 0 ? WorldPoint{-dx / apart, -dy / apart}
                                        : WorldPoint{std::sin(start.bearing), -std::cos(start.bearing)};
    Flight::Eye end;
    if (orbit) {
        end = {{target.x + radius / m * std::cos(startAngle), target.y + radius / m * std::sin(startAngle)},
            altitude + kOrbitHeightShare * radius};
    } else {
        end = {{target.x - toward.x * kLandingShortfallMeters / m, target.y - toward.y * kLandingShortfallMeters / m},
            altitude + kLandingHeightMeters};
    }
    const double travel = std::hypot(end.ground.x - eye.ground.x, end.ground.y - eye.ground.y) * m;
    const double bearing = travel > 1
        ? Camera::wrapAngle(std::atan2(end.ground.x - eye.ground.x, -(end.ground.y - eye.ground.y)))
        : start.bearing;
    const auto arrival = renderer_->lookAtCamera(target, end.ground, end.altitude, start);
    const bool arrivalUsable = arrival && arrival->zoom >= minZoom_ && arrival->zoom <= maxZoom();
    const double duration
        = std::clamp(travel / kApproachMetersPerSecond + kApproachBaseSeconds, kMinApproachSeconds, kMaxApproachSeconds);
    if (!std::isfinite(duration) || !std::isfinite(bearing)) {
        platform::Log::warning(platform::logcat::canvas, "vol vers {} : trajet impossible", place.name);
        return;
    }

    stopAnimations();
    awaitingInitialLocation_ = false;
    inertia_ = {};
    endFlight();
    animation_.reset();
    animationName_ = name;
    prefetchAround(target, orbit ? kTourPrefetchRadii * radius : kLandingPrefetchMeters);

    Flight flight;
    flight.kind = orbit ? Flight::Kind::orbit : Flight::Kind::land;
    flight.initialCamera = start;
    flight.from = {eye.ground, eye.altitude};
    flight.to = end;
    flight.target = target;
    flight.bearing = bearing;
    flight.pitch = std::clamp(start.pitch, kMinCruisePitchRadians, kMaxCruisePitchRadians);
    flight.backBearing = arrivalUsable ? arrival->bearing : bearing;
    flight.backPitch = arrivalUsable ? arrival->pitch : kFallbackArrivalPitchRadians;
    flight.duration = duration;
    flight.radius = radius;
    flight.height = kOrbitHeightShare * radius;
    flight.targetAltitude = altitude;
    flight.startAngle = startAngle;
    flight.id = platform::makeUuid();
    flight.requestedAt = now();
    resourceWait_ = {};
    if (orbit && flightOptions_.outro) {
        flight.outro = flightOptions_.outro;
        prefetchAround(flight.outro->ground, kLandingPrefetchMeters);
    }
    if (!isAppleLayerShown()) {
        flight.prepared = std::make_shared<FlightFrameSequence<PreparedFlightFrame>>(flight.endTime(), kFlightFrameRate);
        if (onFlyoverProgress)
            onFlyoverProgress(0.0);
    }
    flight_ = flight;
    targetBearing_ = start.bearing;
    targetPitch_ = start.pitch;
    if (isCompassFollowing_) {
        isCompassFollowing_ = false;
        if (onCompassFollowingInterrupted)
            onCompassFollowingInterrupted();
    }
    renderer_->detailBias = kFlightDetailBias;
    renderer_->extrasPausedUntil = 0;
    if (onFlight)
        onFlight(std::pair{place.name, apart * m});
    preloadFlight(flight);
    startDisplayLink();
}

void MapCanvasView::startAimedPointTour()
{
    const WorldPoint centre = renderer_->camera.center;
    const double latitude = centre.latitude();
    const double metersPerUnitHere = std::cos(latitude * std::numbers::pi / 180) * kEarthCircumferenceMeters;
    std::optional<Toponym> nearest;
    double nearestMeters = kTourSummitReachMeters;
    for (const Toponym& label : shownToponyms()) {
        if (label.kind != Toponym::Kind::summit)
            continue;
        const WorldPoint at = WorldPoint::fromLatitudeLongitude(
            std::clamp(label.latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees), label.longitude);
        const double meters = std::hypot(at.x - centre.x, at.y - centre.y) * metersPerUnitHere;
        if (meters < nearestMeters) {
            nearestMeters = meters;
            nearest = label;
        }
    }
    if (!nearest) {
        nearest = Toponym{"point-vise", "Point visé", Toponym::Kind::place, latitude, centre.x * 360 - 180, 6, std::nullopt};
    }
    startFlight(*nearest, true);
}

Flight::Eye MapCanvasView::orbitPoint(const Flight& flight, double angle, double base) const
{
    const double m = metersPerUnit(flight.target.y);
    const WorldPoint ground{
        flight.target.x + std::cos(angle) * flight.radius / m, flight.target.y + std::sin(angle) * flight.radius / m};
    return {ground, atLeast(base + flight.height, groundHeight(ground) + kOrbitClearanceMeters)};
}

std::optional<Camera> MapCanvasView::applyFlightFrame(const Flight& flight, double t) const
{
    Camera look = flight.initialCamera;
    look.viewSize = renderer_->camera.viewSize;
    if (t == 0)
        return look;
    const double placeAltitude = atLeast(flight.targetAltitude, groundHeight(flight.target));
    const bool landing = flight.kind == Flight::Kind::land;
    const double endHeight = atLeast(
        atLeast(flight.to.altitude, placeAltitude + (landing ? kLandingHeightMeters : flight.height)),
        groundHeight(flight.to.ground) + (landing ? kLandingEndClearanceMeters : kOrbitClearanceMeters));

    if (t < flight.duration) {
        const double s = smoothstep(t / flight.duration);
        const WorldPoint eye = lerp(flight.from.ground, flight.to.ground, s);
        prefetchAround(eye, kApproachPrefetchMeters);
        const double altitude = std::max(flight.from.altitude + (endHeight - flight.from.altitude) * s,
            groundHeight(eye) + kApproachClearanceMeters);
        double bearing = flight.bearing;
        double pitch = flight.pitch;
        if (!landing) {
            const WorldPoint aim = lerp(flight.initialCamera.center, flight.target, s);
            if (auto aimed = renderer_->lookAtCamera(aim, eye, altitude, look))
                return aimed;
            if (auto facing = renderer_->lookAtCamera(flight.target, eye, altitude, look)) {
                const double d = std::hypot(eye.x - flight.target.x, eye.y - flight.target.y) * metersPerUnit(eye.y);
                const double w = smoothstep((kTourTurnStartMeters - d) / kTourTurnSpanMeters);
                bearing = flight.bearing + w * Camera::wrapAngle(facing->bearing - flight.bearing);
                pitch = flight.pitch + w * (std::min(facing->pitch, kMaxTourPitchRadians) - flight.pitch);
            }
        }
        const auto eased = look.easedOrientation(bearing, pitch, t);
        return renderer_->cameraFromEye(eye, altitude, eased.bearing, eased.pitch, look);
    }

    if (landing) {
        const double s = smoothstep((t - flight.duration) * 0.5);
        const auto arrival = renderer_->lookAtCamera(flight.target, flight.to.ground, endHeight, look);
        if (s >= 1)
            return arrival;
        const double finalBearing = arrival ? arrival->bearing : flight.backBearing;
        const double finalPitch = arrival ? arrival->pitch : flight.backPitch;
        return renderer_->cameraFromEye(flight.to.ground, endHeight,
            flight.bearing + s * Camera::wrapAngle(finalBearing - flight.bearing),
            flight.pitch + s * (finalPitch - flight.pitch), look);
    }

    if (!flight.outro || t <= flight.duration + Flight::kLapSeconds) {
        const double angle = flight.startAngle + kTwoPi * Flight::lapProgress((t - flight.duration) / Flight::kLapSeconds);
        const auto orbit = orbitPoint(flight, angle, placeAltitude);
        prefetchAround(orbit.ground, kOrbitPrefetchMeters);
        return renderer_->lookAtCamera(flight.target, orbit.ground, orbit.altitude, look);
    }

    const Flight::Outro& outro = *flight.outro;
    const double q = smoothstep((t - flight.duration - Flight::kLapSeconds) / Flight::kOutroSeconds);
    const auto lapEnd = orbitPoint(flight, flight.startAngle + kTwoPi, placeAltitude);
    const WorldPoint eye = lerp(lapEnd.ground, outro.ground, q);
    prefetchAround(eye, kOrbitPrefetchMeters);
    const double altitude = std::max(lapEnd.altitude + (groundHeight(outro.ground) + outro.height - lapEnd.altitude) * q,
        groundHeight(eye) + std::min(outro.height, kOutroClearanceMeters));
    const WorldPoint lookAt = lerp(outro.foreground, flight.target, outro.look);
    return renderer_->lookAtCamera(lerp(flight.target, lookAt, q), eye, altitude, look);
}

FrameOverlays MapCanvasView::overlayPlacements()
{
    FrameOverlays overlays;
    overlays.markers = trackMarkerPlacements();
    overlays.labels = layoutToponyms();
    return overlays;
}

void MapCanvasView::storeFlight(const Flight& flight)
{
    if (flight_ && flight_->id == flight.id)
        *flight_ = flight;
}

void MapCanvasView::prepareFlightFrames(Flight& flight, double time)
{
    FlightFrameSequence<PreparedFlightFrame>& sequence = *flight.prepared;
    if (flight.waitingSince && time - flight.lastPreparation < kFlightRetrySeconds)
        return;
    flight.lastPreparation = time;
    const double deadline = time + kFlightPreparationSliceSeconds;
    do {
        const double t = sequence.nextTime();
        renderer_->detailBias = kFlightDetailBias;
        auto candidate = applyFlightFrame(flight, t);
        if (!candidate || !std::isfinite(candidate->zoom) || candidate->zoom < minZoom_ || candidate->zoom > maxZoom())
            candidate = sequence.frames().empty() ? flight.initialCamera : sequence.frames().back().scene.camera;
        const Camera live = renderer_->camera;
        const MapRenderer::SavedFrame state = renderer_->savedFrame();
        const bool ready = renderer_->flightReadiness(*candidate);
        const bool takenAnyway = !ready
            && (resourceWait_.hasGivenUp() || (flight.waitingSince && resourceWait_.givesUp(*flight.waitingSince, now())));
        if (!ready && !takenAnyway) {
            renderer_->restoreFrameState(live, state);
            if (!flight.heldBackSince)
                flight.heldBackSince = time;
            if (!flight.waitingSince) {
                flight.waitingSince = time;
            } else if (time - *flight.heldBackSince > kFlightWaitReportSeconds
                && time - lastWaitReport_ > kFlightWaitReportSeconds
                && platform::launchArgumentValue("-filmTo", environment_.arguments)) {
                lastWaitReport_ = time;
                const std::set<std::string> distinct(renderer_->flightWaits.begin(), renderer_->flightWaits.end());
                std::vector<std::string> waits(distinct.begin(), distinct.end());
                if (waits.size() > kMaxWaitsReported)
                    waits.resize(kMaxWaitsReported);
                fmt::print("film : attente à {:.1f} s — {}\n", t, fmt::join(waits, " ; "));
                std::fflush(stdout);
            }
            return;
        }
        if (takenAnyway && flightWarnedOfMissing_ != flight.id) {
            flightWarnedOfMissing_ = flight.id;
            platform::Log::warning(platform::logcat::canvas,
                "{} : images prises sans tout ce qu'elles montrent après {} s d'attente", animationName_,
                ResourceWait::kPatienceSeconds);
        }
        PreparedFlightFrame frame{renderer_->captureScene(*candidate), overlayPlacements()};
        renderer_->restoreFrameState(live, state);
        sequence.append(std::move(frame));
        flight.waitingSince.reset();
        if (ready)
            flight.heldBackSince.reset();
    } while (!sequence.isComplete() && now() < deadline);

    if (sequence.isComplete()) {
        flightPreload_.reset();
        if (services_.loader)
            services_.loader->setDesired({});
    }
}

bool MapCanvasView::flightStep(Flight flight)
{
    const double time = now();
    FlightFrameSequence<PreparedFlightFrame>* sequence = flight.prepared.get();
    FlightPlayback& playback = flight.playback;
    // Frames are prepared ahead of playback in every display frame until the last, and
    // playback waits, the view keeping its picture, while too few lie ahead of it.
    const auto waitForFrames = [&] {
        const double spent = time - flight.requestedAt;
        const double pace = spent > 0 ? sequence->preparedUntil() / spent : INFINITY;
        if (sequence->leads(playback.elapsed, pace, kFlightLeadSeconds))
            return false;
        playback.moving = false;
        playback.lastTime.reset();
        playback.pending.reset();
        storeFlight(flight);
        if (onFlyoverProgress)
            onFlyoverProgress(std::min(0.999, sequence->leadShare(playback.elapsed, pace, kFlightLeadSeconds)));
        return true;
    };
    if (sequence && !sequence->isComplete()) {
        prepareFlightFrames(flight, time);
        if (!playback.moving && waitForFrames())
            return true;
    }
    if (sequence && !playback.moving) {
        playback.moving = true;
        if (flightRasterScale_ != kFlightRasterScale) {
            flightRasterScale_ = kFlightRasterScale;
            window_.setPreferredFrameRate(kFlightFrameRate);
        }
    }

    if (!playback.lastTime && playback.elapsed == 0) {
        platform::Log::info(platform::logcat::canvas, "{} : en mouvement {:.2f} s après la demande", animationName_,
            time - flight.requestedAt);
    }
    const double step = playback.lastTime && time - *playback.lastTime > 0
        ? std::min(time - *playback.lastTime, kMaxFlightStepSeconds)
        : 0;
    playback.lastTime = time;
    if (!playback.pending)
        playback.pending = playback.elapsed + step;
    const double reached = *playback.pending;
    const double end = flight.endTime();
    const double t = std::min(reached, end);
    if (!sequence) {
        // An instant without a camera is passed over: its display frame alone is skipped.
        if (auto camera = applyFlightFrame(flight, t)) {
            applyCamera(*camera, false);
            applyMarkerPlacements(trackMarkerPlacements());
            applyToponymPlacements(layoutToponyms());
            flightFrameReady_ = true;
        }
    } else {
        const PreparedFlightFrame* frame = sequence->frame(t);
        if (!frame) {
            // Caught up with the preparation: the view keeps its picture until frames lie
            // ahead again.
            waitForFrames();
            return true;
        }
        frame->scene.restore(*renderer_);
        applyMarkerPlacements(frame->overlays.markers);
        applyToponymPlacements(frame->overlays.labels);
        targetBearing_ = frame->scene.camera.bearing;
        targetPitch_ = frame->scene.camera.pitch;
        reportCameraChange();
        flightFrameReady_ = true;
    }
    playback.elapsed = reached;
    playback.pending.reset();
    storeFlight(flight);
    if (onFlyoverProgress)
        onFlyoverProgress(std::nullopt);
    if (reached < end)
        return true;

    flightPreload_.reset();
    if (sequence) {
        if (const PreparedFlightFrame* last = sequence->frame(end)) {
            arrivalFrame_ = *last;
            renderer_->heldFlightScene = last->scene;
            last->scene.restore(*renderer_);
            applyMarkerPlacements(last->overlays.markers);
            applyToponymPlacements(last->overlays.labels);
        }
        flightRasterScale_ = 1;
        flightRaster_.reset();
    }
    renderer_->flightAheadKeys.clear();
    window_.setPreferredFrameRate(std::nullopt);
    lastMotion_ = 0;
    return false;
}

void MapCanvasView::restoreAfterFlight()
{
    flightRasterScale_ = 1;
    flightRaster_.reset();
    flightPreload_.reset();
    clearHeldFlightFrame();
    if (onFlyoverProgress)
        onFlyoverProgress(std::nullopt);
    window_.setPreferredFrameRate(std::nullopt);
}

void MapCanvasView::endFlight()
{
    gaze_.reset();
    replay_.reset();
    finishRecording();
    if (isFlying()) {
        flight_.reset();
        arrivalFrame_.reset();
        restoreAfterFlight();
    }
    if (onFlight)
        onFlight(std::nullopt);
    stopAnimations();
    if (onUserInteraction)
        onUserInteraction();
}

void MapCanvasView::flightResourceArrived()
{
    if (flight_ && flight_->prepared && !flight_->prepared->isComplete())
        resourceWait_.resourceArrived();
    if (film_)
        film_->resourceWait.resourceArrived();
}

MapCanvasView::FlightPreloadList MapCanvasView::flightPreloadList(const Flight& flight) const
{
    FlightPreloadList list;
    PreloadList order;
    for (double t : flight.preloadTimes()) {
        const auto camera = applyFlightFrame(flight, t);
        if (!camera)
            continue;
        ++list.cameras;
        order.add(renderer_->visibleTiles(*camera));
    }
    list.tiles = order.tiles();
    list.elevations = order.elevationDownloads(services_.loader ? services_.loader->hosts() : ServiceHosts{});
    return list;
}

void MapCanvasView::preloadFlight(const Flight& flight)
{
    if (isAppleLayerShown() || !services_.loader)
        return;
    FlightPreloadList list = flightPreloadList(flight);
    flightPreload_.reset();
    std::weak_ptr<MapCanvasView> weak = weak_from_this();
    flightPreload_ = services_.loader->preload(list.tiles, std::move(list.elevations),
        [weak, id = flight.id](std::int64_t, std::int64_t) {
            if (auto self = weak.lock())
                self->flightPreloadProgress(id);
        });
}

void MapCanvasView::flightPreloadProgress(const std::string& flightId)
{
    if (flight_ ? flight_->id == flightId : flightId.empty())
        startDisplayLink();
}

} // namespace velorin
