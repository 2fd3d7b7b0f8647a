#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"

#include <filesystem>

using platform::LocationAuthorization;
using platform::LocationFix;
using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::Track;
using velorin::WorldPoint;
namespace fs = std::filesystem;

namespace {

class AppModelTracks : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();

    AppModel& makeShownModel(LocationAuthorization authorization = LocationAuthorization::authorizedWhenInUse)
    {
        devicePermission = authorization;
        auto& shown = makeModel();
        mainQueue->drain();
        shown.setCanvas(canvas);
        return shown;
    }

    // A walker's fix `north` metres from the Col de Balme, `seconds` after `now`.
    LocationFix fixAt(double north, double seconds) const
    {
        LocationFix fix = walkerFix(46.02 + north / 111195.0, 6.97, 2191);
        fix.timestamp = std::chrono::duration<double>(now.time_since_epoch()).count() + seconds;
        return fix;
    }

    // A finished track saved as the library would list it.
    Track saveTrack(AppModel& model, std::vector<double> northMeters)
    {
        auto& store = model.tracks().store();
        Track track;
        track.metadata = store.create("Lac Blanc", now);
        for (std::size_t i = 0; i < northMeters.size(); ++i) {
            const LocationFix fix = fixAt(northMeters[i], 60.0 * i);
            track.points.push_back({fix.latitude, fix.longitude, fix.altitude, now + std::chrono::minutes(i), 10, {}});
        }
        store.writePoints(track.points, track.metadata.id);
        store.finish(track.metadata.id, now + std::chrono::hours(1));
        track.metadata.endedAt = now + std::chrono::hours(1);
        return track;
    }
};

} // namespace

TEST_F(AppModelTracks, TheRecordButtonStartsARecordingThatFollowsTheWalkerAndStopsIt)
{
    auto& model = makeShownModel(LocationAuthorization::notDetermined);
    model.toggleRecording();
    EXPECT_GT(position->authorizationRequests, 0) << "permission is asked for";
    ASSERT_TRUE(model.tracks().isRecording());
    EXPECT_TRUE(model.motion().isRunning());
    EXPECT_TRUE(model.isFollowingUser());
    EXPECT_EQ(model.location().activeDistanceFilter(), velorin::LocationService::kRecordingDistanceFilterMeters);
    EXPECT_EQ(position->distanceFilter, 10);

    position->changeAuthorization(LocationAuthorization::authorizedWhenInUse);
    EXPECT_GE(position->locationStarts, 1) << "the position is located once allowed";
    for (int i = 0; i < 3; ++i) {
        position->deliver({fixAt(40.0 * i, 20.0 * i)});
        mainQueue->drain();
    }
    const std::string id = model.tracks().current()->metadata.id;
    EXPECT_EQ(model.tracks().store().readPoints(id).size(), 3u);
    ASSERT_FALSE(canvas->tracks.empty());
    EXPECT_EQ(canvas->tracks.back().points.size(), 3u) << "each kept point reaches the map";
    EXPECT_EQ(canvas->cameraMoves.size(), 3u) << "the map follows the walker";

    now += std::chrono::minutes(10);
    model.toggleRecording();
    EXPECT_FALSE(model.tracks().isRecording());
    EXPECT_FALSE(model.motion().isRunning());
    EXPECT_EQ(position->distanceFilter, 5);
    EXPECT_EQ(model.tracks().store().readMetadata(id)->endedAt, now);
    EXPECT_EQ(model.tracks().savedTracks().size(), 1u);
    EXPECT_TRUE(canvas->tracks.back().points.empty());
}

TEST_F(AppModelTracks, QuittingWhileRecordingEndsTheTrackNow)
{
    auto& model = makeShownModel();
    model.toggleRecording();
    position->deliver({fixAt(0, 0)});
    const std::string id = model.tracks().current()->metadata.id;
    now += std::chrono::minutes(3);
    model.applicationWillTerminate();
    EXPECT_FALSE(model.tracks().isRecording());
    EXPECT_FALSE(model.motion().isRunning());
    EXPECT_EQ(model.tracks().store().readMetadata(id)->endedAt, now) << "not left to the next start's repair";
    model.applicationWillTerminate();
}

TEST_F(AppModelTracks, AnOpenedTrackIsShownAsOnDiskAndFramedAndFollowingStops)
{
    auto& model = makeShownModel();
    const Track track = saveTrack(model, {0, 500, 1000});
    model.locateUser();
    ASSERT_TRUE(model.isFollowingUser());
    // The library's copy is older than the disk's.
    Track listed = track;
    listed.points.pop_back();
    model.openTrack(listed);

    EXPECT_FALSE(model.isFollowingUser());
    ASSERT_TRUE(model.tracks().displayedTrack());
    EXPECT_EQ(*model.tracks().displayedTrack(), track);
    ASSERT_FALSE(canvas->tracks.empty());
    EXPECT_EQ(canvas->tracks.back().points, track.displayPoints());
    ASSERT_EQ(canvas->pointFits.size(), 1u);
    EXPECT_EQ(canvas->pointFits[0].size(), 2u) << "the points handed over are framed";
    EXPECT_EQ(canvas->pointFits[0][0], WorldPoint::fromLatitudeLongitude(track.points[0].latitude, track.points[0].longitude));
}

TEST_F(AppModelTracks, ATrackWhoseFilesAreGoneClearsTheMapYetIsFramed)
{
    auto& model = makeShownModel();
    const Track shown = saveTrack(model, {0, 500});
    model.openTrack(shown);
    const Track gone = saveTrack(model, {0, 2000});
    fs::remove(model.tracks().store().root() / gone.metadata.id / velorin::TrackStore::kMetadataFile);
    model.openTrack(gone);
    EXPECT_FALSE(model.tracks().displayedTrack());
    EXPECT_TRUE(canvas->tracks.back().points.empty());
    ASSERT_EQ(canvas->pointFits.size(), 2u);
    EXPECT_EQ(canvas->pointFits[1].size(), 2u);

    const Track empty = saveTrack(model, {});
    model.openTrack(empty);
    ASSERT_TRUE(model.tracks().displayedTrack());
    EXPECT_TRUE(model.tracks().displayedTrack()->points.empty());
    EXPECT_TRUE(canvas->pointFits.back().empty()) << "nothing to frame";

    // Without a map the track is still shown once one opens.
    model.setCanvas({});
    model.openTrack(shown);
    EXPECT_EQ(model.tracks().displayedTrack(), shown);
}

TEST_F(AppModelTracks, TheRecordingKeepsTheMapWhileATrackIsOpened)
{
    auto& model = makeShownModel();
    const Track track = saveTrack(model, {0, 500, 1000});
    model.toggleRecording();
    position->deliver({fixAt(0, 0)});
    model.openTrack(track);
    EXPECT_EQ(model.tracks().displayedTrack(), track);
    EXPECT_EQ(canvas->tracks.back().points.size(), 1u) << "the recording is drawn";
    EXPECT_EQ(canvas->pointFits.size(), 1u) << "yet the opened track is framed";
    model.toggleRecording();
    EXPECT_EQ(canvas->tracks.back().points, track.displayPoints()) << "the opened track once the recording ends";
}

TEST_F(AppModelTracks, AFixBeforeTheMapIsShownStillReachesTheRecorder)
{
    devicePermission = LocationAuthorization::authorizedWhenInUse;
    auto& model = makeModel();
    mainQueue->drain();
    model.toggleRecording();
    position->deliver({fixAt(0, 0)});
    EXPECT_EQ(model.tracks().current()->points.size(), 1u);
    EXPECT_TRUE(canvas->tracks.empty());
}
