#include "CanvasTestSupport.h"
#include "ConeTerrain.h"

#include "canvas/PreloadList.h"
#include "map-data/DiskStore.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "platform/HttpSession.h"
#include "renderer/BuildingService.h"
#include "renderer/ForestService.h"

#include <fmt/format.h>

#include <cmath>
#include <numbers>
#include <unordered_set>

namespace velorin {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

// Chamonix.
WorldPoint chamonix()
{
    return WorldPoint::fromLatitudeLongitude(45.92, 6.87);
}

// A straight path `meters` long from `from` towards `bearing` (radians), in `pieces`
// segments, measured at the scale of its first point as flyovers measure.
std::vector<WorldPoint> straight(WorldPoint from, double meters, double bearing = 0, int pieces = 4)
{
    const double length = meters / from.metersPerWorldUnit();
    std::vector<WorldPoint> points;
    for (int i = 0; i <= pieces; ++i) {
        const double share = double(i) / pieces;
        points.push_back({from.x + length * share * std::sin(bearing), from.y - length * share * std::cos(bearing)});
    }
    return points;
}

// Forest and building sources that only say where their files are.
struct NamedForest final : ForestService {
    const Table<std::vector<Tree>>& tiles() const override { return trees; }
    const Table<Canopy>& canopies() const override { return canopyTable; }
    bool treesFailed(const Key&) const override { return false; }
    bool canopyFailed(const Key&) const override { return false; }
    void request(const WorldRect&) override { }
    void requestCanopy(const WorldRect&) override { }
    FileBatchDownload::Item download(const Key& key) const override
    {
        return {fmt::format("forest/{}/{}_{}.png", key.z, key.x, key.y), "http://forest.test/"};
    }
    Table<std::vector<Tree>> trees;
    Table<Canopy> canopyTable;
};

struct NamedBuildings final : BuildingService {
    const ForestService::Table<std::vector<Vertex>>& tiles() const override { return meshes; }
    void request(const WorldRect&) override { }
    FileBatchDownload::Item download(const ForestService::Key& key) const override
    {
        return {fmt::format("buildings3/{}/{}_{}.json", key.z, key.x, key.y), "http://buildings.test/"};
    }
    ForestService::Table<std::vector<Vertex>> meshes;
};

class FlyoverTest : public testing_support::CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;
    int ended = 0;
    std::vector<int> photosShown;
    std::vector<std::pair<double, double>> positions;
    std::vector<std::optional<double>> progress;
    struct Recorded {
        std::string name;
        Basemap basemap;
        std::vector<CameraPose> poses;
        std::optional<platform::Image> thumbnail;
    };
    std::vector<Recorded> recorded;

    std::optional<int> exitStatus;

    void SetUp() override { canvas = flyoverCanvas(); }

    std::shared_ptr<MapCanvasView> flyoverCanvas(std::vector<std::string> arguments = {"velorin"},
        MapCanvasView::Services services = {SheetCatalog {}, {}, {}, {}, {}, {}})
    {
        MapCanvasView::Environment environment {clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log",
            std::move(arguments), [this](int code) { exitStatus = code; }};
        auto made = MapCanvasView::make(window, *context, library, std::move(services), std::move(environment));
        made->layout();
        runFrames(*made);
        made->onFlyoverEnded = [this] { ++ended; };
        made->onFlyoverPhoto = [this](int index) { photosShown.push_back(index); };
        made->onFlyoverPosition = [this](double travelled, double total) { positions.emplace_back(travelled, total); };
        made->onFlyoverProgress = [this](std::optional<double> value) { progress.push_back(value); };
        made->onAnimationRecorded = [this](const std::string& name, Basemap basemap, const std::vector<CameraPose>& poses,
                                        const std::optional<platform::Image>& thumbnail) {
            recorded.push_back({name, basemap, poses, thumbnail});
        };
        return made;
    }

    void frame(double seconds = kFrameSeconds)
    {
        clock->advance(seconds);
        canvas->step(clock->now(), clock->now() + seconds);
    }

    // Frames at 60 Hz until the flyover has left; the seconds that took.
    double untilDeparted()
    {
        const double start = clock->now();
        while (canvas->flyover() && !canvas->flyover()->departed && clock->now() - start < 30)
            frame();
        return clock->now() - start;
    }

    // Frames of `seconds` until `done` holds, for at most `limit` seconds; the seconds taken.
    double until(const std::function<bool()>& done, double limit = 400, double seconds = kFrameSeconds)
    {
        const double start = clock->now();
        while (!done() && clock->now() - start < limit)
            frame(seconds);
        return clock->now() - start;
    }
};

TEST(FlyoverMode, ReadsItsTwoRawValuesAndNothingElse)
{
    EXPECT_EQ(flyoverModeFromRawValue("follow"), FlyoverMode::follow);
    EXPECT_EQ(flyoverModeFromRawValue("drone"), FlyoverMode::drone);
    for (const char* other : {"Drone", "", "drone ", "suivre"})
        EXPECT_EQ(flyoverModeFromRawValue(other), std::nullopt) << other;
    EXPECT_EQ(rawValue(FlyoverMode::drone), "drone");
}

