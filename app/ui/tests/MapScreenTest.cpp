#include "app/ui/MapScreen.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "app/ui/AltitudeCapsule.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/FlightBanner.h"
#include "app/ui/FlightWave.h"
#include "app/ui/FlyoverControlBar.h"
#include "app/ui/FlyoverSlider.h"
#include "app/ui/OverlayLayer.h"
#include "app/ui/OverlayTransition.h"
#include "app/ui/StatusIndicator.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/MapContainer.h"
#include "app/ui/MapPalette.h"
#include "app/ui/MapToolbar.h"
#include "library/FlyoverPhotoThumbnail.h"
#include "library/PhotoViewer.h"
#include "library/RecordingPanel.h"
#include "library/TrackDetailView.h"
#include "library/TracksView.h"
#include "recordings/TrackStore.h"
#include "testing/LocalTimeZone.h"
#include "testing/TestApplication.h"
#include "widgets/MonospacedDigits.h"

#include <QLabel>
#include <QTest>

#include <filesystem>
#include <numbers>

using velorin::MapScreen;

namespace {

// The screen is never shown: its map builds no canvas, as before the window's first frame.
class MapScreenTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    MapScreen& makeScreen(std::vector<std::string> launchArguments = {"velorin"})
    {
        screen.reset();
        auto& model = makeModel();
        model.start();
        velorin::MapCanvasView::Environment environment {clock, mainQueue, readPreferences(),
            folder / "VelorinGestes.log", std::move(launchArguments), {}};
        screen = std::make_unique<MapScreen>(model, std::move(environment));
        return *screen;
    }

    void TearDown() override
    {
        screen.reset();
        AppModelFixture::TearDown();
    }

    std::unique_ptr<MapScreen> screen;
};

} // namespace

TEST_F(MapScreenTest, ChoosingASheetClosesTheSearchAndEndsFollowingEvenWithoutAMap)
{
    auto& screen = makeScreen();
    screen.openSearch();
    ASSERT_NE(screen.search(), nullptr);
    ASSERT_TRUE(screen.search()->isVisible());
    model->setIsFollowingUser(true);

    velorin::Sheet sheet;
    sheet.name = "3531OT";
    sheet.worldRect = {0.5, 0.3, 0.51, 0.31};
    screen.chooseSheet(sheet);
    EXPECT_TRUE(screen.search() == nullptr || !screen.search()->isVisible()) << "the search closes first";
    EXPECT_FALSE(model->isFollowingUser());
    EXPECT_EQ(screen.container().canvas(), nullptr) << "nothing to frame";
    EXPECT_TRUE(screen.visibleSheets().empty()) << "no map, no sheets in view";
}

TEST_F(MapScreenTest, ThePaletteAndToolbarHideWithTheControls)
{
    auto& screen = makeScreen();
    EXPECT_TRUE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_TRUE(screen.toolbar().isVisibleTo(&screen));

    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    model->revealControls();
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model->areControlsVisible());
    EXPECT_FALSE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_FALSE(screen.toolbar().isVisibleTo(&screen));
    EXPECT_TRUE(screen.attributionColumn().isVisibleTo(&screen)) << "the captions stay";

    model->revealControls();
    EXPECT_TRUE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_TRUE(screen.toolbar().isVisibleTo(&screen));
}

TEST_F(MapScreenTest, AFlyoverEmptiesTheTopLeadingCornerAndBringsItsCapsulesWithTheControls)
{
    auto& screen = makeScreen();
    auto canvas = std::make_shared<testing_support::FakeMapCanvas>();
    model->setCanvas(canvas);
    auto& store = model->tracks().store();
    velorin::Track track;
    track.metadata = store.create("Lac Blanc", now);
    for (int i = 0; i < 3; ++i)
        track.points.push_back({ 46.02 + i * 0.001, 6.97, 2191, now + std::chrono::minutes(i), 10, {} });
    store.writePoints(track.points, track.metadata.id);
    EXPECT_FALSE(screen.flyoverControlBarTransition().isShown());
    EXPECT_FALSE(screen.flyoverSliderTransition().isShown());

    model->startFlyover(track);
    ASSERT_TRUE(model->isFlyingOver());
    EXPECT_FALSE(screen.topLeadingLayer().isVisibleTo(&screen)) << "search, compass and status make way";
    EXPECT_TRUE(screen.flyoverControlBarTransition().isShown());
    EXPECT_FALSE(screen.flyoverSliderTransition().isShown()) << "the path has no length yet";
    model->flyoverPositionDidChange(0, 230);
    EXPECT_TRUE(screen.flyoverSliderTransition().isShown());

    // The capsules leave with the controls, though the flyover goes on.
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model->areControlsVisible());
    EXPECT_FALSE(screen.flyoverControlBarTransition().isShown());
    EXPECT_FALSE(screen.flyoverSliderTransition().isShown());
    model->revealControls();
    EXPECT_TRUE(screen.flyoverControlBarTransition().isShown());

    // "Arrêter": the capsules go once the canvas reports the end; palette and toolbar stay.
    model->flyoverDidEnd();
    EXPECT_FALSE(screen.flyoverControlBarTransition().isShown());
    EXPECT_FALSE(screen.flyoverSliderTransition().isShown());
    EXPECT_TRUE(screen.paletteTransition().isShown());
    EXPECT_TRUE(screen.topLeadingLayer().isVisibleTo(&screen));
}

