#pragma once

#include "platform/Iso8601.h"
#include "platform/LocationFix.h"
#include "recordings/RecordingLocation.h"
#include "recordings/Track.h"
#include "recordings/TrackEdit.h"
#include "recordings/TrackSamplingPolicy.h"
#include "recordings/TrackStatistics.h"
#include "recordings/TrackStore.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Turns the device's fixes into a recorded track and keeps the saved tracks as the screens
// show them. While recording, every fix the sampling policy keeps is appended to the
// track's file at once and the track on the map is handed on; idle, it serves the saved
// list with each track's figures and speed, the saved track shown on the map, and the
// operations that change saved tracks. The recording's points all stay in memory: when a
// write fails the walker is told why, the whole track is written again at the next point
// and once more at the stop, and a removed folder is made again. Published state changes
// are announced by `onChange`. GUI thread only.
class TrackRecorder {
public:
    // What the start-up does with tracks an earlier run left open: a run beside the window
    // that records them leaves them alone.
    enum class Unfinished { repair, leave };

    // The present moment, for the start and end of a recording.
    using Now = std::function<platform::SystemTime()>;
    // The track on the map: its display points and its pauses.
    using PointsHandler = std::function<void(const std::vector<TrackDisplayPoint>&, const std::vector<TrackPause>&)>;

    // Closes the tracks an earlier run left open, unless told to leave them, and reads the
    // saved list. `location` outlives the recorder.
    TrackRecorder(std::unique_ptr<TrackStore> store, RecordingLocation& location, Now now,
        Unfinished unfinished = Unfinished::repair);
    ~TrackRecorder();

    TrackRecorder(const TrackRecorder&) = delete;
    TrackRecorder& operator=(const TrackRecorder&) = delete;

    // Published state.
    // The track being recorded; recording means exactly that it is set.
    const std::optional<Track>& current() const { return current_; }
    // Of `current`; zero right after a start, left as they were after a stop.
    const TrackStatistics& statistics() const { return statistics_; }
    // The store's list, latest start first.
    const std::vector<TrackMetadata>& savedTracks() const { return savedTracks_; }
    // By track id: the figures of each saved track that could be read, and its average
    // moving speed in metres per second where it moved at all.
    const std::map<std::string, TrackStatistics>& savedStatistics() const { return savedStatistics_; }
    const std::map<std::string, double>& savedSpeeds() const { return savedSpeeds_; }
    // "Enregistrement impossible : le disque est plein" while the recording's last write
    // failed, and after a stop whose final write failed; nothing otherwise.
    const std::optional<std::string>& writeFailure() const { return writeFailure_; }
    // The saved track chosen for the map.
    const std::optional<Track>& displayedTrack() const { return displayedTrack_; }
    void setDisplayedTrack(std::optional<Track> track);

    const TrackSamplingPolicy& policy() const { return policy_; }
    TrackStore& store() { return *store_; }
    const TrackStore& store() const { return *store_; }

    bool isRecording() const { return current_.has_value(); }
    // The recording when there is one, else the displayed track.
    const std::optional<Track>& trackOnMap() const { return current_ ? current_ : displayedTrack_; }

    // Starts recording a new track, named after its start unless `name` is given; the
    // position goes to recording settings and is located. Nothing while recording.
    void start(std::optional<std::string> name = std::nullopt);
    // Ends the recording: its end date is stored, its file closed (the whole track written
    // again when any write of it failed) and the position goes back to idle settings (it
    // keeps being located). A recording that kept no point leaves no track. Nothing while
    // idle.
    void stop();
    // Every fix of the device, with how the walker moves; kept only while recording and
    // when the sampling policy, the fix's validity and the track's time order allow.
    void record(const platform::LocationFix& fix, std::optional<TravelMode> mode);
    // Hands the track on the map to `onPointsChanged`: its display points and pauses, or
    // two empty lists without one.
    void publishMapTrack();

    // Reads the saved list again; the figures of tracks whose files did not change since
    // the last reading are kept.
    void reloadSavedTracks();
    // Removes a saved track; the recording first stops when it is that track.
    void deleteTrack(const std::string& id);
    void rename(const std::string& id, const std::string& name);
    // Cuts a saved track by the edit; how many points it removed. Nothing changes, and 0
    // is returned, when the edit removes nothing, the track cannot be read or is being
    // recorded.
    int apply(TrackEdit edit, const std::string& id);

    // After any published value changed.
    std::function<void()> onChange;
    PointsHandler onPointsChanged;
    // A recording started or ended, or the displayed track was set.
    std::function<void()> onShownTrackChange;

private:
    // The identity of a track's two files; equal stamps mean unchanged files.
    struct FileStamp {
        bool exists = false;
        unsigned long device = 0;
        unsigned long inode = 0;
        long long size = 0;
        long long modifiedSeconds = 0;
        long nanoseconds = 0;

        bool operator==(const FileStamp&) const = default;
    };
    struct SavedFigures {
        FileStamp metadata;
        FileStamp points;
        TrackStatistics statistics;
        std::optional<double> speed;
    };

    FileStamp stamp(const std::string& id, const char* file) const;
    bool keeps(const TrackPoint& point) const;
    // Writes the recording's newest point, or the whole track after a failure.
    void save();
    // Publishes the outcome of a write of the recording.
    void wrote(const std::optional<TrackStore::WriteFailure>& failure);
    void changed();
    void shownTrackChanged();

    std::optional<Track> current_;
    // The file lacks points of the recording: the next write is the whole track.
    bool needsRewrite_ = false;
    // A write of the recording failed: its stop writes the whole track.
    bool anyWriteFailed_ = false;
    std::optional<std::string> writeFailure_;
    TrackStatistics statistics_;
    std::vector<TrackMetadata> savedTracks_;
    std::map<std::string, TrackStatistics> savedStatistics_;
    std::map<std::string, double> savedSpeeds_;
    std::optional<Track> displayedTrack_;
    TrackSamplingPolicy policy_;
    const std::unique_ptr<TrackStore> store_;
    RecordingLocation& location_;
    const Now now_;
    std::map<std::string, SavedFigures> figures_;
};

// "Enregistrement impossible : le disque est plein": what the walker reads when a write of
// the recording failed for that reason.
std::string writeFailureMessage(const std::string& reason);

// "Trajet du 1 mai à 10:05": the name of a track started then, in French and local time.
std::string defaultTrackName(platform::SystemTime startedAt);

} // namespace velorin