TEST(Flyover, APointAlongThePathInterpolatesItsSegmentsAndStaysOnThePath)
{
    Flyover flyover;
    flyover.path = {{0, 0}, {0, 0}, {10, 0}, {10, 100}};
    flyover.distances = {0, 0, 10, 110};
    struct Case {
        double distance;
        WorldPoint point;
    };
    for (const Case& c : {Case {-5, {0, 0}}, Case {0, {0, 0}}, Case {2.5, {2.5, 0}}, Case {10, {10, 0}},
             Case {20, {10, 10}}, Case {200, {10, 100}}, Case {double(NAN), {0, 0}}}) {
        EXPECT_EQ(flyover.point(c.distance), c.point) << c.distance;
    }
    // y grows southwards: the last leg heads south.
    EXPECT_NEAR(*flyover.heading(60), std::numbers::pi, 1e-12);
    flyover.path = {{3, 3}, {3, 3}};
    flyover.distances = {0, 0};
    EXPECT_FALSE(flyover.heading(0)) << "a path standing still has no heading";
}

TEST(FlyoverReadiness, ProgressReachesTheLastCheckpointWhoseTilesAreAllDone)
{
    const FlyoverReadiness readiness {"a", 5, {{0, 10}, {150, 14}, {300, 20}}};
    struct Case {
        std::int64_t done;
        double distance;
    };
    for (const Case& c : {Case {0, 0}, Case {4, 0}, Case {14, 0}, Case {15, 0}, Case {18, 0}, Case {19, 150},
             Case {24, 150}, Case {25, 300}, Case {39, 300}, Case {40, INFINITY}, Case {41, INFINITY}}) {
        EXPECT_EQ(readiness.readyDistance(c.done, 40), c.distance) << c.done;
    }
}

TEST_F(FlyoverTest, AFourHundredMetrePathFliesAtTwentyMetresASecondBehindAndAboveTheWalker)
{
    const auto path = straight(chamonix(), 400);
    ASSERT_TRUE(canvas->startFlyover(path));
    const Flyover& flyover = *canvas->flyover();
    EXPECT_NEAR(flyover.totalLength(), 400, 1e-6);
    EXPECT_NEAR(flyover.speed, 20, 1e-9);
    EXPECT_EQ(flyover.behind, 100);
    EXPECT_NEAR(flyover.height, 35, 1e-12);
    EXPECT_FALSE(flyover.preparing) << "no loader, no preload";
    EXPECT_EQ(flyover.readyDistance, INFINITY);
    const Camera& camera = canvas->camera();
    EXPECT_EQ(camera.center, path.front());
    EXPECT_EQ(camera.focalLength, 0.75);
    EXPECT_NEAR(camera.pitch, std::atan2(100, 35), 1e-12);
    EXPECT_NEAR(camera.bearing, 0, 1e-9) << "looking along the path, north";
    // The eye stands hypot(100, 35) m from the walker's point: that many view heights of
    // 800 pixels times the focal length.
    EXPECT_NEAR(camera.center.metersPerPixel(camera.zoom) * 800 * 0.75, std::hypot(100, 35), 1e-6);
    EXPECT_EQ(canvas->renderer().detailBias, 1);

    const double waited = untilDeparted();
    EXPECT_GT(waited, 0.5);
    EXPECT_LT(waited, 0.55) << "settled and ready: it leaves after half a second";
    const double flown = until([&] { return ended > 0; });
    EXPECT_NEAR(flown, 20, 0.05);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(canvas->flyover());
    ASSERT_FALSE(positions.empty());
    EXPECT_LE(positions.back().first, positions.back().second) << "never beyond the end";
    EXPECT_EQ(canvas->camera().focalLength, canvas->userFocalLength());
    EXPECT_TRUE(canvas->renderer().prefetchRects.empty());
    EXPECT_EQ(progress.back(), std::nullopt);
    runFor(*canvas, 0.5);
    EXPECT_EQ(canvas->renderer().detailBias, 0) << "full detail once the camera rests";
}

TEST_F(FlyoverTest, WithoutItsTilesItLeavesAfterTenSeconds)
{
    auto cache = std::make_shared<TextureCache>(clock);
    canvas->renderer().textures = cache;
    canvas->renderer().desired = {TileKey::pyramid(14, 8500, 5800)};
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 400)));
    const double waited = untilDeparted();
    EXPECT_GT(waited, 10);
    EXPECT_LT(waited, 10.05);
}

TEST_F(FlyoverTest, EndingItGivesTheCameraBackTheUsersFocalLengthAtTheSameDistance)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    until([&] { return canvas->flyover()->travelled > 100; });
    const double zoom = canvas->camera().zoom;
    canvas->stopAnimations();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(canvas->camera().focalLength, 1.5);
    EXPECT_NEAR(canvas->camera().zoom, zoom - 1, 1e-9) << "twice the focal length, half the scale";
    canvas->stopAnimations();
    EXPECT_EQ(ended, 1) << "nothing more once ended";
}

