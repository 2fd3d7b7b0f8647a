#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"

#include <filesystem>

using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::FlyoverMode;
using velorin::Track;
using velorin::TrackPhoto;
using Calls = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

class AppModelFlyover : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();

    AppModel& makeShownModel()
    {
        auto& shown = makeModel();
        shown.setCanvas(canvas);
        return shown;
    }

    // A finished track of points `northMeters` north of the Col de Balme, a minute apart.
    Track saveTrack(AppModel& model, const std::string& name, std::vector<double> northMeters,
        platform::SystemTime startedAt)
    {
        auto& store = model.tracks().store();
        Track track;
        track.metadata = store.create(name, startedAt);
        for (std::size_t i = 0; i < northMeters.size(); ++i)
            track.points.push_back(
                { 46.02 + northMeters[i] / 111195.0, 6.97, 2191, startedAt + std::chrono::minutes(i), 10, {} });
        store.writePoints(track.points, track.metadata.id);
        store.finish(track.metadata.id, startedAt + std::chrono::hours(1));
        track.metadata.endedAt = startedAt + std::chrono::hours(1);
        model.tracks().reloadSavedTracks();
        return track;
    }

    // Shows a saved track of `points` points, 100 m apart, on the map.
    void showTrack(AppModel& model, int points)
    {
        std::vector<double> north;
        for (int i = 0; i < points; ++i)
            north.push_back(100.0 * i);
        model.openTrack(saveTrack(model, "Lac Blanc", north, now));
        canvas->calls.clear();
    }

    static std::vector<TrackPhoto> photos(int count)
    {
        std::vector<TrackPhoto> list;
        for (int i = 0; i < count; ++i)
            list.push_back({ "photo-" + std::to_string(i), {}, velorin::WorldPoint::fromLatitudeLongitude(46.02, 6.97) });
        return list;
    }

    // The model flying over a shown track of three points.
    AppModel& flyingModel()
    {
        auto& model = makeShownModel();
        showTrack(model, 3);
        model.toggleFlyover();
        EXPECT_TRUE(model.isFlyingOver());
        canvas->calls.clear();
        return model;
    }
};

} // namespace

TEST_F(AppModelFlyover, ThePlayButtonStopsAFlyoverOrEndsAFlightBeforeStartingAnything)
{
    auto& model = flyingModel();
    model.toggleFlyover();
    EXPECT_EQ(canvas->calls, Calls { "stopAnimations" });
    EXPECT_TRUE(model.isFlyingOver()) << "the canvas reports the end";
    model.flyoverDidEnd();

    canvas->calls.clear();
    model.flightDidChange(AppModel::FlightInfo { "Vol vers Aiguille du Tour", 1200 });
    model.toggleFlyover();
    EXPECT_EQ(canvas->calls, Calls { "endFlight" }) << "a flight runs: it ends, no flyover starts";
    EXPECT_FALSE(model.isFlyingOver());
}

TEST_F(AppModelFlyover, ATrackOfTwoPointsOrMoreIsFlownInTheModelsModeOnlyOnceTheCanvasStartsIt)
{
    auto& model = makeShownModel();
    model.setFlyoverMode(FlyoverMode::drone);
    showTrack(model, 3);
    model.setIsFollowingUser(true);
    model.toggleFlyover();
    EXPECT_EQ(canvas->calls, (Calls { "setFlyoverMode drone", "applyFlyoverMode", "startFlyover 3" }));
    EXPECT_FALSE(model.isFollowingUser());
    EXPECT_TRUE(model.isFlyingOver());
    model.flyoverDidEnd();

    // A path the canvas will not fly (too short) leaves the state idle.
    canvas->flyoverStarts = false;
    model.toggleFlyover();
    EXPECT_EQ(canvas->flownPaths.size(), 2u);
    EXPECT_FALSE(model.isFlyingOver());
}

TEST_F(AppModelFlyover, WithoutTwoPointsOnTheMapThePlayButtonToursTheAimedPoint)
{
    for (int points : { 0, 1 }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = makeShownModel();
        if (points > 0)
            showTrack(model, points);
        model.setIsFollowingUser(true);
        model.toggleFlyover();
        EXPECT_EQ(canvas->calls, Calls { "startAimedPointTour" }) << points << " points";
        EXPECT_FALSE(model.isFlyingOver()) << points << " points";
        EXPECT_FALSE(model.isFollowingUser()) << points << " points";
    }
}

TEST_F(AppModelFlyover, WithoutACanvasNothingFliesButFollowingEnds)
{
    auto& model = makeModel();
    const Track track = saveTrack(model, "Lac Blanc", { 0, 100, 200 }, now);
    model.openTrack(track);
    for (const auto& start : std::vector<std::function<void()>> {
             [&] { model.toggleFlyover(); }, [&] { model.startFlyover(track); } }) {
        model.setIsFollowingUser(true);
        start();
        EXPECT_FALSE(model.isFlyingOver());
        EXPECT_FALSE(model.isFollowingUser());
    }
}

