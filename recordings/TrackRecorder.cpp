#include "recordings/TrackRecorder.h"

#include "platform/FrenchDate.h"
#include "platform/Uuid.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <utility>

namespace velorin {

namespace {

// The latest fix time taken as real, in Unix seconds (2200-01-01): later ones come from a
// broken clock, and times this far off would not fit the point's time.
constexpr double kLatestFixSeconds = 7258118400;

bool sameId(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

// The point a fix stands for; nothing for a fix without a usable position, accuracy or time.
std::optional<TrackPoint> pointFor(const platform::LocationFix& fix, std::optional<TravelMode> mode,
    double maximumAccuracy)
{
    if (!(std::abs(fix.latitude) <= 90) || !(std::abs(fix.longitude) <= 180))
        return std::nullopt;
    if (!(fix.horizontalAccuracy >= 0 && fix.horizontalAccuracy <= maximumAccuracy))
        return std::nullopt;
    if (!(fix.timestamp >= 0 && fix.timestamp < kLatestFixSeconds))
        return std::nullopt;
    TrackPoint point;
    point.latitude = fix.latitude;
    point.longitude = fix.longitude;
    // A fix without a vertical accuracy has no altitude worth keeping (2D fixes carry NaN).
    if (fix.verticalAccuracy >= 0 && std::isfinite(fix.altitude))
        point.altitude = fix.altitude;
    point.timestamp = platform::SystemTime(
        std::chrono::duration_cast<platform::SystemTime::duration>(std::chrono::duration<double>(fix.timestamp)));
    point.horizontalAccuracy = fix.horizontalAccuracy;
    point.mode = mode;
    return point;
}

} // namespace

TrackRecorder::TrackRecorder(std::unique_ptr<TrackStore> store, RecordingLocation& location, Now now,
    Unfinished unfinished)
    : store_(std::move(store))
    , location_(location)
    , now_(now ? std::move(now) : Now([] { return std::chrono::system_clock::now(); }))
{
    if (unfinished == Unfinished::repair)
        store_->repairUnfinished();
    reloadSavedTracks();
}

TrackRecorder::~TrackRecorder() = default;

void TrackRecorder::changed()
{
    if (onChange)
        onChange();
}

void TrackRecorder::shownTrackChanged()
{
    if (onShownTrackChange)
        onShownTrackChange();
}

void TrackRecorder::setDisplayedTrack(std::optional<Track> track)
{
    displayedTrack_ = std::move(track);
    changed();
    shownTrackChanged();
}

void TrackRecorder::start(std::optional<std::string> name)
{
    if (current_)
        return;
    const platform::SystemTime startedAt = now_();
    current_ = Track{{platform::makeUuid(), name ? *name : defaultTrackName(startedAt), startedAt, std::nullopt}, {}};
    anyWriteFailed_ = false;
    wrote(store_->writeTrack(*current_));
    statistics_ = {};
    location_.applyRecordingSettings(true);
    location_.startLocating();
    changed();
    shownTrackChanged();
    publishMapTrack();
}

void TrackRecorder::stop()
{
    if (!current_)
        return;
    const std::string& id = current_->metadata.id;
    if (current_->points.empty()) {
        // Nothing to keep: an empty track would only clutter the library.
        store_->deleteTrack(id);
        writeFailure_.reset();
    } else {
        current_->metadata.endedAt = now_();
        std::optional<TrackStore::WriteFailure> failure;
        if (anyWriteFailed_ || (failure = store_->finish(id, *current_->metadata.endedAt)))
            failure = store_->writeTrack(*current_);
        writeFailure_ = failure ? std::optional(writeFailureMessage(failure->reason)) : std::nullopt;
    }
    location_.applyRecordingSettings(false);
    current_.reset();
    reloadSavedTracks();
    shownTrackChanged();
    publishMapTrack();
}

bool TrackRecorder::keeps(const TrackPoint& point) const
{
    if (current_->points.empty())
        return true;
    const TrackPoint& last = current_->points.back();
    // A track never runs backwards in time.
    if (point.timestamp < last.timestamp)
        return false;
    const double elapsed = std::chrono::duration<double>(point.timestamp - last.timestamp).count();
    return elapsed >= policy_.maximumIntervalSeconds || point.distance(last) >= policy_.minimumDistanceMeters;
}

void TrackRecorder::record(const platform::LocationFix& fix, std::optional<TravelMode> mode)
{
    if (!current_)
        return;
    auto point = pointFor(fix, mode, policy_.maximumHorizontalAccuracyMeters);
    if (!point || !keeps(*point))
        return;
    current_->points.push_back(*point);
    save();
    statistics_ = TrackStatistics(*current_);
    changed();
    publishMapTrack();
}

void TrackRecorder::save()
{
    if (needsRewrite_) {
        wrote(store_->writeTrack(*current_));
        return;
    }
    auto failure = store_->append(current_->points.back(), current_->metadata.id);
    // The folder went while recording: it is made again at once with every point.
    if (failure && failure->fileGone) {
        anyWriteFailed_ = true;
        failure = store_->writeTrack(*current_);
    }
    wrote(failure);
}

void TrackRecorder::wrote(const std::optional<TrackStore::WriteFailure>& failure)
{
    needsRewrite_ = failure.has_value();
    anyWriteFailed_ = anyWriteFailed_ || needsRewrite_;
    auto message = failure ? std::optional(writeFailureMessage(failure->reason)) : std::nullopt;
    if (message != writeFailure_) {
        writeFailure_ = std::move(message);
        changed();
    }
}

void TrackRecorder::publishMapTrack()
{
    if (!onPointsChanged)
        return;
    const auto& track = trackOnMap();
    if (!track) {
        onPointsChanged({}, {});
        return;
    }
    onPointsChanged(
        track->displayPoints(), track->pauses(Track::kPauseMinimumDurationSeconds, Track::kPauseRadiusMeters));
}

TrackRecorder::FileStamp TrackRecorder::stamp(const std::string& id, const char* file) const
{
    struct stat status {};
    if (::stat((store_->root() / id / file).c_str(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

void TrackRecorder::reloadSavedTracks()
{
    savedTracks_ = store_->listMetadata();
    std::map<std::string, SavedFigures> figures;
    std::map<std::string, TrackStatistics> statistics;
    std::map<std::string, double> speeds;
    for (const TrackMetadata& metadata : savedTracks_) {
        SavedFigures saved {
            stamp(metadata.id, TrackStore::kMetadataFile), stamp(metadata.id, TrackStore::kPointsFile), {}, {}};
        const auto known = figures_.find(metadata.id);
        if (known != figures_.end() && known->second.metadata == saved.metadata
            && known->second.points == saved.points) {
            saved = known->second;
        } else {
            const Track track {metadata, store_->readPoints(metadata.id)};
            saved.statistics = TrackStatistics(track);
            if (const double moving = track.movingDuration(); moving > 0)
                saved.speed = saved.statistics.distance / moving;
        }
        statistics[metadata.id] = saved.statistics;
        if (saved.speed)
            speeds[metadata.id] = *saved.speed;
        figures[metadata.id] = std::move(saved);
    }
    figures_ = std::move(figures);
    savedStatistics_ = std::move(statistics);
    savedSpeeds_ = std::move(speeds);
    changed();
}

void TrackRecorder::deleteTrack(const std::string& id)
{
    // Otherwise every later point of the recording would go nowhere and its stop would
    // finish nothing.
    if (current_ && sameId(current_->metadata.id, id))
        stop();
    store_->deleteTrack(id);
    if (displayedTrack_ && sameId(displayedTrack_->metadata.id, id)) {
        displayedTrack_.reset();
        shownTrackChanged();
    }
    reloadSavedTracks();
    publishMapTrack();
}

void TrackRecorder::rename(const std::string& id, const std::string& name)
{
    if (auto metadata = store_->readMetadata(id)) {
        metadata->name = name;
        store_->writeMetadata(*metadata);
        if (current_ && sameId(current_->metadata.id, id))
            current_->metadata.name = name;
    }
    reloadSavedTracks();
    if (displayedTrack_ && sameId(displayedTrack_->metadata.id, id)) {
        displayedTrack_ = store_->readTrack(id);
        changed();
        shownTrackChanged();
    }
}

int TrackRecorder::apply(TrackEdit edit, const std::string& id)
{
    // The recording's file is being appended to: it is edited once it is saved.
    if (current_ && sameId(current_->metadata.id, id))
        return 0;
    const auto track = store_->readTrack(id);
    if (!track)
        return 0;
    const IndexRange kept = edit == TrackEdit::keepOnFoot
        ? track->onFootRange()
        : track->trimmedRange(Track::kPauseMinimumDurationSeconds, Track::kPauseRadiusMeters);
    if (kept.size() == track->points.size())
        return 0;
    const auto begin = track->points.begin();
    store_->writePoints(
        {begin + static_cast<std::ptrdiff_t>(kept.lowerBound), begin + static_cast<std::ptrdiff_t>(kept.upperBound)}, id);
    reloadSavedTracks();
    if (displayedTrack_ && sameId(displayedTrack_->metadata.id, id)) {
        displayedTrack_ = store_->readTrack(id);
        changed();
        shownTrackChanged();
        publishMapTrack();
    }
    return static_cast<int>(track->points.size() - kept.size());
}

std::string writeFailureMessage(const std::string& reason)
{
    return "Enregistrement impossible : " + reason;
}

std::string defaultTrackName(platform::SystemTime startedAt)
{
    return "Trajet du " + platform::frenchDate(startedAt, {.year = false, .time = true});
}

} // namespace velorin
