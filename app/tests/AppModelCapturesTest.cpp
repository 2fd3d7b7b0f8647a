#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "testing/LocalTimeZone.h"

#include <filesystem>

using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::Basemap;
using velorin::CameraPose;
using velorin::SavedVideo;
using velorin::SavedView;
namespace fs = std::filesystem;

namespace {

class AppModelCaptures : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();
    testing_support::LocalTimeZone zone { testing_support::LocalTimeZone::kFrance };

    AppModelCaptures()
    {
        // 2024-05-01 08:05 UTC, 10:05 in France.
        now = platform::SystemTime(std::chrono::seconds(1714550700));
    }

    AppModel& makeShownModel()
    {
        auto& shown = makeModel();
        mainQueue->drain();
        shown.setCanvas(canvas);
        return shown;
    }

    // A flight the canvas recorded, kept by the model.
    SavedVideo recordedVideo(AppModel& model, Basemap basemap = Basemap::orthophoto)
    {
        std::vector<CameraPose> poses(60, CameraPose { 0.5, 0.35, 14, 0, 1, 1.5, 1280, 720 });
        model.animationRecorded("Survol · Lac Blanc", basemap, poses, std::nullopt);
        return model.captures().videos().front();
    }
};

} // namespace

TEST_F(AppModelCaptures, SavingTheViewKeepsTheMapAndItsCameraAndTheNoticeLastsFromTheLastSave)
{
    auto& model = makeShownModel();
    model.saveCurrentView();
    ASSERT_EQ(model.captures().views().size(), 1u);
    const SavedView& view = model.captures().views().front();
    EXPECT_EQ(view.name, "Vue du 1 mai 2024 à 10:05");
    EXPECT_EQ(view.pose, *canvas->pose);
    EXPECT_EQ(view.basemap, "planIGN");
    EXPECT_TRUE(fs::exists(model.captures().photoFile(view)));
    EXPECT_EQ(model.captureNotice(), "Vue enregistrée");

    advance(1.0);
    model.flightDidChange(AppModel::FlightInfo("Mont Blanc", 12000));
    model.saveCurrentView();
    EXPECT_EQ(model.captures().views().front().name, "Mont Blanc");
    advance(1.75);
    EXPECT_EQ(model.captureNotice(), "Vue enregistrée");
    advance(0.125);
    EXPECT_EQ(model.captureNotice(), std::nullopt);
}

TEST_F(AppModelCaptures, AViewThatCannotBeSavedSaysSoAndHandsTheStoreNothingWithoutAPicture)
{
    struct Case { const char* what; bool canvas, snapshot, camera, writable; };
    for (auto c : { Case { "no canvas", false, true, true, true }, Case { "no snapshot", true, false, true, true },
             Case { "no camera", true, true, false, true }, Case { "no store", true, true, true, false } }) {
        SCOPED_TRACE(c.what);
        canvas = std::make_shared<FakeMapCanvas>();
        if (!c.snapshot)
            canvas->snapshotImage.reset();
        if (!c.camera)
            canvas->pose.reset();
        fs::remove_all(folders.captures());
        if (!c.writable) {
            fs::create_directories(folders.captures());
            std::ofstream(folders.captures() / "views") << "";
        }
        auto& model = c.canvas ? makeShownModel() : makeModel();
        model.saveCurrentView();
        EXPECT_EQ(model.captureNotice(), "Vue non enregistrée");
        EXPECT_TRUE(model.captures().views().empty());
        EXPECT_EQ(fs::exists(folders.captures()), !c.writable);
    }
}

TEST_F(AppModelCaptures, OpeningASavedViewEndsFollowingPutsTheCameraThereThenSelectsItsBasemap)
{
    auto& model = makeShownModel();
    model.setIsFollowingUser(true);
    const CameraPose pose { 0.51, 0.36, 15, 1, 0.5, 1.5, 800, 600 };
    model.openSavedView(SavedView { "6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10", now, "Vue", "applePlan", pose });
    EXPECT_FALSE(model.isFollowingUser());
    EXPECT_EQ(canvas->appliedPoses, std::vector<CameraPose> { pose });
    EXPECT_EQ(canvas->viewCalls, (std::vector<std::string> { "apply", "setBasemap" }));
    EXPECT_EQ(model.basemap(), Basemap::applePlan);

    model.openSavedView(SavedView { "6B29FC40-CA47-4C21-9C52-5C8E7D2D3A10", now, "Vue", "carte", pose });
    EXPECT_EQ(model.basemap(), Basemap::applePlan);
    EXPECT_EQ(canvas->appliedPoses.size(), 2u);
}