TEST_F(AppModelFlyover, ASavedTracksFlyoverShowsItAsOnDiskAndFliesThePointsGiven)
{
    auto& model = makeShownModel();
    const Track track = saveTrack(model, "Lac Blanc", { 0, 100, 200, 300 }, now);
    model.startFlyover(track);
    ASSERT_TRUE(model.tracks().displayedTrack());
    EXPECT_EQ(model.tracks().displayedTrack()->points.size(), 4u);
    EXPECT_EQ(canvas->calls, (Calls { "setFlyoverMode follow", "applyFlyoverMode", "setAnimationName Survol · Lac Blanc",
                                 "startFlyover 4" }));
    EXPECT_TRUE(model.isFlyingOver());
    model.flyoverDidEnd();

    // Its files gone, the map shows no track, and the points handed over still fly.
    fs::remove_all(model.tracks().store().root() / track.metadata.id);
    model.startFlyover(track);
    EXPECT_FALSE(model.tracks().displayedTrack());
    ASSERT_FALSE(canvas->tracks.empty());
    EXPECT_TRUE(canvas->tracks.back().points.empty()) << "the map's track is cleared";
    ASSERT_EQ(canvas->flownPaths.size(), 2u);
    EXPECT_EQ(canvas->flownPaths.back().size(), 4u);
    EXPECT_NEAR(canvas->flownPaths.back().front().x, velorin::WorldPoint::fromLatitudeLongitude(46.02, 6.97).x, 1e-12);
}

TEST_F(AppModelFlyover, EverySettingOfTheModeIsStoredExactlyAndAppliedToTheCanvas)
{
    auto& model = makeShownModel();
    struct Case {
        FlyoverMode mode;
        const char* stored;
    };
    // The unchanged value first: still stored and applied.
    for (const Case& c : { Case { FlyoverMode::follow, "follow" }, Case { FlyoverMode::drone, "drone" },
             Case { FlyoverMode::drone, "drone" }, Case { FlyoverMode::follow, "follow" } }) {
        canvas->calls.clear();
        model.setFlyoverMode(c.mode);
        EXPECT_EQ(model.flyoverMode(), c.mode);
        EXPECT_EQ(readPreferences()->string(AppModel::kFlyoverModeKey), std::optional<std::string>(c.stored));
        EXPECT_EQ(canvas->calls, (Calls { std::string("setFlyoverMode ") + c.stored, "applyFlyoverMode" }));
    }
    model.toggleFlyoverMode();
    EXPECT_EQ(model.flyoverMode(), FlyoverMode::drone);
    model.toggleFlyoverMode();
    EXPECT_EQ(model.flyoverMode(), FlyoverMode::follow);
}

TEST_F(AppModelFlyover, TheEndOfAFlyoverClearsItsPauseAndItsPhoto)
{
    auto& model = flyingModel();
    model.setTrackPhotos(photos(2));
    model.toggleFlyoverPause();
    EXPECT_EQ(canvas->calls, Calls { "setFlyoverPaused 1" });
    model.showFlyoverPhoto(1);
    model.flyoverDidEnd();
    EXPECT_FALSE(model.isFlyingOver());
    EXPECT_FALSE(model.isFlyoverPaused());
    EXPECT_FALSE(model.flyoverPhotoIndex());
}

TEST_F(AppModelFlyover, APhotoStaysShownUntilFourAndAHalfSecondsAfterTheLastOne)
{
    auto& model = flyingModel();
    model.setTrackPhotos(photos(2));
    model.showFlyoverPhoto(0);
    advance(3);
    model.showFlyoverPhoto(1);
    advance(4.375);
    EXPECT_EQ(model.flyoverPhotoIndex(), std::optional<int>(1)) << "the first photo's hide was cancelled";
    advance(0.25);
    EXPECT_FALSE(model.flyoverPhotoIndex());
}

TEST_F(AppModelFlyover, OpeningThePhotoShownPausesTheFlyoverAndNeverResumesIt)
{
    for (bool pausedBefore : { false, true }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = flyingModel();
        model.setTrackPhotos(photos(3));
        if (pausedBefore)
            model.toggleFlyoverPause();
        canvas->calls.clear();
        model.showFlyoverPhoto(2);
        model.openFlyoverPhoto();
        EXPECT_TRUE(model.isFlyoverPaused()) << pausedBefore;
        EXPECT_EQ(canvas->calls, pausedBefore ? Calls {} : Calls { "setFlyoverPaused 1" }) << pausedBefore;
        EXPECT_FALSE(model.flyoverPhotoIndex()) << pausedBefore;
        EXPECT_EQ(model.viewedPhotos(), photos(3)) << pausedBefore;
        EXPECT_EQ(model.viewedPhotoIndex(), std::optional<int>(2)) << pausedBefore;
    }
}

TEST_F(AppModelFlyover, AnIndexOutsideTheTrackPhotosShowsAndOpensNothing)
{
    auto& model = flyingModel();
    model.setTrackPhotos(photos(2));
    for (int index : { 2, -1 }) {
        model.showFlyoverPhoto(index);
        EXPECT_FALSE(model.flyoverPhotoIndex()) << index;
    }
    // The photos are replaced while the second one is shown.
    model.showFlyoverPhoto(1);
    model.setTrackPhotos(photos(1));
    model.openFlyoverPhoto();
    EXPECT_FALSE(model.viewedPhotoIndex());
    EXPECT_FALSE(model.isFlyoverPaused());
}

