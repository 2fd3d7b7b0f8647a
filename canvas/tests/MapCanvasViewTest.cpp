#include "CanvasTestSupport.h"

#include "canvas/LastCamera.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/BuildingService.h"

#include <cmath>
#include <fstream>
#include <numbers>

namespace velorin {
namespace {

using testing_support::CanvasTest;

TEST_F(CanvasTest, AThinWindowIsNotFittedUntilBothSidesAreReal)
{
    defaults->setArray(LastCamera::kKey, nlohmann::json::array({45.9, 6.87, 13.5}));
    auto canvas = makeCanvas();
    window.bounds = {0.5, 400};
    canvas->layout();
    EXPECT_FALSE(canvas->hasPerformedInitialFit());
    EXPECT_EQ(canvas->minZoom(), MapCanvasView::kDefaultMinZoom);

    window.bounds = {500, 400};
    canvas->layout();
    EXPECT_TRUE(canvas->hasPerformedInitialFit());
    EXPECT_EQ(canvas->camera().viewSize, (Camera::Size{1000, 800}));
}

TEST_F(CanvasTest, TheFirstFitOpensTheStoredViewOrElseMetropolitanFrance)
{
    struct Case {
        nlohmann::json stored;
        bool restored;
        double latitude;
        double zoom;
    };
    const Case cases[] = {
        {nlohmann::json::array({45.9, 6.87, 13.5}), true, 45.9, 13.5},
        {nlohmann::json::array({89, 6.87, 13.5}), true, 85.05112878, 13.5},
        // Deeper than the basemap's tiles go: the view and its report stop at their depth.
        {nlohmann::json::array({45.9, 6.87, 21}), true, 45.9, Basemap(Basemap::top25).maxCameraZoom(2)},
        {nlohmann::json::array({45.9, "x", 13}), false, 0, 0},
        {nlohmann::json::array({45.9, 6.87}), false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.dump());
        defaults->setArray(LastCamera::kKey, c.stored);
        std::vector<Camera> reports;
        auto canvas = makeCanvas();
        canvas->onCameraChanged = [&reports](const Camera& camera) { reports.push_back(camera); };
        canvas->layout();
        const Camera& camera = canvas->camera();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], camera) << "the report is the view the fit left within the limits";
        if (c.restored) {
            EXPECT_NEAR(reports[0].center.latitude(), c.latitude, 1e-6);
            EXPECT_NEAR(reports[0].center.longitude(), 6.87, 1e-9);
            EXPECT_EQ(camera.zoom, c.zoom);
        } else {
            // No sheet in the catalogue: metropolitan France and Corsica fill the view, not the world.
            EXPECT_GT(camera.zoom, 4.5);
            for (const auto& corner : {WorldPoint::fromLatitudeLongitude(51.1, -5.2), WorldPoint::fromLatitudeLongitude(41.3, 9.6)}) {
                const auto shown = camera.screenPoint(corner, 0);
                EXPECT_GE(shown.x, -1e-6);
                EXPECT_LE(shown.x, 1000 + 1e-6);
                EXPECT_GE(shown.y, -1e-6);
                EXPECT_LE(shown.y, 800 + 1e-6);
            }
        }
        EXPECT_EQ(camera.bearing, 0);
        EXPECT_EQ(camera.pitch, 0);
        EXPECT_TRUE(canvas->awaitingInitialLocation());
        EXPECT_EQ(canvas->initialLocateDeadline(), clock->now() + MapCanvasView::kInitialLocateSeconds);
    }
}

TEST_F(CanvasTest, AStartViewSetsBearingPitchAndFocalLengthAndEndsTheWaitForAPosition)
{
    struct Case {
        std::string value;
        double bearing, pitch, focal;
    };
    for (auto c : {Case{"45.92,6.87,14", 0, 0, 1.5}, Case{"45.92,6.87,14,90,200", std::numbers::pi / 2,
                                                        MapCanvasView::kMaxStartPitchRadians, 1.5},
             Case{"45.92,6.87,14,0,-30,2.5", 0, 0, 2.5}}) {
        SCOPED_TRACE(c.value);
        auto canvas = makeCanvas({"velorin", "-startAt", c.value});
        canvas->layout();
        const Camera& camera = canvas->camera();
        EXPECT_NEAR(camera.center.latitude(), 45.92, 1e-9);
        EXPECT_EQ(camera.zoom, 14);
        EXPECT_DOUBLE_EQ(camera.bearing, c.bearing);
        EXPECT_DOUBLE_EQ(canvas->targetBearing(), c.bearing);
        EXPECT_DOUBLE_EQ(camera.pitch, c.pitch);
        EXPECT_EQ(camera.focalLength, c.focal);
        EXPECT_FALSE(canvas->awaitingInitialLocation());
    }
}

TEST_F(CanvasTest, CameraReportsComeAtMostEveryTenthOfASecond)
{
    auto canvas = makeCanvas();
    canvas->layout();
    int reports = 0;
    canvas->onCameraChanged = [&reports](const Camera&) { ++reports; };
    const double t = clock->now();
    auto changeAt = [&](double offset) {
        clock->advance(t + offset - clock->now());
        canvas->cameraDidChange();
    };
    changeAt(0);
    EXPECT_EQ(reports, 1);
    changeAt(0.05);
    changeAt(0.1);
    EXPECT_EQ(reports, 1);
    changeAt(0.11);
    EXPECT_EQ(reports, 2);
}

