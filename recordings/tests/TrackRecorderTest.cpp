#include "TrackFixtures.h"
#include "recordings/TrackRecorder.h"
#include "testing/FileSizeLimit.h"
#include "testing/LocalTimeZone.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <limits>
#include <sstream>

using namespace velorin;
using namespace track_fixtures;
using testing_support::FileSizeLimit;
using testing_support::LocalTimeZone;
using testing_support::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class FakeRecordingLocation final : public RecordingLocation {
public:
    std::vector<bool> settings;
    int starts = 0;

    void applyRecordingSettings(bool recording) override { settings.push_back(recording); }
    void startLocating() override { ++starts; }
};

// A fix of the device `north` metres from the fixtures' origin, `seconds` after their start.
platform::LocationFix fixAt(double north, double seconds, double accuracy = 10, double verticalAccuracy = 5)
{
    const TrackPoint placed = point(north, 0, seconds);
    platform::LocationFix fix;
    fix.latitude = placed.latitude;
    fix.longitude = placed.longitude;
    fix.altitude = 1200 + north / 10;
    fix.horizontalAccuracy = accuracy;
    fix.verticalAccuracy = verticalAccuracy;
    fix.timestamp = std::chrono::duration<double>(at(seconds).time_since_epoch()).count();
    return fix;
}

std::string contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class TrackRecorderTest : public ::testing::Test {
protected:
    using Published = std::pair<std::vector<TrackDisplayPoint>, std::vector<TrackPause>>;

    LocalTimeZone france {LocalTimeZone::kFrance};
    TemporaryFolder folder;
    FakeRecordingLocation location;
    platform::SystemTime now = at(0);
    std::unique_ptr<TrackRecorder> recorder;
    std::vector<Published> published;
    int changes = 0;
    int shownChanges = 0;

    void SetUp() override { remake(); }

    // A new recorder over the same folder, as at the next start of the application.
    TrackRecorder& remake(TrackRecorder::Unfinished unfinished = TrackRecorder::Unfinished::repair)
    {
        recorder.reset();
        recorder = std::make_unique<TrackRecorder>(std::make_unique<TrackStore>(folder / "VelorinTracks", [](int) {}),
            location, [this] { return now; }, unfinished);
        recorder->onPointsChanged = [this](const auto& points, const auto& pauses) { published.emplace_back(points, pauses); };
        recorder->onChange = [this] { ++changes; };
        recorder->onShownTrackChange = [this] { ++shownChanges; };
        return *recorder;
    }

    fs::path file(const std::string& id, const char* name) const { return recorder->store().root() / id / name; }

    // A finished track of these points, saved the way an import would, then listed.
    std::string save(const std::vector<TrackPoint>& points, double endSeconds, const std::string& name = "Sortie")
    {
        TrackStore& store = recorder->store();
        const std::string id = store.create(name, at(0)).id;
        store.writePoints(points, id);
        store.finish(id, at(endSeconds));
        recorder->reloadSavedTracks();
        return id;
    }

    const std::string& recordingId() const { return recorder->current()->metadata.id; }
};

} // namespace

TEST_F(TrackRecorderTest, KeepsFixesKnownToFiftyMetresThatMovedFifteenMetresOrWaitedFiveMinutes)
{
    struct Case {
        const char* what;
        platform::LocationFix fix;
        bool kept;
    };
    for (const Case& c : {
             Case {"accuracy 50 m", fixAt(100, 60, 50), true},
             Case {"accuracy 50.01 m", fixAt(100, 60, 50.01), false},
             Case {"negative accuracy", fixAt(100, 60, -1), false},
             Case {"unknown accuracy", fixAt(100, 60, kNaN), false},
             Case {"299 s and 14.9 m", fixAt(14.9, 299), false},
             Case {"300 s", fixAt(14.9, 300), true},
             Case {"15.0 m", fixAt(15.0, 10), true},
         }) {
        recorder->start();
        recorder->record(fixAt(0, 0), TravelMode::walking);
        recorder->record(c.fix, TravelMode::walking);
        const std::size_t expected = c.kept ? 2 : 1;
        EXPECT_EQ(recorder->current()->points.size(), expected) << c.what;
        EXPECT_EQ(recorder->store().readPoints(recordingId()).size(), expected) << c.what << ": on disk at once";
        recorder->stop();
    }
}

