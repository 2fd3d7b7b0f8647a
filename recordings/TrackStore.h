#pragma once

#include "recordings/Track.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// Keeps every recorded or imported track on disk, one folder per track named by its id:
// "meta.json" (the metadata) and "points.jsonl" (one point a line, appended while
// recording). An append is one write of one whole line, so a crash loses at most the line
// being written; the start-up repair gives unfinished tracks an end. Reads give empty
// results; the writes of a recording (append, writeTrack, finish) say why they failed, the
// others skip their failures; failed appends are logged under "Tracks". Ids are matched in
// either case. GUI thread only.
class TrackStore {
public:
    // Why a write did not reach the track's files, in French for the walker
    // ("le disque est plein"). `fileGone` when the open points file had lost its name (its
    // folder was removed or the file replaced): nothing more written through it would ever
    // be read, and the whole track must be written again.
    struct WriteFailure {
        std::string reason;
        bool fileGone = false;

        bool operator==(const WriteFailure&) const = default;
    };

    // Asks the system to put a file's written bytes on storage (fdatasync by default).
    using Sync = std::function<void(int fileDescriptor)>;

    // The two files of a track's folder.
    static constexpr const char* kMetadataFile = "meta.json";
    static constexpr const char* kPointsFile = "points.jsonl";
    // Every this many appends to a track, its file is synced.
    static constexpr int kSynchronizeEvery = 10;

    // Creates `root` (normally Folders::tracks()) when it is missing.
    explicit TrackStore(std::filesystem::path root, Sync sync = {});
    ~TrackStore();
    TrackStore(const TrackStore&) = delete;
    TrackStore& operator=(const TrackStore&) = delete;

    const std::filesystem::path& root() const { return root_; }

    // A new open track: fresh id, that name and start, an empty points file.
    TrackMetadata create(const std::string& name, platform::SystemTime startedAt);
    // Adds one line to the track's points file, kept open between points.
    std::optional<WriteFailure> append(const TrackPoint& point, const std::string& id);
    // Writes the whole track, points then meta.json, each by a temporary file and a
    // rename, making its folder again when it is missing: a recording's own copy put back
    // after failed appends or a removed folder.
    std::optional<WriteFailure> writeTrack(const Track& track);
    // Closes the track's file and records its end; nothing is written without a readable
    // meta.json, which is a failure.
    std::optional<WriteFailure> finish(const std::string& id, platform::SystemTime endedAt);
    // Replaces the whole points file (imports and edits); false when it could not be written
    // (the track's folder gone, a full disk), the old file then staying as it was.
    bool writePoints(const std::vector<TrackPoint>& points, const std::string& id);
    // The points in file order; a line that cannot be read is skipped on its own.
    std::vector<TrackPoint> readPoints(const std::string& id) const;
    // meta.json; nothing when it cannot be read.
    std::optional<TrackMetadata> readMetadata(const std::string& id) const;
    // meta.json and the points; nothing without a readable meta.json.
    std::optional<Track> readTrack(const std::string& id) const;
    // Every readable track, latest start first.
    std::vector<TrackMetadata> listMetadata() const;
    // Closes the track's file and removes its folder.
    void deleteTrack(const std::string& id);
    void writeMetadata(const TrackMetadata& metadata);
    // Gives each track without an end the time of its last point (or its start when it has
    // none); returns their ids in list order. Run once at start-up.
    std::vector<std::string> repairUnfinished();
    // Bytes allocated on disk for everything under the root.
    std::uint64_t diskSize() const;

private:
    std::optional<std::filesystem::path> folder(const std::string& id) const;
    std::optional<TrackMetadata> readMetadataIn(const std::filesystem::path& folder) const;
    // Opens the points file for appending, ending a torn last line first.
    std::optional<int> openForAppend(const std::filesystem::path& file);
    // Syncs (when asked) and closes the track's open file and forgets its counter.
    void close(const std::string& id, bool synchronize);

    std::filesystem::path root_;
    Sync sync_;
    std::map<std::string, int> handles_;
    std::map<std::string, int> appendsSinceSync_;
};

} // namespace velorin