TEST_F(CanvasTest, TheCameraStaysWithinTheZoomRangeAndTheReachableArea)
{
    auto canvas = makeCanvas();
    canvas->layout();
    Camera& camera = canvas->renderer().camera;
    camera.zoom = 30;
    camera.center = {5, 5};
    canvas->cameraDidChange();
    EXPECT_EQ(camera.zoom, canvas->maxZoom());
    const WorldRect& reachable = canvas->reachableRect();
    EXPECT_LE(camera.center.x, reachable.maxX);
    EXPECT_LE(camera.center.y, reachable.maxY);

    camera.zoom = -4;
    canvas->cameraDidChange();
    EXPECT_EQ(camera.zoom, canvas->minZoom());

    // A pitched view may come as close as zoom 23 whatever the basemap.
    camera.pitch = 0.5;
    camera.zoom = 30;
    canvas->cameraDidChange();
    EXPECT_EQ(camera.zoom, MapCanvasView::kPitchedMaxZoom);
}

TEST_F(CanvasTest, AFrameIsPreparedAtTheSizeItIsDrawnAndAViewWithoutAreaPreparesNothing)
{
    defaults->setArray(LastCamera::kKey, nlohmann::json::array({45.9, 6.87, 13}));
    auto canvas = makeCanvas();
    canvas->setBasemap(Basemap::planIGN);
    canvas->layout();
    gpu::RenderTarget target(*context, 2000, 1200);

    // Resized, and drawn before the resize is laid out.
    window.bounds = {1000, 600};
    canvas->drawFrame(target.framebuffer());
    EXPECT_EQ(canvas->camera().viewSize, (Camera::Size{2000, 1200}));
    const std::vector<TileKey> drawnAtOnce = canvas->renderer().desired;
    canvas->layout();
    canvas->drawFrame(target.framebuffer());
    EXPECT_FALSE(drawnAtOnce.empty());
    EXPECT_EQ(drawnAtOnce, canvas->renderer().desired) << "the first frame already wants the tiles of the new size";

    const int frames = canvas->renderer().frameNumber;
    for (Camera::Size bounds : {Camera::Size{0, 600}, Camera::Size{1000, 0}}) {
        window.bounds = bounds;
        canvas->drawFrame(target.framebuffer());
        EXPECT_EQ(canvas->renderer().frameNumber, frames) << "no scene for a view without area";
        EXPECT_EQ(canvas->camera().viewSize, (Camera::Size{2000, 1200}));
    }
}

// Buildings that arrive only when the test says so.
class QuietBuildings final : public BuildingService {
public:
    const ForestService::Table<std::vector<Vertex>>& tiles() const override { return tiles_; }
    void request(const WorldRect&) override { }
    FileBatchDownload::Item download(const ForestService::Key&) const override { return {}; }

private:
    ForestService::Table<std::vector<Vertex>> tiles_;
};

TEST_F(CanvasTest, ArrivingDataRedrawsTheRestingMapAndIsIgnoredOnceTheCanvasIsGone)
{
    auto buildings = std::make_shared<QuietBuildings>();
    MapCanvasView::Environment environment {
        clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", {"velorin"}, {}};
    auto canvas = MapCanvasView::make(window, *context, library,
        MapCanvasView::Services{SheetCatalog{}, {}, {}, {}, {}, buildings}, std::move(environment));
    canvas->layout();
    runFrames(*canvas);
    const int draws = window.draws;

    buildings->onChange();
    EXPECT_TRUE(window.linkRunning);
    runFrames(*canvas);
    EXPECT_EQ(window.draws, draws + 1);

    canvas.reset();
    buildings->onChange();
    EXPECT_FALSE(window.linkRunning);
}

TEST_F(CanvasTest, ACanvasGoingAwayStopsItsDisplayLink)
{
    auto canvas = makeCanvas();
    canvas->layout();
    ASSERT_TRUE(window.linkRunning);
    canvas.reset();
    EXPECT_FALSE(window.linkRunning);
}

TEST_F(CanvasTest, GestureLinesFollowEveryMoveWhileMotionLinesWaitForTheGestureToEnd)
{
    defaults->setBoolean(GestureJournal::kEnabledKey, true);
    auto canvas = makeCanvas();
    canvas->layout();
    canvas->setHeldModifiers({.shift = true});
    canvas->noteGesture("glisser", GestureJournal::GesturePhase::began, {}, GestureJournal::panDetail(0, 0));
    for (int i = 1; i <= 3; ++i) {
        canvas->noteGesture("glisser", GestureJournal::GesturePhase::changed, {}, GestureJournal::panDetail(i, 0));
        canvas->renderer().camera.pan({1, 0});
        canvas->cameraDidChange();
    }
    canvas->noteGesture("glisser", GestureJournal::GesturePhase::ended, {}, GestureJournal::panDetail(3, 0));
    canvas->cameraDidChange();

    std::ifstream file(folder / "cache" / "VelorinGestes.log");
    std::vector<std::string> texts;
    for (std::string line; std::getline(file, line);)
        texts.push_back(line.substr(24, line.find(" -startAt ") - 24));
    EXPECT_EQ(texts, (std::vector<std::string>{"début glisser ⇧", "  glisser ⇧ (1, 0) →", "  glisser ⇧ (2, 0) →",
                         "  glisser ⇧ (3, 0) →", "fin glisser ⇧ (3, 0)", "  mouvement →"}));
}

} // namespace
} // namespace velorin