TEST_F(TrackRecorderTest, AKeptPointCarriesTheModeAndAnAltitudeOnlyWithAVerticalAccuracy)
{
    recorder->start();
    platform::LocationFix flat = fixAt(0, 0, 10, 5);
    flat.altitude = kNaN;
    for (const auto& fix : {fixAt(0, 0, 10, -1), flat, fixAt(50, 10, 10, 0)})
        recorder->record(fix, std::nullopt);
    recorder->record(fixAt(100, 20), TravelMode::cycling);
    const auto& points = recorder->current()->points;
    ASSERT_EQ(points.size(), 3u) << "the second fix is where the first was";
    EXPECT_EQ(points[0].altitude, std::nullopt) << "negative vertical accuracy";
    EXPECT_EQ(points[1].altitude, 1205) << "vertical accuracy 0";
    EXPECT_EQ(points[1].mode, std::nullopt);
    EXPECT_EQ(points[2].mode, TravelMode::cycling);
    EXPECT_EQ(points[2].horizontalAccuracy, 10);
    EXPECT_EQ(recorder->statistics(), TrackStatistics(*recorder->current()));
    EXPECT_EQ(published.back().first, recorder->current()->displayPoints()) << "each kept point is drawn";
}

TEST_F(TrackRecorderTest, FixesOffTheGlobeOutOfTimeOrOlderThanTheLastPointAreDropped)
{
    recorder->start();
    recorder->record(fixAt(0, 100), std::nullopt);
    struct Case {
        const char* what;
        double latitude;
        double longitude;
        double timestamp;
    };
    const platform::LocationFix good = fixAt(1000, 200);
    for (const Case& c : {Case {"latitude NaN", kNaN, good.longitude, good.timestamp},
             Case {"latitude 90.5", 90.5, good.longitude, good.timestamp},
             Case {"longitude -180.5", good.latitude, -180.5, good.timestamp},
             Case {"time NaN", good.latitude, good.longitude, kNaN},
             Case {"time before 1970", good.latitude, good.longitude, -5},
             Case {"time in the year 33658", good.latitude, good.longitude, 1e12},
             Case {"a second before the last point", good.latitude, good.longitude, fixAt(0, 99).timestamp}}) {
        platform::LocationFix fix = good;
        fix.latitude = c.latitude;
        fix.longitude = c.longitude;
        fix.timestamp = c.timestamp;
        recorder->record(fix, std::nullopt);
        EXPECT_EQ(recorder->current()->points.size(), 1u) << c.what;
    }
    recorder->record(good, std::nullopt);
    EXPECT_EQ(recorder->current()->points.size(), 2u);
}

TEST_F(TrackRecorderTest, IdleFixesASecondStartAndAnIdleStopChangeNothing)
{
    const std::size_t before = published.size();
    recorder->record(fixAt(0, 0), TravelMode::walking);
    recorder->stop();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(published.size(), before);
    EXPECT_TRUE(fs::is_empty(recorder->store().root()));

    recorder->start();
    recorder->record(fixAt(0, 0), TravelMode::walking);
    const Track first = *recorder->current();
    const std::string points = contents(file(first.metadata.id, TrackStore::kPointsFile));
    recorder->start("Autre");
    EXPECT_EQ(*recorder->current(), first);
    EXPECT_EQ(contents(file(first.metadata.id, TrackStore::kPointsFile)), points);
    EXPECT_EQ(std::distance(fs::directory_iterator(recorder->store().root()), fs::directory_iterator()), 1);
    EXPECT_EQ(location.starts, 1);
}