TEST_F(MapScreenTest, TheFlightWaveShowsForAProgressOrForLoadingOutsideAFlyover)
{
    auto& screen = makeScreen();
    auto canvas = std::make_shared<testing_support::FakeMapCanvas>();
    model->setCanvas(canvas);
    EXPECT_FALSE(screen.flightWave().isVisibleTo(&screen));
    model->flyoverProgressDidChange(0.3);
    EXPECT_TRUE(screen.flightWave().isVisibleTo(&screen)) << "without loading activity";
    model->flyoverProgressDidChange(std::nullopt);
    EXPECT_FALSE(screen.flightWave().isVisibleTo(&screen));

    // Loading: after the loading indicator's delay.
    model->tileStatusDidChange(busy(8));
    advance(velorin::AppModel::kActivityDelaySeconds + 0.125);
    ASSERT_TRUE(model->showsActivity());
    EXPECT_TRUE(screen.flightWave().isVisibleTo(&screen));
    auto& tracks = model->tracks().store();
    velorin::Track track;
    track.metadata = tracks.create("Lac Blanc", now);
    for (int i = 0; i < 3; ++i)
        track.points.push_back({ 46.02 + i * 0.001, 6.97, 2191, now + std::chrono::minutes(i), 10, {} });
    model->startFlyover(track);
    ASSERT_TRUE(model->isFlyingOver());
    EXPECT_FALSE(screen.flightWave().isVisibleTo(&screen)) << "no loading wave during a flyover";

    EXPECT_FALSE(screen.flightBannerTransition().isShown());
    model->flightDidChange(velorin::AppModel::FlightInfo { "Vol vers Lac Blanc", 400 });
    EXPECT_TRUE(screen.flightBannerTransition().isShown());
    model->flightDidChange(std::nullopt);
    EXPECT_FALSE(screen.flightBannerTransition().isShown());
}

TEST_F(MapScreenTest, TheRecordingPanelComesAboveTheCreditLineWhileATrackIsRecorded)
{
    devicePermission = platform::LocationAuthorization::authorizedWhenInUse;
    auto& screen = makeScreen();
    mainQueue->drain();
    EXPECT_FALSE(screen.recordingPanelTransition().isShown()) << "nothing while idle";
    auto& layout = screen.bottomLayer().column();
    EXPECT_EQ(layout.indexOf(&screen.recordingPanel()) + 1, layout.indexOf(&screen.attributionColumn()));

    model->toggleRecording();
    ASSERT_TRUE(model->tracks().isRecording());
    EXPECT_TRUE(screen.recordingPanelTransition().isShown());
    for (int i = 0; i < 3; ++i) {
        platform::LocationFix fix = walkerFix(46.02 + 40.0 * i / 111195.0, 6.97, 2191.4);
        fix.timestamp = std::chrono::duration<double>(now.time_since_epoch()).count() + 20.0 * i;
        position->deliver({fix});
        mainQueue->drain();
    }
    const auto cells = screen.recordingPanel().cells();
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0].value, "40 s");
    EXPECT_EQ(cells[1].value, "80 m");
    EXPECT_EQ(cells[3], (velorin::RecordingPanel::Cell { "2191 m", "altitude" })) << "the model's altitude, rounded";

    model->toggleRecording();
    EXPECT_FALSE(screen.recordingPanelTransition().isShown());
}

TEST_F(MapScreenTest, TheToolbarsTracksButtonOpensOneLibraryAndTheLaunchArgumentOpensItAtOnce)
{
    auto& screen = makeScreen();
    EXPECT_EQ(screen.library(), nullptr);
    emit screen.toolbar().tracksRequested();
    ASSERT_NE(screen.library(), nullptr);
    EXPECT_TRUE(screen.library()->isVisible());
    auto* first = screen.library();
    emit screen.toolbar().tracksRequested();
    EXPECT_EQ(screen.library(), first) << "one at a time";
    screen.library()->reject();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(screen.library(), nullptr);

    auto& launched = makeScreen({"velorin", "-showTracks"});
    QApplication::processEvents();
    ASSERT_NE(launched.library(), nullptr);
    EXPECT_EQ(launched.library()->tab(), velorin::TracksView::Tab::tracks);
}

