#include "CanvasTestSupport.h"
#include "ConeTerrain.h"

#include "canvas/FilmArguments.h"
#include "canvas/FilmTravel.h"
#include "map-data/TerrainService.h"
#include "platform/Image.h"
#include "testing/FilmProbe.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

namespace velorin {
namespace {

TEST(FilmArguments, ReadsTheFilmHeightAsAWholeNumberWithinItsRange)
{
    struct Case {
        std::vector<std::string> arguments;
        int height;
    };
    for (const Case& c : {Case {{"-filmHeight", "abc"}, 1080}, Case {{"-filmHeight", "12x"}, 1080},
             Case {{"-filmHeight"}, 1080}, Case {{"-filmHeight", "+720"}, 720}, Case {{"-filmHeight", "0"}, 1080},
             Case {{"-filmHeight", "-720"}, 1080}, Case {{"-filmHeight", "4321"}, 1080},
             Case {{"-filmHeight", "99999999999"}, 1080}, Case {{"-filmHeight", "720.5"}, 1080},
             Case {{"-filmHeight", "4320"}, 4320}, Case {{}, 1080}}) {
        std::vector<std::string> arguments {"velorin"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(FilmArguments::parse(arguments).height, c.height)
            << (c.arguments.size() > 1 ? c.arguments[1] : "(none)");
    }
}

TEST(FilmArguments, ReadsTheTravelAndFallsBackOnUnusableNumbers)
{
    struct Case {
        const char* seconds;
        const char* height;
        int frames;
        double meters;
    };
    for (const Case& c : {Case {"2", "250", 60, 250}, Case {"0", "nan", 1350, 500}, Case {"-3", "inf", 1350, 500},
             Case {"nan", "abc", 1350, 500}, Case {"4000", "-100", 1350, -100}, Case {"0.01", "1e3", 1350, 1000}}) {
        const auto film = FilmArguments::parse({"velorin", "-filmTravel", "45.9,6.8;46.0,6.9;bad;46.1;46.2,186.9;-95,7", "-filmTravelSeconds",
            c.seconds, "-filmTravelHeight", c.height, "-filmTo", "out.mp4", "-filmNames"});
        EXPECT_EQ(film.travelFrames, c.frames) << c.seconds;
        EXPECT_EQ(film.travelHeight, c.meters) << c.height;
        EXPECT_EQ(film.travel.size(), 2u) << "pieces without exactly two numbers, or off the globe, are skipped";
        EXPECT_EQ(film.filmTo, std::filesystem::path("out.mp4"));
        EXPECT_TRUE(film.names);
    }
}

TEST(PointAlong, InterpolatesExtrapolatesAndCopesWithShortPolylines)
{
    const std::vector<WorldPoint> points {{0, 0}, {10, 0}, {10, 0}, {10, 20}};
    const std::vector<double> distances {0, 10, 10, 30};
    struct Case {
        double s;
        WorldPoint expected;
    };
    for (const Case c : {Case {5, {5, 0}}, Case {10, {10, 0}}, Case {20, {10, 10}}, Case {-5, {-5, 0}}, Case {40, {10, 30}}})
        EXPECT_EQ(pointAlong(distances, points, c.s), c.expected) << c.s;
    EXPECT_EQ(pointAlong({3}, {{1, 2}}, 7), (WorldPoint {1, 2}));
    EXPECT_EQ(pointAlong({}, {}, 7), std::nullopt);
    EXPECT_EQ(pointAlong({0, 0}, {{1, 1}, {2, 2}}, 5), (WorldPoint {1, 1})) << "a segment without length";
}

TEST(FilmTravel, TwoWaypointsLookAtTheSecondPulledBackThroughout)
{
    const auto travel = FilmTravel::plan(FilmArguments::parse({"velorin", "-filmTravel", "45.9,6.8;46.0,6.9"}));
    ASSERT_TRUE(travel);
    EXPECT_EQ(travel->eyes.size(), 1351u);
    EXPECT_EQ(travel->targets.size(), 1351u);
    EXPECT_EQ(travel->height, 500);
    const WorldPoint first = WorldPoint::fromLatitudeLongitude(45.9, 6.8);
    const WorldPoint second = WorldPoint::fromLatitudeLongitude(46.0, 6.9);
    const WorldPoint pulled {first.x + 0.85 * (second.x - first.x), first.y + 0.85 * (second.y - first.y)};
    for (const WorldPoint& target : travel->targets) {
        EXPECT_NEAR(target.x, pulled.x, 1e-12);
        EXPECT_NEAR(target.y, pulled.y, 1e-12);
    }
    EXPECT_NEAR(travel->eyes.front().x, first.x, 1e-12);
    EXPECT_NEAR(travel->eyes.back().x, pulled.x, 1e-9);
    EXPECT_NEAR(travel->eyes.back().y, pulled.y, 1e-9);
    // Eased: the eye moves least at the ends.
    const auto step = [&](std::size_t i) {
        return std::hypot(travel->eyes[i + 1].x - travel->eyes[i].x, travel->eyes[i + 1].y - travel->eyes[i].y);
    };
    EXPECT_LT(step(0), step(675) / 100);

    EXPECT_FALSE(FilmTravel::plan(FilmArguments::parse({"velorin", "-filmTravel", "45.9,6.8;46.0"})));
}

class FilmAutomationTest : public testing_support::CanvasTest {
protected:
    std::optional<int> status;

    // Laid out, and settled unless `settle` is false (the frames move the clock on).
    std::shared_ptr<MapCanvasView> canvasWith(std::vector<std::string> arguments,
        std::shared_ptr<TerrainService> terrain = nullptr, bool settle = true)
    {
        MapCanvasView::Environment environment {clock, mainQueue, defaults, folder / "journal.log", std::move(arguments),
            [this](int exitStatus) { status = exitStatus; }};
        auto canvas = MapCanvasView::make(window, *context, library,
            {SheetCatalog {}, {}, {}, std::move(terrain), {}, {}, {}}, std::move(environment));
        EXPECT_TRUE(canvas);
        mainQueue->drain();
        canvas->layout();
        if (settle)
            runFrames(*canvas);
        return canvas;
    }

    void runUntilExit()
    {
        for (int guard = 0; guard < 100000 && !status; ++guard) {
            if (mainQueue->drain() > 0)
                continue;
            if (status)
                break;
            if (clock->pendingTimers() > 0)
                clock->advance(0.04);
            else
                mainQueue->runOneWaiting(10);
        }
    }

    static WorldPoint north(WorldPoint from, double meters) { return {from.x, from.y - meters / from.metersPerWorldUnit()}; }
};

TEST_F(FilmAutomationTest, AThreeFrameTravelPrintsItsProgressAndExitsWithZero)
{
    testing_support::ConeTerrain cone(folder.path(), *mainQueue, *clock);
    const auto path = folder / "survol.mp4";
    auto canvas = canvasWith({"velorin", "-filmTo", path.string(), "-filmHeight", "64"}, cone.terrain);
    std::vector<WorldPoint> eyes {cone.east(-3000), cone.east(-2900), cone.east(-2800)};
    std::vector<WorldPoint> targets;
    for (const WorldPoint& eye : eyes)
        targets.push_back(north(eye, 2000));

    testing::internal::CaptureStdout();
    canvas->filmTravel(500, eyes, targets);
    runUntilExit();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
        "film : 3 images\nfilm : 30 %\nfilm : 65 %\nfilm : 100 %\nfilm : fini\n");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(film_probe::first(film_probe::probe(path), "nb_read_frames"), "3");
}

TEST_F(FilmAutomationTest, ATravelEyeOnItsTargetHasNoPoseAndTheEyeFliesAboveTheSmoothedGround)
{
    testing_support::ConeTerrain cone(folder.path(), *mainQueue, *clock);
    auto canvas = canvasWith({"velorin"}, cone.terrain);
    ASSERT_EQ(canvas->renderer().frame.frameHeightScale, 0) << "a flat view: the ground at the target is the base";
    const double base = canvas->renderer().frame.frameBaseElevation;

    // Across the cone, 50 m apart, each looking 2 km north.
    std::vector<WorldPoint> eyes;
    std::vector<WorldPoint> targets;
    for (int i = 0; i <= 120; ++i) {
        eyes.push_back(cone.east(-3000 + 50.0 * i));
        targets.push_back(north(eyes.back(), 2000));
    }
    const auto poses = canvas->travelPoses(500, eyes, targets);
    ASSERT_EQ(poses.size(), eyes.size());
    // The eye's altitude, back from the pose's pitch over the flat ground.
    const auto altitude = [&](std::size_t i) {
        const double horizontal = 2000 * targets[i].metersPerWorldUnit() / eyes[i].metersPerWorldUnit();
        return base + horizontal / std::tan(poses[i].pitch);
    };
    const auto ground = [&](std::size_t i) { return cone.terrain->elevationAt(eyes[i].x, eyes[i].y, 16); };
    // At the summit the ground under the eye is above the mean around it and wins.
    EXPECT_NEAR(altitude(60), ground(60) + 500, 0.5);
    EXPECT_GT(ground(60), 3400);
    // On the plain beside the cone, the slopes within 30 points lift the mean.
    EXPECT_NEAR(ground(20), testing_support::ConeTerrain::kPlainMeters, 1);
    EXPECT_GT(altitude(20), ground(20) + 500 + 100);
    // Far on the plain, the mean is the plain.
    EXPECT_NEAR(altitude(0), testing_support::ConeTerrain::kPlainMeters + 500, 1);
    for (std::size_t i = 0; i < poses.size(); ++i)
        EXPECT_GE(altitude(i), ground(i) + 500 - 0.5) << i;
    EXPECT_NEAR(poses[0].bearing, 0, 1e-9) << "looking north";

    targets[3] = {eyes[3].x + 0.3 / eyes[3].metersPerWorldUnit(), eyes[3].y};
    EXPECT_EQ(canvas->travelPoses(500, eyes, targets).size(), eyes.size() - 1) << "a target 0.3 m away";
}

TEST_F(FilmAutomationTest, ATravelWithoutReliefExitsWithOneThirtySecondsAfterTheStart)
{
    auto canvas = canvasWith({"velorin", "-startAt", "45.83,6.86,13,0,60", "-filmTravel", "45.83,6.86;45.84,6.88",
        "-filmTo", (folder / "out.mp4").string()},
        nullptr, false);
    clock->advance(29.9);
    mainQueue->drain();
    EXPECT_EQ(status, std::nullopt);
    clock->advance(0.2);
    mainQueue->drain();
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.mp4"));
}

TEST_F(FilmAutomationTest, TheDumpWritesHalfSizeFramesAQuarterOfASecondApartFromOne)
{
    const auto dump = folder / "dump";
    std::filesystem::create_directories(dump);
    auto canvas = canvasWith({"velorin", "-dumpFrames", dump.string()});
    canvas->dumpFrame();
    clock->advance(0.1);
    canvas->dumpFrame();
    clock->advance(0.15);
    canvas->dumpFrame();

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dump))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> {"f0001.jpg", "f0002.jpg"}));
    std::ifstream file(dump / "f0001.jpg", std::ios::binary);
    const std::vector<char> bytes {std::istreambuf_iterator<char>(file), {}};
    const auto info = platform::probeImage(std::as_bytes(std::span(bytes)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 500) << "half of 500 points at 2 pixels a point";
    EXPECT_EQ(info->height, 400);
}

} // namespace
} // namespace velorin