TEST_F(AppModelFlyover, SkippingAFlightLandsItWhereItsApproachEnds)
{
    velorin::Camera landed;
    landed.zoom = 15.5;
    struct Case {
        std::optional<double> flightDuration;
        std::optional<velorin::Camera> camera;
        Calls calls;
    };
    for (const Case& c : {
             Case { 12.5, landed, { "writeJournal vol sauté", "applyFlightFrame 12.5", "endFlight", "applyCamera 0" } },
             Case { 12.5, std::nullopt, { "writeJournal vol sauté", "applyFlightFrame 12.5", "endFlight" } },
             Case { std::nullopt, landed, {} },
         }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = makeShownModel();
        canvas->flightDuration = c.flightDuration;
        canvas->flightCamera = c.camera;
        model.skipFlight();
        EXPECT_EQ(canvas->calls, c.calls);
        if (c.calls.size() == 4) {
            ASSERT_EQ(canvas->appliedCameras.size(), 1u);
            EXPECT_EQ(canvas->appliedCameras.front().zoom, 15.5);
        }
    }
}

TEST_F(AppModelFlyover, TheStopButtonStopsAFlyoverOrEndsAFlight)
{
    auto& model = flyingModel();
    model.stopFlyover();
    EXPECT_EQ(canvas->calls, Calls { "stopAnimations" });
    model.flyoverDidEnd();
    canvas->calls.clear();
    model.stopFlyover();
    EXPECT_EQ(canvas->calls, Calls { "endFlight" });
}

namespace {

class AppModelFilmTrack : public AppModelFlyover {
protected:
    // Saves "Lundi" and "Mardi matin", "Lundi" first in the list (the later start), then
    // starts a model launched with `launch` after the program's name.
    AppModel& startWith(std::vector<std::string> launch)
    {
        auto& first = makeModel();
        saveTrack(first, "Mardi matin", { 0, 100, 200 }, now - std::chrono::hours(30));
        saveTrack(first, "Lundi", { 0, 100 }, now - std::chrono::hours(2));
        arguments = { "velorin" };
        arguments.insert(arguments.end(), launch.begin(), launch.end());
        auto& model = makeShownModel();
        EXPECT_EQ(model.tracks().savedTracks().front().name, "Lundi");
        model.start();
        return model;
    }
};

} // namespace

TEST_F(AppModelFilmTrack, TheFirstTrackNamedSoIsShownThenFlownThreeSecondsAfterStart)
{
    auto& model = startWith({ "-filmTrack", "Mar", "-flyoverMode", "drone" });
    ASSERT_TRUE(model.tracks().displayedTrack());
    EXPECT_EQ(model.tracks().displayedTrack()->metadata.name, "Mardi matin");
    EXPECT_EQ(model.flyoverMode(), FlyoverMode::drone);
    canvas->calls.clear();
    advance(2.875);
    EXPECT_TRUE(canvas->calls.empty());
    advance(0.125);
    EXPECT_EQ(canvas->calls, (Calls { "setAnimationName Survol · Mardi matin", "setFlyoverMode drone",
                                 "applyFlyoverMode", "startFlyover 3" }));
    EXPECT_TRUE(model.isFlyingOver());
}

TEST_F(AppModelFilmTrack, NoTrackOrNoMatchStartsNothingAndLeavesTheMode)
{
    for (const auto& launch : { std::vector<std::string> { "-filmTrack" },
             std::vector<std::string> { "-filmTrack", "Dimanche", "-flyoverMode", "drone" } }) {
        canvas = std::make_shared<FakeMapCanvas>();
        auto& model = startWith(launch);
        advance(4);
        EXPECT_FALSE(model.tracks().displayedTrack()) << launch.size();
        EXPECT_EQ(model.flyoverMode(), FlyoverMode::follow) << launch.size();
        EXPECT_TRUE(canvas->flownPaths.empty()) << launch.size();
        EXPECT_FALSE(readPreferences()->string(AppModel::kFlyoverModeKey)) << launch.size();
    }
}

TEST_F(AppModelFilmTrack, TheFlyoverIsSoughtToAFiniteFractionClampedIntoThePath)
{
    struct Case {
        const char* from;
        std::optional<std::string> seek;
    };
    for (const Case& c : { Case { "0.5", "seekFlyover 0.5" }, Case { "2", "seekFlyover 1" },
             Case { "-1", "seekFlyover 0" }, Case { "abc", std::nullopt }, Case { "nan", std::nullopt },
             Case { "inf", std::nullopt } }) {
        canvas = std::make_shared<FakeMapCanvas>();
        startWith({ "-filmTrack", "Lundi", "-filmFrom", c.from });
        advance(3);
        ASSERT_FALSE(canvas->calls.empty()) << c.from;
        EXPECT_EQ(canvas->calls.back(), c.seek.value_or("startFlyover 2")) << c.from;
    }
}