TEST_F(TrackRecorderTest, AStartLocatesInRecordingSettingsAndAStopWritesTheEnd)
{
    recorder->start();
    EXPECT_EQ(location.settings, std::vector<bool> {true});
    EXPECT_EQ(location.starts, 1);
    ASSERT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->current()->metadata.name, "Trajet du 1 mai à 12:00") << "10:00 UTC is noon in France in May";
    EXPECT_EQ(recorder->statistics(), TrackStatistics());
    EXPECT_EQ(shownChanges, 1);
    ASSERT_FALSE(published.empty());
    EXPECT_TRUE(published.back().first.empty() && published.back().second.empty());

    for (int i = 0; i < 5; ++i)
        recorder->record(fixAt(40.0 * i, 30.0 * i), TravelMode::walking);
    const std::string id = recordingId();
    const TrackStatistics figures = recorder->statistics();
    now = at(600);
    recorder->stop();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(location.settings, (std::vector<bool> {true, false}));
    EXPECT_EQ(location.starts, 1) << "the position keeps being located";
    EXPECT_EQ(recorder->statistics(), figures);
    EXPECT_EQ(shownChanges, 2);
    const auto saved = recorder->store().readTrack(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->metadata.endedAt, at(600));
    EXPECT_EQ(saved->points.size(), 5u);
    ASSERT_EQ(recorder->savedTracks().size(), 1u);
    EXPECT_EQ(recorder->savedTracks()[0].id, id);
    EXPECT_EQ(recorder->savedStatistics().at(id).distance, figures.distance);
    EXPECT_EQ(recorder->savedStatistics().at(id).duration, 600);
    EXPECT_TRUE(published.back().first.empty()) << "nothing left on the map";
}

TEST_F(TrackRecorderTest, ARecordingLeftOpenIsClosedAtTheNextStartUnlessItIsToBeLeft)
{
    recorder->start();
    recorder->record(fixAt(0, 10), std::nullopt);
    recorder->record(fixAt(100, 70), std::nullopt);
    const std::string id = recordingId();
    const std::string points = contents(file(id, TrackStore::kPointsFile));

    // A run beside the window that records it: the track stays open and untouched.
    remake(TrackRecorder::Unfinished::leave);
    ASSERT_EQ(recorder->savedTracks().size(), 1u);
    EXPECT_EQ(recorder->savedTracks()[0].endedAt, std::nullopt);
    EXPECT_EQ(contents(file(id, TrackStore::kPointsFile)), points);

    remake();
    EXPECT_FALSE(recorder->isRecording());
    ASSERT_EQ(recorder->savedTracks().size(), 1u);
    EXPECT_EQ(recorder->savedTracks()[0].endedAt, at(70));
    EXPECT_EQ(recorder->savedStatistics().count(id), 1u);
}

TEST_F(TrackRecorderTest, ARecordingThatKeptNoPointLeavesNoTrack)
{
    recorder->start();
    recorder->record(fixAt(0, 10, 80), TravelMode::walking);
    recorder->stop();
    EXPECT_TRUE(fs::is_empty(recorder->store().root()));
    EXPECT_TRUE(recorder->savedTracks().empty());
    EXPECT_EQ(recorder->writeFailure(), std::nullopt);
}