TEST_F(FlyoverTest, APhotoSlowsItFromSixtyMetresBeforeAndForFourAndAHalfSecondsAfter)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    // The smoothed path's point nearest the middle.
    const Flyover& flyover = *canvas->flyover();
    const std::size_t middle = std::size_t(std::lower_bound(flyover.distances.begin(), flyover.distances.end(), 1000)
        - flyover.distances.begin());
    const double stop = flyover.distances[middle];
    ASSERT_GT(stop, 500);
    canvas->setPhotos({{"photo", {}, flyover.path[middle]}});
    ASSERT_EQ(canvas->flyover()->photoStops, (std::vector<Flyover::PhotoStop> {{stop, 0}}));
    untilDeparted();

    until([&] { return canvas->flyover()->speedFactor < 1; });
    const double slowedAt = canvas->flyover()->travelled;
    EXPECT_GT(slowedAt, stop - 60);
    EXPECT_LT(slowedAt, stop - 59);
    EXPECT_TRUE(photosShown.empty());
    until([&] { return !photosShown.empty(); });
    EXPECT_GE(canvas->flyover()->travelled, stop);
    const double shownAt = clock->now();
    double slowest = 1;
    until([&] {
        slowest = std::min(slowest, canvas->flyover()->speedFactor);
        return clock->now() - shownAt >= 4.45;
    });
    EXPECT_LT(canvas->flyover()->speedFactor, 0.31) << "slowed to 0.3 while the photo shows";
    EXPECT_GE(slowest, 0.3 - 1e-9);
    until([&] { return clock->now() - shownAt >= 7; });
    EXPECT_GT(canvas->flyover()->speedFactor, 0.95) << "back to speed after the photo";
    EXPECT_EQ(photosShown, std::vector<int> {0}) << "once";
}

TEST_F(FlyoverTest, PhotosStopAtTheirNearestPathPointInPhotoOrderForEqualDistances)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 800)));
    const auto& path = canvas->flyover()->path;
    const WorldPoint middle = path[path.size() / 2];
    canvas->setPhotos({{"far", {}, path.back()}, {"here", {}, middle}, {"beside", {}, {middle.x + 1e-9, middle.y}},
        {"nowhere", {}, {NAN, 0.3}}});
    const auto& stops = canvas->flyover()->photoStops;
    ASSERT_EQ(stops.size(), 3u) << "a photo without a position has no stop";
    EXPECT_EQ(stops[0].index, 1);
    EXPECT_EQ(stops[1].index, 2);
    EXPECT_EQ(stops[0].distance, stops[1].distance);
    EXPECT_EQ(stops[2].index, 0);
    EXPECT_NEAR(stops[2].distance, 800, 1e-6);
}

TEST_F(FlyoverTest, TheDroneSweepsFiftyFiveDegreesEitherSideOverThirtySeconds)
{
    canvas->setFlyoverMode(FlyoverMode::drone);
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 3000)));
    EXPECT_EQ(canvas->flyover()->behind, 500);
    EXPECT_NEAR(canvas->flyover()->height, 300, 1e-12);
    untilDeparted();
    struct Case {
        double seconds;
        double bearing;
    };
    double moved = 0;
    for (const Case& c : {Case {7.5, 55 * kDegree}, Case {15, 0}, Case {22.5, -55 * kDegree}}) {
        while (moved < c.seconds - 1e-9) {
            frame();
            moved += kFrameSeconds;
        }
        EXPECT_NEAR(canvas->camera().bearing, c.bearing, 1e-3) << c.seconds;
    }
}

TEST_F(FlyoverTest, ALongFrameTurnsTowardsThePathByAtMostATenthOfTheTurnRate)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    Camera camera = canvas->camera();
    camera.bearing = std::numbers::pi / 2;
    canvas->renderer().camera = camera;
    canvas->setTargetBearing(camera.bearing);
    double before = camera.bearing;
    for (int i = 0; i < 5; ++i) {
        frame(0.5);
        const double turned = before - canvas->camera().bearing;
        EXPECT_NEAR(turned, 0.0785, 1e-9) << "dt is held to 0.1 s: " << i;
        before = canvas->camera().bearing;
    }
}

TEST_F(FlyoverTest, ThePalettesStepsBringItNearerToThirtyAndFartherToTwoThousandMetres)
{
    canvas->adjustFlyoverDistance(1);
    ASSERT_TRUE(canvas->animation()) << "without a flyover the steps zoom";
    const double zoomTo = canvas->animation()->toZoom;
    runFrames(*canvas);
    EXPECT_NEAR(canvas->camera().zoom, zoomTo, 1e-9);

    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    std::vector<double> nearer;
    for (int step = 0; step < 7; ++step) {
        canvas->adjustFlyoverDistance(1);
        nearer.push_back(canvas->flyover()->behind);
    }
    const std::vector<double> expected {80, 64, 51.2, 40.96, 32.768, 30, 30};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(nearer[i], expected[i], 1e-9) << i;
    canvas->adjustFlyoverDistance(NAN);
    EXPECT_EQ(canvas->flyover()->behind, 30);
    double last = 30;
    while (canvas->flyover()->behind < 2000) {
        last = canvas->flyover()->behind;
        canvas->adjustFlyoverDistance(-1);
    }
    EXPECT_GT(last, 1600);
    EXPECT_EQ(canvas->flyover()->behind, 2000) << "not 1.25 times the last";
    canvas->adjustFlyoverDistance(-1);
    EXPECT_EQ(canvas->flyover()->behind, 2000);
}

TEST_F(FlyoverTest, AModeChangeEasesToTheNewModesDistanceAndSweep)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 5000)));
    untilDeparted();
    canvas->applyFlyoverMode();
    EXPECT_FALSE(canvas->flyover()->targetBehind) << "the same mode changes nothing";
    canvas->setFlyoverMode(FlyoverMode::drone);
    canvas->applyFlyoverMode();
    EXPECT_EQ(canvas->flyover()->mode, FlyoverMode::drone);
    EXPECT_EQ(canvas->flyover()->targetBehind, 500);
    until([&] { return !canvas->flyover()->targetBehind; }, 10);
    EXPECT_NEAR(canvas->flyover()->behind, 500, 1);
    EXPECT_NEAR(canvas->flyover()->swingAmplitude, 55 * kDegree, 0.01);
}