TEST_F(MapScreenTest, ArgumentsHandedOverByALaterStartOpenTheLibraryAndMoveTheMap)
{
    auto& screen = makeScreen();
    auto canvas = std::make_shared<testing_support::FakeMapCanvas>();
    canvas->pose = velorin::CameraPose {0.5, 0.5, 8, 0, 0, 1.6, 800, 600};
    model->setCanvas(canvas);

    screen.actOn({"-showTracks", "-startAt", "45.9,6.87,14,90,45"});
    ASSERT_NE(screen.library(), nullptr);
    EXPECT_TRUE(screen.library()->isVisible());
    ASSERT_EQ(canvas->appliedPoses.size(), 1u);
    const velorin::CameraPose& moved = canvas->appliedPoses[0];
    const auto center = velorin::WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    EXPECT_DOUBLE_EQ(moved.x, center.x);
    EXPECT_DOUBLE_EQ(moved.y, center.y);
    EXPECT_EQ(moved.zoom, 14);
    EXPECT_NEAR(moved.bearing, std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(moved.pitch, std::numbers::pi / 4, 1e-12);
    EXPECT_EQ(moved.focal, 1.6) << "no focal length given, the map keeps its own";
    EXPECT_EQ(moved.width, 800);

    // What cannot be read moves nothing; the library open already stays the one.
    auto* first = screen.library();
    screen.actOn({"-showTracks", "-startAt", "45.9,nord"});
    EXPECT_EQ(screen.library(), first);
    EXPECT_EQ(canvas->appliedPoses.size(), 1u);
}

TEST_F(MapScreenTest, TheViewerCoversTheScreenWhileTheModelViewsAPhotoAndClosingItClearsThatPhoto)
{
    auto& screen = makeScreen();
    const std::vector<velorin::TrackPhoto> photos { { "a.jpg", *platform::parseIso8601("2024-05-01T08:05:00Z"), {} },
        { "b.jpg", *platform::parseIso8601("2024-05-01T09:40:00Z"), {} } };
    model->setTrackPhotos(photos);
    EXPECT_EQ(screen.photoViewer(), nullptr);

    model->photoTapped(1);
    velorin::PhotoViewer* viewer = screen.photoViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisibleTo(&screen));
    EXPECT_EQ(viewer->geometry(), screen.rect()) << "over the whole screen";
    EXPECT_EQ(viewer->photos(), photos);
    EXPECT_EQ(viewer->index(), 1);
    QTest::keyClick(viewer, Qt::Key_Left);
    EXPECT_EQ(model->viewedPhotoIndex(), 1) << "paging is the viewer's own";

    QTest::keyClick(viewer, Qt::Key_Escape);
    EXPECT_EQ(model->viewedPhotoIndex(), std::nullopt);
    EXPECT_EQ(screen.photoViewer(), nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Opened again on another photo, then closed by the model.
    model->photoTapped(0);
    ASSERT_NE(screen.photoViewer(), nullptr);
    EXPECT_EQ(screen.photoViewer()->index(), 0);
    model->setViewedPhotoIndex(std::nullopt);
    EXPECT_EQ(screen.photoViewer(), nullptr);
}

TEST_F(MapScreenTest, TheFlyoverThumbnailFollowsThePhotoPassedAndItsTapOpensTheViewerThere)
{
    const testing_support::LocalTimeZone france(testing_support::LocalTimeZone::kFrance);
    auto& screen = makeScreen();
    const std::vector<velorin::TrackPhoto> photos { { "a.jpg", *platform::parseIso8601("2024-05-01T08:05:00Z"), {} },
        { "b.jpg", *platform::parseIso8601("2024-05-01T09:40:00Z"), {} } };
    model->setTrackPhotos(photos);
    EXPECT_FALSE(screen.flyoverPhoto().isVisibleTo(&screen));

    model->showFlyoverPhoto(0);
    EXPECT_TRUE(screen.flyoverPhoto().isVisibleTo(&screen));
    EXPECT_EQ(screen.flyoverPhoto().photo().id, "a.jpg");
    model->showFlyoverPhoto(1);
    EXPECT_EQ(screen.flyoverPhoto().photo().id, "b.jpg");
    advance(velorin::AppModel::kFlyoverPhotoSeconds + 0.1);
    EXPECT_FALSE(screen.flyoverPhoto().isVisibleTo(&screen)) << "gone with the model's photo";

    model->showFlyoverPhoto(1);
    screen.flyoverPhoto().click();
    EXPECT_FALSE(screen.flyoverPhoto().isVisibleTo(&screen));
    ASSERT_NE(screen.photoViewer(), nullptr);
    EXPECT_EQ(screen.photoViewer()->index(), 1);
    EXPECT_EQ(screen.photoViewer()->title().toStdString(), "1 mai 2024 à 11:40");
}

TEST_F(MapScreenTest, WithShowLastTrackTheLibraryOpensAtLaunchOnTheNewestTracksDetailEachTimeItShows)
{
    {
        velorin::TrackStore store(folders.tracks());
        for (const auto& [name, start] : {std::pair {"Hier", now - std::chrono::hours(24)}, std::pair {"Ce matin", now}}) {
            const auto metadata = store.create(name, start);
            store.finish(metadata.id, start + std::chrono::hours(1));
        }
    }
    auto& screen = makeScreen({"velorin", "-showLastTrack"});
    QApplication::processEvents();
    ASSERT_NE(screen.library(), nullptr);
    ASSERT_NE(screen.library()->detail(), nullptr);
    EXPECT_EQ(screen.library()->detail()->track().metadata.name, "Ce matin");

    screen.library()->closeDetail();
    QApplication::processEvents();
    EXPECT_EQ(screen.library()->detail(), nullptr) << "going back stays on the list";

    screen.library()->reject();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    emit screen.toolbar().tracksRequested();
    ASSERT_NE(screen.library(), nullptr);
    ASSERT_NE(screen.library()->detail(), nullptr);
    EXPECT_EQ(screen.library()->detail()->track().metadata.name, "Ce matin");

    std::filesystem::remove_all(folders.tracks());
    auto& empty = makeScreen({"velorin", "-showLastTrack"});
    QApplication::processEvents();
    ASSERT_NE(empty.library(), nullptr);
    EXPECT_EQ(empty.library()->detail(), nullptr) << "no saved track, no detail";
}

TEST_F(MapScreenTest, WithoutAFixTheRecordingWaitsForTheGpsAndTheMapSaysWhyNoPositionComes)
{
    devicePermission = platform::LocationAuthorization::authorizedWhenInUse;
    auto& screen = makeScreen();
    screen.resize(900, 600);
    mainQueue->drain();
    auto* follow = screen.toolbar().findChild<velorin::SymbolButton*>("follow");
    auto* capsule = &screen.altitudeCapsule();
    ASSERT_TRUE(follow && capsule);

    model->toggleRecording();
    EXPECT_EQ(screen.recordingPanel().waiting().text(), "En attente du GPS…");
    EXPECT_FALSE(screen.recordingPanel().waiting().isHidden());
    EXPECT_TRUE(screen.recordingPanel().cells().empty()) << "no 0 s · 0 m before a first point";
    EXPECT_EQ(follow->symbol(), "location.fill");
    EXPECT_FALSE(capsule->transition().isShown());

    position->fail({ platform::LocationError::Code::serviceUnavailable, "gpsd ne répond pas sur localhost:2947" });
    log.expect("Location", "gpsd ne répond pas");
    advance(velorin::AppModel::kPositionWaitSeconds);
    const QString why = "Position indisponible · gpsd n'est pas lancé";
    EXPECT_TRUE(capsule->transition().isShown());
    EXPECT_EQ(velorin::MonospacedDigits::plainText(capsule->altitude().text()), why);
    EXPECT_EQ(screen.statusIndicator().content(), velorin::StatusIndicator::Content::position);
    EXPECT_EQ(screen.statusIndicator().findChild<QLabel*>("positionText")->text(), why);
    EXPECT_EQ(follow->symbol(), "location") << "the map follows nothing";
    EXPECT_EQ(follow->toolTip(), why);
    QTest::qWait(500);
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "map-screen-no-position.png";
    EXPECT_TRUE(screen.grab().save(QString::fromStdString(file.string()), "PNG"));

    platform::LocationFix fix = walkerFix(46.02, 6.97, 2191.4);
    fix.timestamp = std::chrono::duration<double>(now.time_since_epoch()).count();
    position->deliver({ fix });
    mainQueue->drain();
    EXPECT_TRUE(screen.recordingPanel().waiting().isHidden());
    EXPECT_EQ(screen.recordingPanel().cells().size(), 4u);
    EXPECT_EQ(velorin::MonospacedDigits::plainText(capsule->altitude().text()), "2191 m");
    EXPECT_EQ(follow->symbol(), "location.fill");
    EXPECT_NE(screen.statusIndicator().content(), velorin::StatusIndicator::Content::position);
    model->toggleRecording();
}