TEST_F(TrackRecorderTest, FailedWritesAreToldRetriedAtEachPointAndTheStopWritesEveryPoint)
{
    recorder->start();
    for (int i = 0; i < 3; ++i)
        recorder->record(fixAt(40.0 * i, 30.0 * i), TravelMode::walking);
    const std::string id = recordingId();
    const fs::path trackFolder = recorder->store().root() / id;
    EXPECT_EQ(recorder->store().readPoints(id).size(), 3u);
    {
        // The disk fills up: the point stays in memory, the walker is told, and the next
        // point tries the whole track again.
        FileSizeLimit full(fs::file_size(trackFolder / TrackStore::kPointsFile));
        recorder->record(fixAt(120, 90), TravelMode::walking);
        EXPECT_EQ(recorder->writeFailure(), "Enregistrement impossible : le fichier dépasse la taille permise");
        recorder->record(fixAt(160, 120), TravelMode::walking);
        EXPECT_TRUE(recorder->writeFailure());
    }
    EXPECT_EQ(recorder->current()->points.size(), 5u);
    EXPECT_EQ(recorder->store().readPoints(id).size(), 3u);

    // Then the folder goes, and a file takes its place: it cannot be made again.
    fs::remove_all(trackFolder);
    std::ofstream(trackFolder) << "occupé";
    recorder->record(fixAt(200, 150), TravelMode::walking);
    EXPECT_EQ(recorder->writeFailure(), "Enregistrement impossible : un fichier occupe la place du dossier du trajet");
    EXPECT_EQ(recorder->current()->points.size(), 6u) << "the map keeps the walk";

    // Once the way is free the next point brings the folder back with the whole track.
    fs::remove(trackFolder);
    const int before = changes;
    recorder->record(fixAt(240, 180), TravelMode::walking);
    EXPECT_EQ(recorder->writeFailure(), std::nullopt);
    EXPECT_GT(changes, before);
    EXPECT_EQ(recorder->store().readPoints(id), recorder->current()->points);
    recorder->record(fixAt(280, 210), TravelMode::walking);

    const std::vector<TrackPoint> recorded = recorder->current()->points;
    now = at(600);
    recorder->stop();
    const auto saved = recorder->store().readTrack(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->points, recorded);
    EXPECT_EQ(saved->points.size(), 8u);
    EXPECT_EQ(saved->metadata.endedAt, at(600));
    EXPECT_EQ(recorder->writeFailure(), std::nullopt);
    EXPECT_EQ(std::distance(fs::directory_iterator(trackFolder), fs::directory_iterator()), 2) << "no temporary file left";
}

TEST_F(TrackRecorderTest, AFolderRemovedWhileRecordingIsMadeAgainAtTheNextPoint)
{
    recorder->start();
    recorder->record(fixAt(0, 0), TravelMode::walking);
    recorder->record(fixAt(40, 30), TravelMode::walking);
    const std::string id = recordingId();
    fs::remove_all(recorder->store().root() / id);

    recorder->record(fixAt(80, 60), TravelMode::walking);
    EXPECT_EQ(recorder->writeFailure(), std::nullopt);
    EXPECT_EQ(recorder->store().readPoints(id).size(), 3u) << "not written through the removed file";
    recorder->record(fixAt(120, 90), TravelMode::walking);
    EXPECT_EQ(recorder->store().readPoints(id).size(), 4u) << "appending again";

    // Removed after the last point: the stop puts it back.
    fs::remove_all(recorder->store().root() / id);
    recorder->stop();
    const auto saved = recorder->store().readTrack(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->points.size(), 4u);
    EXPECT_TRUE(saved->metadata.endedAt);
    EXPECT_EQ(recorder->savedTracks().size(), 1u);
}

TEST_F(TrackRecorderTest, AStopWhoseWriteFailsSaysSo)
{
    recorder->start();
    recorder->record(fixAt(0, 0), TravelMode::walking);
    const fs::path trackFolder = recorder->store().root() / recordingId();
    fs::remove_all(trackFolder);
    std::ofstream(trackFolder) << "occupé";
    recorder->stop();
    EXPECT_EQ(recorder->writeFailure(), "Enregistrement impossible : un fichier occupe la place du dossier du trajet");
    recorder->start();
    EXPECT_EQ(recorder->writeFailure(), std::nullopt) << "a new recording starts afresh";
}

