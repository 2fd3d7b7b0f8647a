// The model's side of the recordings: the record button, the track on the map and a saved
// track opened on it.

#include "app/AppModel.h"

namespace velorin {

void AppModel::toggleRecording()
{
    if (tracks_->isRecording()) {
        tracks_->stop();
        motion_->stop();
        return;
    }
    if (location_->authorization() == platform::LocationAuthorization::notDetermined)
        location_->source().requestWhenInUseAuthorization();
    tracks_->start();
    motion_->start();
    armPositionWait(false);
    publish(isFollowingUser_, true);
    location_->start();
}

void AppModel::openTrack(const Track& track)
{
    tracks_->setDisplayedTrack(tracks_->store().readTrack(track.metadata.id));
    tracks_->publishMapTrack();
    publish(isFollowingUser_, false);
    auto canvas = canvas_.lock();
    if (!canvas)
        return;
    // The track handed over is framed, even when its files are gone.
    std::vector<WorldPoint> points;
    points.reserve(track.points.size());
    for (const TrackPoint& point : track.points)
        points.push_back(WorldPoint::fromLatitudeLongitude(point.latitude, point.longitude));
    canvas->fit(points);
}

void AppModel::trackPointsDidChange(const std::vector<TrackDisplayPoint>& points, const std::vector<TrackPause>& pauses)
{
    if (auto canvas = canvas_.lock())
        canvas->setTrack(points, pauses);
}

void AppModel::applicationWillTerminate()
{
    if (!tracks_->isRecording())
        return;
    tracks_->stop();
    motion_->stop();
}

} // namespace velorin