TEST_F(FlyoverTest, ASeekMovesAlongThePathWithinItsEnds)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    frame();
    const double total = canvas->flyover()->totalLength();
    struct Case {
        double fraction;
        double travelled;
    };
    for (const Case& c : {Case {0.5, total / 2}, Case {-0.2, 0}, Case {NAN, 0}, Case {INFINITY, 0}}) {
        canvas->seekFlyover(c.fraction);
        EXPECT_EQ(canvas->flyover()->travelled, c.travelled) << c.fraction;
    }
    EXPECT_EQ(positions.back(), std::pair(0.0, total)) << "told of the seek";
    canvas->seekFlyover(1.5);
    EXPECT_EQ(canvas->flyover()->travelled, total);
    EXPECT_EQ(ended, 0);
    frame();
    EXPECT_EQ(ended, 1) << "the next step ends it";
}

TEST_F(FlyoverTest, APathTooShortOrAViewWithoutHeightStartsNothingAndLeavesTheRunningOneAlone)
{
    const WorldPoint from = chamonix();
    ASSERT_TRUE(canvas->startFlyover({from, straight(from, 2000).back(), {NAN, from.y}}))
        << "points that are not finite are left out";
    const std::string running = canvas->flyover()->id;
    struct Case {
        const char* what;
        std::vector<WorldPoint> points;
        Camera::Size bounds;
    };
    for (const Case& c : {
             Case {"no point", {}, {500, 400}},
             Case {"one point", {from}, {500, 400}},
             Case {"one finite point", {from, {INFINITY, from.y}}, {500, 400}},
             Case {"30 m", straight(from, 30), {500, 400}},
             Case {"50 m", straight(from, 49.999), {500, 400}},
             Case {"a view one pixel high", straight(from, 2000), {500, 0.5}},
         }) {
        window.bounds = c.bounds;
        EXPECT_FALSE(canvas->startFlyover(c.points)) << c.what;
        ASSERT_TRUE(canvas->flyover()) << c.what;
        EXPECT_EQ(canvas->flyover()->id, running) << c.what;
    }
    EXPECT_EQ(ended, 0);
    window.bounds = {500, 400};
    ASSERT_TRUE(canvas->startFlyover(straight(from, 60)));
    EXPECT_EQ(ended, 1) << "a new flyover ends the running one";
}

TEST_F(FlyoverTest, APausedFlyoverLetsTheLoopRestAndResumesWhereItStood)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    until([&] { return canvas->flyover()->travelled > 50; });
    canvas->setFlyoverPaused(true);
    const double travelled = canvas->flyover()->travelled;
    EXPECT_LT(runFrames(*canvas), 1000) << "the display link stops";
    EXPECT_FALSE(window.linkRunning);
    EXPECT_EQ(canvas->flyover()->travelled, travelled);
    clock->advance(30);
    canvas->setFlyoverPaused(false);
    EXPECT_TRUE(window.linkRunning);
    frame();
    EXPECT_LE(canvas->flyover()->travelled - travelled, 25 * 0.1 + 1e-9) << "at most a tenth of a second flown";
}

TEST_F(FlyoverTest, ItAsksForTheTilesFourAndEightSecondsAheadAndNeverPausesTheExtras)
{
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    frame();
    const Flyover& flyover = *canvas->flyover();
    const auto& rects = canvas->renderer().prefetchRects;
    ASSERT_EQ(rects.size(), 2u);
    const WorldPoint ahead = flyover.point(flyover.travelled + 8 * flyover.speed);
    EXPECT_NEAR((rects[1].minX + rects[1].maxX) / 2, ahead.x, 1e-12);
    EXPECT_NEAR((rects[1].minY + rects[1].maxY) / 2, ahead.y, 1e-12);
    EXPECT_NEAR((rects[0].maxX - rects[0].minX) * ahead.metersPerWorldUnit(), 600, 1);
    EXPECT_LE(canvas->renderer().extrasPausedUntil, clock->now());
}

TEST_F(FlyoverTest, AVideoHoldsItsFirstPoseHalfASecondThenPlaysAndRestoresTheFocalLength)
{
    const WorldPoint from = chamonix();
    SavedVideo video;
    video.frameRate = 30;
    for (int i = 0; i < 30; ++i) {
        video.poses.push_back({from.x, from.y - i * 1e-6, 12 + i * 0.01, 0.1, 0, i == 29 ? 0.75 : 1.5, 1000, 800});
    }
    canvas->play(video);
    ASSERT_TRUE(canvas->replay());
    EXPECT_EQ(canvas->userFocalLength(), 1.5) << "the first pose's";
    until([&] { return clock->now() >= canvas->replay()->start - 0.01; });
    EXPECT_EQ(canvas->camera().center, from) << "the first pose is held";
    const double playing = clock->now();
    until([&] { return !canvas->replay(); });
    EXPECT_NEAR(clock->now() - playing, 1.01, 0.05);
    const CameraPose& last = video.poses.back();
    EXPECT_EQ(canvas->camera().center, (WorldPoint {last.x, last.y}));
    EXPECT_EQ(canvas->camera().focalLength, 1.5);
    EXPECT_NEAR(canvas->camera().zoom, last.zoom - 1, 1e-9) << "the last pose's distance at the user's focal length";
    EXPECT_EQ(canvas->camera().viewSize, (Camera::Size {1000, 800})) << "the view's own size";
}