TEST_F(TrackRecorderTest, TheMapShowsTheRecordingBeforeTheDisplayedTrack)
{
    recorder->publishMapTrack();
    EXPECT_TRUE(published.back().first.empty() && published.back().second.empty());

    // Ten minutes within 30 m: one pause.
    const std::string id = save({point(0, 0, 0), point(10, 0, 300), point(5, 0, 600), point(500, 0, 900)}, 900);
    recorder->setDisplayedTrack(recorder->store().readTrack(id));
    recorder->publishMapTrack();
    EXPECT_EQ(published.back().first, recorder->displayedTrack()->displayPoints());
    ASSERT_EQ(published.back().second.size(), 1u);
    EXPECT_EQ(published.back().second[0].end, at(600));

    recorder->start();
    recorder->record(fixAt(0, 1000), std::nullopt);
    EXPECT_EQ(published.back().first.size(), 1u) << "the recording has priority";
    recorder->stop();
    EXPECT_EQ(published.back().first.size(), 4u) << "and the displayed track comes back";
}

TEST_F(TrackRecorderTest, SavedTracksHaveTheirFiguresAndASpeedWhereTheyMoved)
{
    const std::string moved = save({point(0, 0, 0), point(600, 0, 600)}, 600);
    // A single stay: all of its time is a pause.
    const std::string waited = save({point(0, 0, 0), point(5, 0, 400)}, 400);
    EXPECT_EQ(recorder->savedStatistics().size(), 2u);
    EXPECT_NEAR(recorder->savedSpeeds().at(moved), 1.0, 1e-6);
    EXPECT_EQ(recorder->savedSpeeds().count(waited), 0u) << "no moving time, no speed";

    // A folder whose meta.json went missing is listed no more.
    fs::remove(file(waited, TrackStore::kMetadataFile));
    recorder->reloadSavedTracks();
    EXPECT_EQ(recorder->savedTracks().size(), 1u);
    EXPECT_EQ(recorder->savedStatistics().count(waited), 0u);
}

TEST_F(TrackRecorderTest, AReloadRereadsOnlyTheTracksWhoseFilesChanged)
{
    const std::string kept = save({point(0, 0, 0), point(600, 0, 600)}, 600);
    const std::string grown = save({point(0, 0, 0), point(600, 0, 600)}, 600);
    const double distance = recorder->savedStatistics().at(kept).distance;

    // The same number of bytes in place, its time put back: the reload takes the file for
    // unchanged.
    const fs::path quiet = file(kept, TrackStore::kPointsFile);
    struct stat before {};
    ASSERT_EQ(::stat(quiet.c_str(), &before), 0);
    std::string text = contents(quiet);
    text.replace(text.find("\"latitude\":45"), 13, "\"latitude\":46");
    std::fstream(quiet, std::ios::in | std::ios::out | std::ios::binary) << text;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, quiet.c_str(), times, 0), 0);
    recorder->store().append(point(1200, 0, 1200), grown);

    recorder->reloadSavedTracks();
    EXPECT_EQ(recorder->savedStatistics().at(kept).distance, distance);
    EXPECT_NEAR(recorder->savedStatistics().at(grown).distance, 1200, 1e-6);
}

TEST_F(TrackRecorderTest, DeletingTheTrackBeingRecordedStopsItFirst)
{
    recorder->start();
    recorder->record(fixAt(0, 0), std::nullopt);
    const std::string id = recordingId();
    recorder->setDisplayedTrack(recorder->current());
    recorder->deleteTrack(id);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(location.settings, (std::vector<bool> {true, false}));
    EXPECT_FALSE(fs::exists(recorder->store().root() / id));
    EXPECT_EQ(recorder->displayedTrack(), std::nullopt);
    EXPECT_TRUE(recorder->savedTracks().empty());
    EXPECT_TRUE(published.back().first.empty());

    recorder->record(fixAt(100, 60), std::nullopt);
    EXPECT_FALSE(fs::exists(recorder->store().root() / id)) << "a later fix leaves nothing behind";
}

