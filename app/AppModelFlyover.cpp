// The model's side of flyovers and flights: the palette's play button, the library's
// flyover of a saved track, the flyover controls, the photos on the way, the skip to a
// flight's end, the canvas's reports, the "-filmTrack" launch automation and a later start's
// "-startAt" view.

#include "app/AppModel.h"

#include "canvas/MapCanvasView.h"
#include "platform/LaunchArguments.h"

#include <QPointer>

#include <algorithm>
#include <numbers>

namespace velorin {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180;

std::vector<WorldPoint> worldPoints(const std::vector<TrackPoint>& points)
{
    std::vector<WorldPoint> world;
    world.reserve(points.size());
    for (const TrackPoint& point : points)
        world.push_back(WorldPoint::fromLatitudeLongitude(point.latitude, point.longitude));
    return world;
}

} // namespace

void AppModel::toggleFlyover()
{
    auto canvas = canvas_.lock();
    if (isFlyingOver_) {
        if (canvas)
            canvas->stopAnimations();
        return;
    }
    if (flight_) {
        if (canvas)
            canvas->endFlight();
        return;
    }
    std::vector<WorldPoint> points;
    if (const auto& track = tracks_->trackOnMap()) {
        for (const TrackDisplayPoint& point : track->displayPoints())
            points.push_back(point.world);
    }
    publish(isFollowingUser_, false);
    if (points.size() < 2) {
        if (canvas)
            canvas->startAimedPointTour();
        return;
    }
    flyOver(points, std::nullopt);
}

void AppModel::startFlyover(const Track& track)
{
    tracks_->setDisplayedTrack(tracks_->store().readTrack(track.metadata.id));
    tracks_->publishMapTrack();
    publish(isFollowingUser_, false);
    // The points handed over are flown, even when the track's files are gone.
    flyOver(worldPoints(track.points), std::string(kFlyoverNamePrefix) + track.metadata.name);
}

void AppModel::flyOver(const std::vector<WorldPoint>& points, std::optional<std::string> animationName)
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    canvas->setFlyoverMode(flyoverMode_);
    canvas->applyFlyoverMode();
    if (animationName)
        canvas->setAnimationName(*animationName);
    // A path the canvas will not fly (too short) would leave the flyover controls up for
    // a flyover that never runs and never reports its end.
    if (canvas->startFlyover(points))
        publish(isFlyingOver_, true);
}

void AppModel::stopFlyover()
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    if (isFlyingOver_)
        canvas->stopAnimations();
    else
        canvas->endFlight();
}

void AppModel::setFlyoverMode(FlyoverMode mode)
{
    publish(flyoverMode_, mode);
    defaults_->setString(kFlyoverModeKey, std::string(rawValue(mode)));
    if (auto canvas = canvas_.lock()) {
        canvas->setFlyoverMode(mode);
        canvas->applyFlyoverMode();
    }
}

void AppModel::toggleFlyoverMode()
{
    setFlyoverMode(flyoverMode_ == FlyoverMode::follow ? FlyoverMode::drone : FlyoverMode::follow);
}

void AppModel::toggleFlyoverPause()
{
    toggleFlag(&AppModel::isFlyoverPaused_, &MapCanvasPort::setFlyoverPaused);
}

void AppModel::setTrackPhotos(std::vector<TrackPhoto> photos)
{
    publish(trackPhotos_, std::move(photos));
}

void AppModel::showFlyoverPhoto(int index)
{
    // The photos may have been replaced since the canvas placed its stops.
    if (index < 0 || std::size_t(index) >= trackPhotos_.size())
        return;
    publish(flyoverPhotoIndex_, std::optional<int>(index));
    QPointer<AppModel> weak(this);
    flyoverPhotoHide_.start(kFlyoverPhotoSeconds, [weak] {
        if (weak)
            weak->publish(weak->flyoverPhotoIndex_, std::optional<int>());
    });
}

void AppModel::openFlyoverPhoto()
{
    if (!flyoverPhotoIndex_)
        return;
    const int index = *flyoverPhotoIndex_;
    if (std::size_t(index) >= trackPhotos_.size())
        return;
    if (!isFlyoverPaused_)
        toggleFlyoverPause();
    flyoverPhotoHide_.cancel();
    publish(flyoverPhotoIndex_, std::optional<int>());
    viewedPhotos_ = trackPhotos_;
    publish(viewedPhotoIndex_, std::optional<int>(index));
}

void AppModel::skipFlight()
{
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    const auto arrival = canvas->runningFlightDuration();
    if (!arrival)
        return;
    canvas->writeJournal(kSkipJournalLine);
    const auto camera = canvas->applyFlightFrame(*arrival);
    canvas->endFlight();
    if (camera)
        canvas->applyCamera(*camera, false);
}

void AppModel::flightDidChange(std::optional<FlightInfo> flight)
{
    publish(flight_, std::move(flight));
}

void AppModel::flyoverProgressDidChange(std::optional<double> progress)
{
    publish(flyoverProgress_, progress);
}

void AppModel::flyoverPositionDidChange(double travelled, double total)
{
    publish(flyoverPosition_, FlyoverPosition { travelled, total });
}

void AppModel::flyoverDidEnd()
{
    publish(isFlyingOver_, false);
    publish(isFlyoverPaused_, false);
    flyoverPhotoHide_.cancel();
    publish(flyoverPhotoIndex_, std::optional<int>());
}

void AppModel::showStartView(const StartView& view)
{
    auto canvas = canvas_.lock();
    const auto current = canvas ? canvas->camera() : std::nullopt;
    if (!current)
        return;
    CameraPose pose = *current;
    const WorldPoint center = WorldPoint::fromLatitudeLongitude(view.latitude, view.longitude);
    pose.x = center.x;
    pose.y = center.y;
    pose.zoom = view.zoom;
    pose.bearing = view.bearingDegrees * kRadiansPerDegree;
    // As at start-up: a negative pitch would look up from under the ground.
    pose.pitch = std::clamp(view.pitchDegrees * kRadiansPerDegree, 0.0, MapCanvasView::kMaxStartPitchRadians);
    if (view.focalLength && *view.focalLength > 0)
        pose.focal = *view.focalLength;
    canvas->apply(pose);
}

void AppModel::startFilmTrack(const std::vector<std::string>& arguments)
{
    const auto text = platform::launchArgumentValue("-filmTrack", arguments);
    if (!text)
        return;
    const auto& saved = tracks_->savedTracks();
    const auto entry = std::find_if(
        saved.begin(), saved.end(), [&](const TrackMetadata& track) { return track.name.starts_with(*text); });
    if (entry == saved.end())
        return;
    tracks_->setDisplayedTrack(tracks_->store().readTrack(entry->id));
    tracks_->publishMapTrack();
    if (const auto mode = platform::launchArgumentValue("-flyoverMode", arguments)) {
        if (const auto parsed = flyoverModeFromRawValue(*mode))
            setFlyoverMode(*parsed);
    }
    QPointer<AppModel> weak(this);
    const auto from = platform::launchArgumentValue("-filmFrom", arguments);
    filmTrack_.start(kFilmTrackDelaySeconds, [weak, name = entry->name, from] {
        if (!weak)
            return;
        if (auto canvas = weak->canvas_.lock())
            canvas->setAnimationName(std::string(kFlyoverNamePrefix) + name);
        weak->toggleFlyover();
        const auto fraction = from ? platform::launchNumber(*from) : std::nullopt;
        if (!fraction)
            return;
        if (auto canvas = weak->canvas_.lock())
            canvas->seekFlyover(std::clamp(*fraction, 0.0, 1.0));
    });
}

} // namespace velorin