TEST_F(FlyoverTest, ATouchEndsAReplayAndAVideoThatCannotPlayIsRefused)
{
    const WorldPoint from = chamonix();
    SavedVideo video;
    video.frameRate = 30;
    video.poses.assign(90, CameraPose {from.x, from.y, 12, 0, 0, 1.5, 1000, 800});
    canvas->play(video);
    frame();
    canvas->touchBegan();
    EXPECT_FALSE(canvas->replay());

    struct Case {
        const char* what;
        double frameRate;
        double zoom;
        std::size_t poses;
    };
    for (const Case& c : {Case {"rate 0", 0, 12, 90}, Case {"rate NaN", NAN, 12, 90}, Case {"rate ∞", INFINITY, 12, 90},
             Case {"negative rate", -30, 12, 90}, Case {"a NaN pose", 30, NAN, 90}, Case {"no pose", 30, 12, 0}}) {
        SavedVideo bad = video;
        bad.frameRate = c.frameRate;
        bad.poses.resize(c.poses);
        if (!bad.poses.empty())
            bad.poses[40].zoom = c.zoom;
        const Camera before = canvas->camera();
        canvas->play(bad);
        EXPECT_FALSE(canvas->replay()) << c.what;
        EXPECT_EQ(canvas->camera(), before) << c.what;
    }
    canvas->apply({NAN, from.y, 12, 0, 0, 1.5, 1000, 800});
    canvas->apply({from.x, from.y, 12, 0, 0, 0, 1000, 800});
    EXPECT_EQ(canvas->userFocalLength(), 1.5) << "no pose without a finite position and an eye";
}

TEST_F(FlyoverTest, AStandstillRecordsNothingAndTwentyHertzRecordsSlowerThanRealTime)
{
    canvas->setAnimationName("Survol du Brévent");
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    untilDeparted();
    until([&] { return canvas->flyover()->travelled > 20; });
    ASSERT_TRUE(canvas->recording());
    EXPECT_EQ(canvas->recording()->name, "Survol du Brévent");
    canvas->setFlyoverPaused(true);
    frame();
    const auto held = *canvas->recording();
    runFor(*canvas, 10);
    EXPECT_EQ(canvas->recording()->poses.size(), held.poses.size()) << "a camera at rest records nothing";
    EXPECT_EQ(canvas->recording()->elapsed, held.elapsed);

    canvas->setFlyoverPaused(false);
    const double elapsed = canvas->recording()->elapsed;
    const std::size_t poses = canvas->recording()->poses.size();
    for (int i = 0; i < 60; ++i)
        frame(0.05);
    EXPECT_NEAR(canvas->recording()->elapsed - elapsed, 2, 1e-9) << "3 s at 20 Hz record 2 s";
    EXPECT_NEAR(double(canvas->recording()->poses.size() - poses), 60, 1) << "a pose a frame";
}

TEST_F(FlyoverTest, FilmSecondsEndsTheFlyoverOnceThatMuchIsRecorded)
{
    canvas = flyoverCanvas({"velorin", "-filmSeconds", "12"});
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 3000)));
    untilDeparted();
    const double flown = until([&] { return ended > 0; });
    EXPECT_NEAR(flown, 12, 0.05);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_NEAR(double(recorded[0].poses.size()), 12 * 30 + 1, 2);
}

TEST_F(FlyoverTest, FiftyNinePosesAreDroppedAndSixtyBecomeAVideoWithAThumbnail)
{
    for (std::size_t wanted : {59u, 60u}) {
        recorded.clear();
        ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 3000)));
        until([&] { return canvas->recording() && canvas->recording()->poses.size() >= wanted; }, 30, 1.0 / 30);
        ASSERT_EQ(canvas->recording()->poses.size(), wanted);
        canvas->stopAnimations();
        EXPECT_FALSE(canvas->recording());
        ASSERT_EQ(recorded.size(), wanted == 60 ? 1u : 0u) << wanted;
    }
    const Recorded& video = recorded.front();
    EXPECT_EQ(video.name, "Animation");
    EXPECT_EQ(video.basemap, canvas->renderer().basemap);
    ASSERT_TRUE(video.thumbnail);
    EXPECT_EQ(std::max(video.thumbnail->width, video.thumbnail->height), 480);
    EXPECT_EQ(video.poses.front().focal, 0.75);
}

TEST_F(FlyoverTest, UnderFilmToATooShortRecordingEndsTheRunWithOneInsteadOfWaitingForEver)
{
    const auto film = folder / "film.mp4";
    canvas = flyoverCanvas({"velorin", "-filmTo", film.string(), "-filmHeight", "64"});
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 3000)));
    until([&] { return canvas->recording() && canvas->recording()->poses.size() >= 59; }, 30, 1.0 / 30);
    ASSERT_EQ(canvas->recording()->poses.size(), 59u);
    testing::internal::CaptureStdout();
    canvas->stopAnimations();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "film : enregistrement trop court\nfilm : échec\n");
    EXPECT_EQ(exitStatus, 1);
    EXPECT_FALSE(canvas->isExporting());
    EXPECT_FALSE(std::filesystem::exists(film));
}