TEST_F(AppModelCaptures, ARecordedFlightIsKeptAndReplayedOverItsBasemapButNeverSwitchesToAWorldMap)
{
    auto& model = makeShownModel();
    const SavedVideo aerial = recordedVideo(model);
    EXPECT_EQ(aerial.frameRate, 30);
    EXPECT_EQ(aerial.poses.size(), 60u);
    EXPECT_EQ(aerial.name, "Survol · Lac Blanc");

    struct Case { Basemap recorded; Basemap shown; };
    for (auto c : { Case { Basemap::orthophoto, Basemap::orthophoto }, Case { Basemap::applePlan, Basemap::orthophoto },
             Case { Basemap::planIGN, Basemap::planIGN } }) {
        SavedVideo video = aerial;
        video.basemap = std::string(c.recorded.rawValue());
        model.setIsFollowingUser(true);
        model.playSavedVideo(video);
        EXPECT_EQ(model.basemap(), c.shown);
        EXPECT_FALSE(model.isFollowingUser());
        EXPECT_EQ(canvas->playedVideos.back(), video);
    }
}

TEST_F(AppModelCaptures, AnExistingFilmIsReturnedAtOnceAndTheOtherHeightIsRenderedBesideIt)
{
    auto& model = makeShownModel();
    const SavedVideo video = recordedVideo(model);
    const fs::path film720 = model.captures().filmURL(video.id, false);
    std::ofstream(film720) << "film";

    std::vector<std::optional<fs::path>> answers;
    auto make = [&] { model.makeFilm(video, [&](std::optional<fs::path> film) { answers.push_back(film); }); };
    make();
    EXPECT_EQ(answers, std::vector<std::optional<fs::path>> { film720 });
    EXPECT_TRUE(canvas->exports.empty());
    EXPECT_TRUE(model.movieProgress().empty());

    model.defaults()->setBoolean(AppModel::kVideoHDKey, true);
    make();
    ASSERT_EQ(canvas->exports.size(), 1u);
    const auto& film = canvas->exports[0];
    EXPECT_EQ(film.height, 1080);
    EXPECT_EQ(film.basemap, Basemap::orthophoto);
    EXPECT_FALSE(film.overlays);
    EXPECT_EQ(film.path, film720.parent_path() / "en-cours.mp4");
    EXPECT_EQ(model.movieProgress(), (std::map<std::string, double> { { video.id, 0.0 } }));
    film.progress(0.5);
    EXPECT_EQ(model.movieProgress().at(video.id), 0.5);

    // The same video again while its film is made: nothing, and the first goes on.
    make();
    EXPECT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers.back());
    EXPECT_EQ(canvas->exports.size(), 1u);

    std::ofstream(film.path) << "film 1080";
    film.completion(true);
    const fs::path film1080 = model.captures().filmURL(video.id, true);
    EXPECT_EQ(answers.back(), film1080);
    EXPECT_TRUE(fs::exists(film1080));
    EXPECT_FALSE(fs::exists(film.path));
    EXPECT_TRUE(fs::exists(film720));
    EXPECT_TRUE(model.movieProgress().empty());
}

TEST_F(AppModelCaptures, AFilmThatFailsLeavesNoTemporaryFileAndNoProgressOnEveryPath)
{
    auto& model = makeShownModel();
    // Recorded over a basemap that no longer exists: filmed over the one shown.
    SavedVideo video = recordedVideo(model);
    video.basemap = "retired";
    model.selectBasemap(Basemap::openTopo);
    const fs::path temporary = model.captures().filmURL(video.id, false).parent_path() / "en-cours.mp4";

    std::vector<std::optional<fs::path>> answers;
    auto make = [&] { model.makeFilm(video, [&](std::optional<fs::path> film) { answers.push_back(film); }); };

    make();
    ASSERT_EQ(canvas->exports.size(), 1u);
    EXPECT_EQ(canvas->exports[0].basemap, Basemap::openTopo);
    std::ofstream(temporary) << "half a film";
    canvas->exports[0].completion(false);
    // A late second answer changes nothing.
    canvas->exports[0].completion(true);

    // The canvas is filming another video.
    canvas->acceptsExports = false;
    make();
    canvas->acceptsExports = true;

    // The canvas goes away without answering.
    make();
    std::ofstream(temporary) << "half a film";
    canvas->exports.pop_back();

    EXPECT_EQ(answers, (std::vector<std::optional<fs::path>>(3, std::nullopt)));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(model.captures().filmURL(video.id, false)));
    EXPECT_TRUE(model.movieProgress().empty());

    model.setCanvas({});
    make();
    EXPECT_EQ(answers.size(), 4u);
    EXPECT_FALSE(answers.back());
}