TEST_F(TrackRecorderTest, ARenameReachesTheStoreTheDisplayedTrackAndTheRecording)
{
    const std::string id = save({point(0, 0, 0), point(600, 0, 600)}, 600);
    recorder->setDisplayedTrack(recorder->store().readTrack(id));
    const std::size_t drawn = published.size();
    recorder->rename(id, "Tour du Mont Blanc");
    EXPECT_EQ(recorder->store().readMetadata(id)->name, "Tour du Mont Blanc");
    EXPECT_EQ(recorder->savedTracks()[0].name, "Tour du Mont Blanc");
    EXPECT_EQ(recorder->displayedTrack()->metadata.name, "Tour du Mont Blanc");
    EXPECT_EQ(published.size(), drawn) << "the map track is not handed on again";

    recorder->start();
    recorder->record(fixAt(0, 0), TravelMode::walking);
    recorder->rename(recordingId(), "En cours");
    EXPECT_EQ(recorder->current()->metadata.name, "En cours");
    const std::string recording = recordingId();
    recorder->stop();
    EXPECT_EQ(recorder->store().readMetadata(recording)->name, "En cours") << "the stop keeps the new name";

    fs::remove(file(id, TrackStore::kMetadataFile));
    recorder->rename(id, "Perdu");
    EXPECT_EQ(recorder->displayedTrack(), std::nullopt) << "it could not be read again";
    EXPECT_FALSE(fs::exists(file(id, TrackStore::kMetadataFile)));
}

TEST_F(TrackRecorderTest, AnEditRewritesThePointsOnlyWhenItRemovesSome)
{
    const std::string walk = save({point(0, 0, 0, 1000, TravelMode::walking), point(100, 0, 60, 1000, TravelMode::walking),
                                      point(200, 0, 120, 1000, TravelMode::walking)},
        120);
    const fs::path points = file(walk, TrackStore::kPointsFile);
    struct stat before {};
    ASSERT_EQ(::stat(points.c_str(), &before), 0);
    const int reloads = changes;
    for (TrackEdit edit : {TrackEdit::trimEnds, TrackEdit::keepOnFoot})
        EXPECT_EQ(recorder->apply(edit, walk), 0);
    struct stat after {};
    ASSERT_EQ(::stat(points.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "points.jsonl is not rewritten";
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(changes, reloads) << "and nothing is reloaded";

    const std::string drive = save({point(0, 0, 0, 1000, TravelMode::walking), point(100, 0, 60, 1000, TravelMode::automotive),
                                       point(2000, 0, 120, 1000, TravelMode::walking), point(2100, 0, 180, 1000, TravelMode::walking)},
        180);
    recorder->setDisplayedTrack(recorder->store().readTrack(drive));
    EXPECT_EQ(recorder->apply(TrackEdit::keepOnFoot, drive), 2);
    EXPECT_EQ(recorder->store().readPoints(drive).size(), 2u);
    EXPECT_EQ(recorder->displayedTrack()->points.size(), 2u);
    EXPECT_EQ(published.back().first.size(), 2u) << "the edited track is drawn";
    EXPECT_EQ(recorder->store().readMetadata(drive)->endedAt, at(180)) << "meta.json is untouched";

    fs::remove(file(walk, TrackStore::kMetadataFile));
    EXPECT_EQ(recorder->apply(TrackEdit::keepOnFoot, walk), 0) << "an unreadable track";
}

TEST_F(TrackRecorderTest, TheTrackBeingRecordedIsNotEdited)
{
    recorder->start();
    for (int i = 0; i < 4; ++i)
        recorder->record(fixAt(100.0 * i, 60.0 * i), i == 1 ? std::optional(TravelMode::automotive) : std::nullopt);
    const std::string id = recordingId();
    const std::string before = contents(file(id, TrackStore::kPointsFile));
    EXPECT_EQ(recorder->apply(TrackEdit::keepOnFoot, id), 0);
    EXPECT_EQ(contents(file(id, TrackStore::kPointsFile)), before);
    recorder->record(fixAt(500, 300), std::nullopt);
    EXPECT_EQ(recorder->store().readPoints(id).size(), 5u) << "the recording goes on appending";
}