TEST_F(FlyoverTest, UnderFilmToAFlyoverStoppedIntoItsFilmEndsOnceWithItsZoomCorrectedOnce)
{
    const auto film = folder / "film.mp4";
    canvas = flyoverCanvas({"velorin", "-filmTo", film.string(), "-filmHeight", "64"});
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 3000)));
    until([&] { return canvas->recording() && canvas->recording()->poses.size() >= 60; }, 30, 1.0 / 30);
    const Camera flown = canvas->camera();
    ASSERT_EQ(flown.focalLength, MapCanvasView::kFlyoverFocalLength);
    testing::internal::CaptureStdout();
    canvas->stopAnimations();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("film : 60 images", 0), 0u) << printed;
    EXPECT_TRUE(canvas->isExporting()) << "the film has started";
    EXPECT_EQ(ended, 1) << "ended once, not again from the film's start";
    EXPECT_EQ(recorded.size(), 1u);
    EXPECT_EQ(canvas->camera().focalLength, canvas->userFocalLength());
    EXPECT_NEAR(canvas->camera().zoom, flown.zoom - std::log2(canvas->userFocalLength() / flown.focalLength), 1e-9)
        << "the focal length's zoom correction, once";
}

TEST_F(FlyoverTest, MarkersPairWithTheirPointsAndTheRightAndBottomEdgesAreOutside)
{
    const Camera& camera = canvas->camera();
    ASSERT_EQ(camera.pitch, 0);
    const WorldPoint centre = camera.center;
    const auto placements = canvas->markerPlacements({7, 8, 9}, {centre, {centre.x - 1, centre.y}}, {0, 0, 500, 400});
    ASSERT_EQ(placements.size(), 2u) << "three markers, two points";
    EXPECT_EQ(placements[0].marker, 7);
    EXPECT_NEAR(placements[0].center.x, 250, 1e-9) << "view points, not pixels";
    EXPECT_NEAR(placements[0].center.y, 200, 1e-9);
    EXPECT_FALSE(placements[0].hidden);
    EXPECT_TRUE(placements[1].hidden) << "far outside";
    struct Case {
        ScreenRect rect;
        bool hidden;
    };
    for (const Case& c : {Case {{250, 200, 10, 10}, false}, Case {{0, 0, 250, 400}, true}, Case {{0, 0, 500, 200}, true}}) {
        EXPECT_EQ(canvas->markerPlacements({1}, {centre}, c.rect).front().hidden, c.hidden) << c.rect.x << " " << c.rect.width;
    }
}

class FlyoverOverTerrain : public FlyoverTest {
protected:
    std::optional<testing_support::ConeTerrain> cone;

    void SetUp() override
    {
        cone.emplace(folder.path(), *mainQueue, *clock);
        ASSERT_TRUE(cone->terrain->contains(cone->key));
        canvas = flyoverCanvas({"velorin"}, {SheetCatalog {}, {}, {}, cone->terrain, {}, {}});
    }

    void TearDown() override
    {
        canvas.reset();
        cone.reset();
    }
};

TEST_F(FlyoverOverTerrain, APointBehindTheMountainIsHidden)
{
    // Looking west at the cone from 4 km east of it, low.
    MapRenderer& renderer = canvas->renderer();
    Camera camera = canvas->camera();
    camera.center = cone->east(2500);
    camera.zoom = 14;
    camera.bearing = -std::numbers::pi / 2;
    camera.pitch = 80 * kDegree;
    renderer.camera = camera;
    renderer.frame.frameHeightScale = 1 / camera.center.metersPerPixel(camera.zoom);
    renderer.frame.frameTerrainZoom = cone->kGridZoom;
    renderer.frame.frameBaseElevation = cone->kPlainMeters;
    const auto placements
        = canvas->markerPlacements({0, 1}, {cone->east(-2500), cone->east(2000)}, {-1e6, -1e6, 2e6, 2e6});
    ASSERT_EQ(placements.size(), 2u);
    EXPECT_TRUE(placements[0].hidden) << "the far side, behind the summit";
    EXPECT_FALSE(placements[1].hidden) << "this side";
}

TEST_F(FlyoverOverTerrain, TheClearanceHeightSeesOverTheGroundBetweenTheCameraAndTheWalker)
{
    // Just off the cone's foot, a camera 1600 m back towards the summit must stand as high as
    // the summit, with 15 m to spare; one back over the plain only 15 m.
    const WorldPoint foot = cone->east(1600);
    EXPECT_NEAR(canvas->flyoverClearanceHeight(foot, std::numbers::pi / 2, 1600), 2515, 40);
    EXPECT_NEAR(canvas->flyoverClearanceHeight(foot, -std::numbers::pi / 2, 1600), 15, 1);
    const auto flat = flyoverCanvas();
    EXPECT_EQ(flat->flyoverClearanceHeight(foot, std::numbers::pi / 2, 1600), 0) << "no relief data";
}

// A canvas with a tile loader whose providers never answer, and forest and building sources.
class FlyoverPreload : public FlyoverTest {
protected:
    std::shared_ptr<DiskStore> store = std::make_shared<DiskStore>(folder / "tiles", folder / "offline");
    std::shared_ptr<platform::HttpSession> session = std::make_shared<platform::HttpSession>();
    std::shared_ptr<TextureCache> cache = std::make_shared<TextureCache>(clock);
    std::shared_ptr<TileLoader> loader;

    void SetUp() override
    {
        TileLoader::Dependencies dependencies;
        dependencies.store = store;
        dependencies.cache = cache;
        dependencies.session = session;
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = dependencies.hosts.terrariumHost = "127.0.0.1:9";
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        loader = std::make_shared<TileLoader>(std::move(dependencies));
        canvas = flyoverCanvas({"velorin"},
            {SheetCatalog {}, loader, cache, {}, std::make_shared<NamedForest>(), std::make_shared<NamedBuildings>()});
        canvas->setBasemap(Basemap::planIGN);
    }

    void TearDown() override
    {
        canvas.reset();
        loader.reset();
    }
};

TEST_F(FlyoverPreload, SamplesEveryOneAndAHalfDistancesBehindInParallelFromFourOn)
{
    struct Case {
        double meters;
        std::vector<double> samples;
        bool parallel;
    };
    for (const Case& c : {Case {60, {0}, false}, Case {300, {0, 150, 300}, false}, Case {450, {0, 150, 300, 450}, true}}) {
        ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), c.meters))) << c.meters;
        const Flyover flyover = *canvas->flyover();
        const auto list = canvas->flyoverPreloadList(flyover);
        EXPECT_EQ(list.samples, int(c.samples.size())) << c.meters;
        EXPECT_EQ(list.cameras, int(c.samples.size()));
        EXPECT_EQ(list.parallel, c.parallel) << c.meters;
        ASSERT_EQ(list.readiness.checkpoints.size(), c.samples.size());
        // Worked out one sample at a time, the list is the same: in sample order.
        PreloadList order;
        for (std::size_t i = 0; i < c.samples.size(); ++i) {
            EXPECT_NEAR(list.readiness.checkpoints[i].distance, c.samples[i], 1e-9);
            order.add(canvas->flyoverTiles(flyover, c.samples[i]));
            EXPECT_EQ(list.readiness.checkpoints[i].count, std::int64_t(order.tiles().size())) << i;
        }
        EXPECT_EQ(list.tiles, order.tiles()) << c.meters;
        EXPECT_FALSE(list.tiles.empty());
    }
    canvas->setFlyoverMode(FlyoverMode::drone);
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 10000)));
    const auto drone = canvas->flyoverPreloadList(*canvas->flyover());
    EXPECT_EQ(drone.samples, 14) << "every 750 m";
    EXPECT_EQ(drone.cameras, 42) << "the sweep's centre and ends";
}

TEST_F(FlyoverPreload, ElevationsForestAerialPhotosAndBuildingsComeFirstAndOnlyWithTrees)
{
    const auto path = straight(chamonix(), 300);
    ASSERT_TRUE(canvas->startFlyover(path));
    const auto list = canvas->flyoverPreloadList(*canvas->flyover());
    std::size_t elevations = 0;
    while (elevations < list.extras.size() && list.extras[elevations].diskKey.find("dem-ign/") == 0)
        ++elevations;
    ASSERT_GT(elevations, 0u);
    // The zoom-15 tiles within 1200 m of each of the three samples.
    std::vector<ForestService::Key> band;
    for (std::size_t i = elevations; i < list.extras.size() && list.extras[i].diskKey.find("forest/") == 0; ++i) {
        ForestService::Key key {15, 0, 0};
        ASSERT_EQ(std::sscanf(list.extras[i].diskKey.c_str(), "forest/15/%ld_%ld.png", &key.x, &key.y), 2);
        band.push_back(key);
    }
    ASSERT_FALSE(band.empty());
    EXPECT_EQ(list.extras.size(), elevations + band.size() * 18) << "forest, 16 aerial photos and buildings a tile";
    EXPECT_EQ(list.readiness.extraCount, std::int64_t(list.extras.size()));
    const ForestService::Key first = band.front();
    for (int i = 0; i < 16; ++i) {
        const FileBatchDownload::Item& item = list.extras[elevations + band.size() + std::size_t(i)];
        const std::int64_t row = first.y * 4 + i / 4;
        const std::int64_t column = first.x * 4 + i % 4;
        EXPECT_EQ(item.diskKey, *TileKey::webTile(Basemap(Basemap::orthophoto).index(), 17, column, row).relativePath({}))
            << "rows outer, columns inner: " << i;
        EXPECT_NE(item.url.find(fmt::format("TILEMATRIX=17&TILEROW={}&TILECOL={}", row, column)), std::string::npos)
            << item.url;
    }
    EXPECT_EQ(list.extras.back().diskKey.find("buildings3/"), 0u);

    canvas->setShowsTrees(false);
    const auto bare = canvas->flyoverPreloadList(*canvas->flyover());
    EXPECT_EQ(bare.extras.size(), elevations) << "without trees, elevations only";
    EXPECT_EQ(bare.tiles, list.tiles);
}

TEST_F(FlyoverPreload, TheFlyoverWaitsUntilTwentySecondsOfFlightAreReady)
{
    // 2 km at 25 m/s: the first 500 m must be ready before it may leave.
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    ASSERT_TRUE(canvas->flyover()->preparing);
    EXPECT_EQ(canvas->flyover()->readyDistance, 0);
    EXPECT_EQ(progress, std::vector<std::optional<double>> {0.0});
    runFor(*canvas, 5);
    EXPECT_FALSE(canvas->flyover()->departed) << "a preparing flyover does not even wait to leave";
    EXPECT_FALSE(canvas->recording()) << "nor records";

    const auto list = canvas->flyoverPreloadList(*canvas->flyover());
    const auto& checkpoints = list.readiness.checkpoints;
    ASSERT_GE(checkpoints.size(), 5u);
    ASSERT_EQ(checkpoints[3].distance, 450);
    const std::int64_t extras = list.readiness.extraCount;
    const std::int64_t total = extras + std::int64_t(list.tiles.size());
    canvas->flyoverPreloadProgress(list.readiness, extras + checkpoints[0].count, total);
    EXPECT_EQ(canvas->flyover()->readyDistance, 0) << "the first sample";
    canvas->flyoverPreloadProgress(list.readiness, extras + checkpoints[3].count, total);
    EXPECT_EQ(canvas->flyover()->readyDistance, 450);
    EXPECT_TRUE(canvas->flyover()->preparing);
    EXPECT_NEAR(*progress.back(), double(extras + checkpoints[3].count) / double(total), 1e-12);

    FlyoverReadiness stale = list.readiness;
    stale.flyoverId = "a flyover replaced since";
    const std::size_t reports = progress.size();
    canvas->flyoverPreloadProgress(stale, total, total);
    EXPECT_EQ(canvas->flyover()->readyDistance, 450) << "an old report changes nothing";
    EXPECT_EQ(progress.size(), reports);

    canvas->flyoverPreloadProgress(list.readiness, extras + checkpoints[4].count, total);
    EXPECT_FALSE(canvas->flyover()->preparing);
    EXPECT_FALSE(canvas->flyover()->waitStart);
    const double waited = untilDeparted();
    EXPECT_LT(waited, 0.55);
    // Ready up to 600 m: it flies to 550 m, then holds while less than 2 s are ready ahead.
    runFor(*canvas, 30);
    EXPECT_NEAR(canvas->flyover()->travelled, 550, 1);
    canvas->flyoverPreloadProgress(list.readiness, total, total);
    EXPECT_EQ(canvas->flyover()->readyDistance, INFINITY);
    EXPECT_EQ(progress.back(), std::nullopt);
    frame();
    frame();
    EXPECT_GT(canvas->flyover()->travelled, 550);
}

TEST_F(FlyoverPreload, AFlyoverWhoseFilesNeverComeLeavesWithinTenSecondsAndNoLongerHoldsForThem)
{
    // The providers never answer: every file fails and is tried again for half a minute.
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 2000)));
    ASSERT_TRUE(canvas->flyover()->preparing);
    const double waited = untilDeparted();
    ASSERT_TRUE(canvas->flyover()->departed);
    EXPECT_LE(waited, MapCanvasView::kFlyoverMaxWaitSeconds + 0.05) << "it leaves in time";
    EXPECT_GT(waited, MapCanvasView::kFlyoverMaxPreparationSeconds);
    EXPECT_EQ(canvas->flyover()->readyDistance, INFINITY);

    // A report that comes late holds it back no more.
    const auto list = canvas->flyoverPreloadList(*canvas->flyover());
    canvas->flyoverPreloadProgress(
        list.readiness, list.readiness.extraCount, list.readiness.extraCount + std::int64_t(list.tiles.size()));
    EXPECT_EQ(canvas->flyover()->readyDistance, INFINITY);
    runFor(*canvas, 10);
    EXPECT_GT(canvas->flyover()->travelled, 25) << "it flies, waiting at most 4 s for the tiles near the eye";
}

TEST_F(FlyoverPreload, CheckpointsCountOnlyTheTilesTheLoaderFetches)
{
    for (Basemap basemap : {Basemap(Basemap::planIGN), Basemap(Basemap::top25)}) {
        canvas->setBasemap(basemap);
        ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 450)));
        const auto list = canvas->flyoverPreloadList(*canvas->flyover());
        ASSERT_FALSE(list.tiles.empty());
        const auto fetched = std::count_if(
            list.tiles.begin(), list.tiles.end(), [&](const TileKey& key) { return loader->preloadItem(key).has_value(); });
        EXPECT_EQ(list.readiness.checkpoints.back().count, fetched) << basemap.rawValue() << " of " << list.tiles.size();
        for (std::size_t i = 1; i < list.readiness.checkpoints.size(); ++i)
            EXPECT_GE(list.readiness.checkpoints[i].count, list.readiness.checkpoints[i - 1].count);
        canvas->stopAnimations();
    }
}

TEST_F(FlyoverPreload, WithEveryFileOnDiskThePreloadReportsItAllDone)
{
    // Without trees: fewer files to write.
    canvas->setShowsTrees(false);
    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 300)));
    const auto list = canvas->flyoverPreloadList(*canvas->flyover());
    const std::vector<std::byte> bytes(4, std::byte {1});
    for (const FileBatchDownload::Item& item : list.extras)
        store->writeNow(bytes, item.diskKey);
    for (const TileKey& key : list.tiles)
        store->writeNow(bytes, loader->download(key)->diskKey);
    canvas->stopAnimations();

    ASSERT_TRUE(canvas->startFlyover(straight(chamonix(), 300)));
    ASSERT_TRUE(canvas->flyover()->preparing);
    while (canvas->flyover()->preparing && mainQueue->runOneWaiting(10)) {
    }
    EXPECT_FALSE(canvas->flyover()->preparing);
    EXPECT_EQ(canvas->flyover()->readyDistance, INFINITY);
    EXPECT_EQ(progress.back(), std::nullopt);
}

} // namespace
} // namespace velorin
