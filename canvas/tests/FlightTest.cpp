#include "CanvasTestSupport.h"
#include "ConeTerrain.h"

#include "map-data/TerrainService.h"
#include "map-data/DiskStore.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "platform/Image.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/Sky.h"
#include "renderer/TextureImage.h"
#include "testing/LoopbackServer.h"
#include "testing/LogCapture.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <cmath>
#include <numbers>
#include <optional>

namespace velorin {
namespace {

constexpr double kDegree = std::numbers::pi / 180;
// Chamonix, seen pitched from zoom 13.
constexpr double kLatitude = 45.92;
constexpr double kLongitude = 6.87;

Toponym placeAt(WorldPoint point, std::string name = "Aiguille", Toponym::Kind kind = Toponym::Kind::summit)
{
    return {"id-" + name, name, kind, point.latitude(), point.longitude(), 1, std::nullopt};
}

// A point `meters` north of `from`, measured at the latitude of the point, as flights
// measure towards their place.
WorldPoint north(WorldPoint from, double meters)
{
    WorldPoint to = from;
    for (int refine = 0; refine < 4; ++refine)
        to.y = from.y - meters / to.metersPerWorldUnit();
    return to;
}

// A clock that moves `tick` seconds each time it is read, so that a display frame's share of
// preparation runs out as it would on a real clock.
struct TickingClock final : platform::Clock {
    std::shared_ptr<platform::ManualClock> base;
    double tick = 0.001;
    mutable std::atomic<int> reads {0};
    double now() const override { return base->now() + tick * reads++; }
    void after(double delay, platform::Executor::Task task) override { base->after(delay, std::move(task)); }
};

class FlightTest : public testing_support::CanvasTest {
protected:
    std::vector<std::optional<double>> progress;
    std::vector<std::optional<std::pair<std::string, double>>> flights;

    // Lays `canvas` out over the massif at zoom 13, tilted to `pitch`.
    static void viewMassif(MapCanvasView& canvas, double pitch = 60 * kDegree)
    {
        canvas.layout();
        Camera camera = canvas.camera();
        camera.center = WorldPoint::fromLatitudeLongitude(kLatitude, kLongitude);
        camera.zoom = 13;
        camera.pitch = pitch;
        canvas.applyCamera(camera, true);
    }

    std::shared_ptr<MapCanvasView> pitchedCanvas(std::vector<std::string> arguments = {"velorin"},
        double pitch = 60 * kDegree)
    {
        auto canvas = makeCanvas(std::move(arguments));
        viewMassif(*canvas, pitch);
        runFrames(*canvas);
        canvas->onFlyoverProgress = [this](std::optional<double> value) { progress.push_back(value); };
        canvas->onFlight = [this](auto flight) { flights.push_back(flight); };
        return canvas;
    }

    // A canvas pitched at 60° over the massif at zoom 13, whose clock moves `tick` seconds
    // each time it is read.
    std::shared_ptr<MapCanvasView> tickingCanvas(std::vector<std::string> arguments, double tick = 0.001)
    {
        auto ticking = std::make_shared<TickingClock>();
        ticking->base = clock;
        ticking->tick = tick;
        MapCanvasView::Environment environment {ticking, mainQueue, defaults, folder / "journal.log", std::move(arguments), {}};
        auto canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services {SheetCatalog {}, {}, {}, {}, {}, {}}, std::move(environment));
        viewMassif(*canvas);
        return canvas;
    }

    WorldPoint eyeGround(MapCanvasView& canvas)
    {
        return canvas.renderer().eyePosition(canvas.camera(), canvas.camera().pitch).ground;
    }

    // Metres between two points at the scale of the place's latitude.
    static double meters(WorldPoint a, WorldPoint b, WorldPoint place)
    {
        return std::hypot(a.x - b.x, a.y - b.y) * place.metersPerWorldUnit();
    }

    // Gives the canvas a texture cache and, each display frame, the tiles its flight's
    // frame asked for, until the flight is prepared (or, `untilMoving`, until it moves); the
    // display frames it took.
    int prepareWithEveryTile(MapCanvasView& canvas, double secondsPerDisplayFrame = kFlightRetry, bool untilMoving = false)
    {
        auto cache = std::make_shared<TextureCache>(clock);
        canvas.renderer().textures = cache;
        const auto tile = plain();
        int displayFrames = 0;
        while (canvas.flight() && !canvas.flight()->prepared->isComplete()
            && !(untilMoving && canvas.flight()->playback.moving) && displayFrames < 20000) {
            clock->advance(secondsPerDisplayFrame);
            canvas.step(clock->now(), clock->now() + kFrameSeconds);
            for (const TileKey& key : canvas.renderer().desired) {
                if (!cache->contains(key))
                    cache->insert(tile, key);
            }
            ++displayFrames;
        }
        return displayFrames;
    }

    static std::shared_ptr<gpu::Texture> plain()
    {
        return gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4, std::byte {200}));
    }

    static constexpr double kFlightRetry = MapCanvasView::kFlightRetrySeconds + 0.001;
};

TEST(FlightOptions, ReadFiniteNumbersAndKeepTheirDefaultsOtherwise)
{
    struct Case {
        std::vector<std::string> arguments;
        double radius;
        bool outro;
        double look;
        std::optional<double> filmSeconds;
    };
    for (const Case& c : {
             Case {{"velorin"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitRadius", "800", "-filmSeconds", "12.5"}, 800, false, 0, 12.5},
             Case {{"velorin", "-orbitRadius", "-3", "-filmSeconds", "0"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitRadius", "nan", "-filmSeconds", "inf"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,6.8,300,45.95,6.85"}, 500, true, 0.55, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,6.8,300,45.95,6.85,0.3"}, 500, true, 0.3, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,6.8,300,45.95"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,6.8,inf,45.95,6.85"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45\xae" "92,6.87,2400,45.90,6.88,0.4"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,186.8,300,45.95,6.85"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitOutro", "45.9,6.8,300,-90.5,6.85"}, 500, false, 0, std::nullopt},
             Case {{"velorin", "-orbitRadius"}, 500, false, 0, std::nullopt},
         }) {
        SCOPED_TRACE(c.arguments.back());
        const FlightOptions options = FlightOptions::parse(c.arguments);
        EXPECT_EQ(options.orbitRadius, c.radius);
        ASSERT_EQ(options.outro.has_value(), c.outro);
        if (c.outro) {
            EXPECT_EQ(options.outro->look, c.look);
        }
        EXPECT_EQ(options.filmSeconds, c.filmSeconds);
    }
}

TEST(Flight, ATourLapSpeedsUpAndSlowsDownWithoutAJump)
{
    EXPECT_EQ(Flight::lapProgress(0), 0);
    EXPECT_NEAR(Flight::lapProgress(0.5), 0.5, 1e-12);
    EXPECT_NEAR(Flight::lapProgress(1), 1, 1e-12);
    EXPECT_EQ(Flight::lapProgress(1.2), 1);
    for (double seam : {0.1, 0.9})
        EXPECT_NEAR(Flight::lapProgress(seam - 1e-9), Flight::lapProgress(seam + 1e-9), 1e-8) << seam;
    // Faster in the middle than at either end.
    EXPECT_LT(Flight::lapProgress(0.05), 0.05);
    EXPECT_GT(Flight::lapProgress(0.95), 0.95);
}

TEST(Flight, ItsTilesAreLookedForAtEachHalfSecondOfTheApproachAndAlongItsTail)
{
    Flight landing;
    landing.duration = 8;
    EXPECT_EQ(landing.preloadTimes().size(), 23u);
    Flight tour = landing;
    tour.kind = Flight::Kind::orbit;
    EXPECT_EQ(tour.preloadTimes().size(), 34u);
    EXPECT_EQ(landing.endTime(), 10);
    EXPECT_EQ(tour.endTime(), 68);
    tour.outro = Flight::Outro {};
    EXPECT_EQ(tour.endTime(), 82);
}

TEST(FlightFrameSequence, ShowsThePreparedFramesAndLetsPlaybackMoveOnceEnoughLieAhead)
{
    FlightFrameSequence<int> sequence(12, 60);
    EXPECT_EQ(sequence.frameCount(), 721u);
    EXPECT_EQ(sequence.frame(0), nullptr);
    EXPECT_FALSE(sequence.leads(0, INFINITY, 1));
    EXPECT_EQ(sequence.leadShare(0, INFINITY, 1), 0);

    struct Case {
        int frames;
        double elapsed, pace;
        bool leads;
    };
    for (auto c : {
             Case {60, 0, 2, false}, // just short of a second ahead
             Case {61, 0, 2, true},
             Case {61, 0, INFINITY, true},
             Case {61, 0, 0.5, false}, // half as fast as the flight: half of its 12 s ahead
             Case {361, 0, 0.5, true},
             Case {361, 5.5, 0.5, false}, // 6.5 s left, 3.25 s needed, 0.5 s ahead
             Case {600, 9.5, 2, false}, // 2.5 s left but less than a second ahead
             Case {720, 11.5, 2, false}, // the last second waits for the last frame
         }) {
        while (int(sequence.frames().size()) < c.frames)
            sequence.append(int(sequence.frames().size()));
        EXPECT_EQ(sequence.leads(c.elapsed, c.pace, 1), c.leads) << c.frames << " " << c.elapsed << " " << c.pace;
        EXPECT_EQ(sequence.leadShare(c.elapsed, c.pace, 1) == 1, c.leads) << c.frames << " " << c.elapsed;
        EXPECT_EQ(*sequence.frame(0.5), 30);
        EXPECT_EQ(*sequence.frame(-1), 0);
        EXPECT_EQ(*sequence.frame(double(c.frames - 1) / 60), c.frames - 1);
        EXPECT_EQ(sequence.frame(double(c.frames) / 60), nullptr) << "not prepared yet";
        EXPECT_EQ(sequence.frame(40), nullptr);
    }
    sequence.append(720);
    EXPECT_TRUE(sequence.leads(11.9, 0, 1));
    EXPECT_EQ(*sequence.frame(40), 720);
    for (auto [duration, rate] : {std::pair {-1.0, 60.0}, std::pair {double(NAN), 60.0}, std::pair {1.0, 0.0}})
        EXPECT_THROW(FlightFrameSequence<int>(duration, rate), std::invalid_argument) << duration << " " << rate;
}

TEST_F(FlightTest, ALandingFlightEndsShortOfThePlaceWithinThreeToEightSeconds)
{
    struct Case {
        double placeMeters;
        double travelMeters;
        double duration;
    };
    for (const Case& c : {Case {20000, 19500, 8}, Case {200, 300, 3}}) {
        auto canvas = pitchedCanvas();
        const WorldPoint eye = eyeGround(*canvas);
        canvas->startFlight(placeAt(north(eye, c.placeMeters)), false);
        ASSERT_TRUE(canvas->flight());
        const Flight& flight = *canvas->flight();
        EXPECT_EQ(flight.kind, Flight::Kind::land);
        EXPECT_NEAR(meters(flight.to.ground, flight.from.ground, flight.target), c.travelMeters, 1) << c.placeMeters;
        EXPECT_NEAR(meters(flight.to.ground, flight.target, flight.target), 500, 1e-6);
        EXPECT_EQ(flight.duration, c.duration);
        EXPECT_EQ(canvas->animationName(), "Vol vers Aiguille");
        ASSERT_FALSE(flights.empty());
        ASSERT_TRUE(flights.back());
        EXPECT_NEAR(flights.back()->second, c.placeMeters, 1) << "told how far the place is";
        EXPECT_TRUE(canvas->isFlying());
        EXPECT_EQ(canvas->renderer().detailBias, 1);
    }
}

TEST_F(FlightTest, TheCruisePitchStaysWithinFortyFiveToEightyFiveDegreesAndAPlaceUnderTheEyeKeepsTheBearing)
{
    for (auto [pitch, cruise] : {std::pair {10.0, 45.0}, std::pair {60.0, 60.0}, std::pair {88.0, 85.0}}) {
        auto canvas = pitchedCanvas({"velorin"}, pitch * kDegree);
        Camera turned = canvas->camera();
        turned.bearing = 0.7;
        canvas->applyCamera(turned, true);
        const WorldPoint eye = eyeGround(*canvas);
        canvas->startFlight(placeAt(eye), false);
        ASSERT_TRUE(canvas->flight()) << pitch;
        EXPECT_NEAR(canvas->flight()->pitch, cruise * kDegree, 1e-9) << pitch;
        EXPECT_EQ(canvas->flight()->startAngle, 0) << "the eye stands over the place";
        // It backs away against the camera's bearing, then looks along it at the place.
        EXPECT_NEAR(canvas->flight()->bearing, Camera::wrapAngle(0.7 + std::numbers::pi), 1e-9);
        EXPECT_NEAR(canvas->flight()->backBearing, 0.7, 1e-6);
    }
}

TEST_F(FlightTest, AToursTailIsItsLapAndOutroAndAnUnsolvableArrivalFacesOnAtEightyDegrees)
{
    {
        auto canvas = pitchedCanvas();
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 3000)), true);
        ASSERT_TRUE(canvas->flight());
        EXPECT_EQ(canvas->flight()->tailSeconds(), 60);
        EXPECT_EQ(canvas->animationName(), "Tour de Aiguille");
        EXPECT_EQ(canvas->flight()->radius, 500);
        EXPECT_NEAR(meters(canvas->flight()->to.ground, canvas->flight()->target, canvas->flight()->target), 500, 1e-6);
    }
    {
        auto canvas = pitchedCanvas({"velorin", "-orbitOutro", "45.9,6.8,300,45.95,6.85"});
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 3000)), true);
        ASSERT_TRUE(canvas->flight() && canvas->flight()->outro);
        EXPECT_EQ(canvas->flight()->tailSeconds(), 74);
    }
    {
        // An orbit so tight that the end of the approach stands over the place.
        auto canvas = pitchedCanvas({"velorin", "-orbitRadius", "0.1"});
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 3000)), true);
        ASSERT_TRUE(canvas->flight());
        EXPECT_EQ(canvas->flight()->backBearing, canvas->flight()->bearing);
        EXPECT_NEAR(canvas->flight()->backPitch, 80 * kDegree, 1e-12);
    }
}

TEST_F(FlightTest, APlaceOrAnEyeThatIsNotFiniteStartsNothing)
{
    testing_support::LogCapture log;
    auto canvas = pitchedCanvas();
    log.expect(platform::logcat::canvas, "vol vers Nulle part : position impossible");
    canvas->startFlight({"x", "Nulle part", Toponym::Kind::place, NAN, 6.87, 6, std::nullopt}, false);
    EXPECT_FALSE(canvas->flight());
    EXPECT_FALSE(canvas->isFlying());
    // A place whose altitude is not a number counts as one without altitude.
    Toponym place = placeAt(north(eyeGround(*canvas), 2000));
    place.altitude = NAN;
    canvas->startFlight(place, false);
    ASSERT_TRUE(canvas->flight());
    EXPECT_TRUE(std::isfinite(canvas->flight()->targetAltitude));
}

TEST_F(FlightTest, WithoutASummitLabelNearTheAimedPointTheTourCirclesThePointItself)
{
    auto canvas = pitchedCanvas();
    const WorldPoint aimed = canvas->camera().center;
    canvas->startAimedPointTour();
    ASSERT_TRUE(canvas->flight());
    EXPECT_EQ(canvas->flight()->kind, Flight::Kind::orbit);
    EXPECT_EQ(canvas->animationName(), "Tour de Point visé");
    EXPECT_NEAR(canvas->flight()->target.x, aimed.x, 1e-12);
    EXPECT_NEAR(canvas->flight()->target.y, aimed.y, 1e-12);
}

TEST_F(FlightTest, ALandingFlightMovesOnceASecondOfItLiesAheadThenPlaysAtSixtyHertzAndHoldsItsLastFrame)
{
    auto canvas = pitchedCanvas();
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    ASSERT_TRUE(canvas->flight() && canvas->flight()->prepared);
    const auto prepared = canvas->flight()->prepared;
    EXPECT_EQ(prepared->frameCount(), 601u) << "10 s of flight at 60 frames a second";
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0.0);
    const int drawsBefore = window.draws;

    prepareWithEveryTile(*canvas, kFlightRetry, true);
    ASSERT_TRUE(canvas->flight());
    EXPECT_TRUE(canvas->flight()->playback.moving);
    EXPECT_GE(prepared->preparedUntil(), MapCanvasView::kFlightLeadSeconds) << "a second of frames ahead";
    EXPECT_EQ(window.draws, drawsBefore + 1) << "nothing is shown before, the first frame as it moves";
    for (std::size_t at = 1; at + 1 < progress.size(); ++at)
        ASSERT_LT(*progress[at], 1.0) << "not before it moves";
    EXPECT_EQ(progress.back(), std::nullopt) << "the wave leaves as it moves";
    EXPECT_EQ(canvas->flightRasterScale(), 0.5);
    EXPECT_EQ(window.preferredFrameRate, 60.0);
    prepareWithEveryTile(*canvas);
    ASSERT_TRUE(prepared->isComplete());

    // Playback: nil progress each frame, a late frame advancing a thirtieth of a second.
    clock->advance(kFrameSeconds);
    canvas->step(clock->now(), clock->now() + kFrameSeconds);
    EXPECT_EQ(progress.back(), std::nullopt);
    const double shown = canvas->flight()->playback.elapsed;
    clock->advance(0.2);
    canvas->step(clock->now(), clock->now() + kFrameSeconds);
    EXPECT_NEAR(canvas->flight()->playback.elapsed - shown, 1.0 / 30, 1e-9);

    runFor(*canvas, 12);
    EXPECT_FALSE(canvas->flight()) << "over after its ten seconds";
    ASSERT_FALSE(flights.empty());
    EXPECT_TRUE(flights.back() == std::nullopt) << "the banner and the stop button leave as it lands";
    ASSERT_TRUE(canvas->arrivalFrame());
    EXPECT_TRUE(canvas->isFlying()) << "the last frame is held";
    EXPECT_EQ(canvas->camera(), canvas->arrivalFrame()->scene.camera);
    EXPECT_EQ(canvas->flightRasterScale(), 1);
    EXPECT_EQ(window.preferredFrameRate, std::nullopt);

    canvas->endFlight();
    EXPECT_FALSE(canvas->isFlying());
    EXPECT_FALSE(canvas->renderer().heldFlightScene);
    ASSERT_TRUE(flights.back() == std::nullopt);
}

TEST_F(FlightTest, PlaybackThatCatchesUpWithItsFramesWaitsOnItsPictureUntilEnoughLieAheadAgain)
{
    auto canvas = tickingCanvas({"velorin"});
    canvas->onFlyoverProgress = [this](std::optional<double> value) { progress.push_back(value); };
    auto cache = std::make_shared<TextureCache>(clock);
    canvas->renderer().textures = cache;
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    const auto prepared = canvas->flight()->prepared;
    const auto tile = plain();
    // As the flight first moves its tiles are dropped, and none comes for two seconds.
    std::optional<int> droughtFrom;
    int holds = 0;
    bool wasMoving = false;
    int drawsAtHold = 0;
    for (int frame = 0; canvas->flight() && frame < 20000; ++frame) {
        clock->advance(kFrameSeconds);
        canvas->step(0, kFrameSeconds);
        if (!canvas->flight())
            break;
        const FlightPlayback& playback = canvas->flight()->playback;
        if (!droughtFrom && playback.moving) {
            droughtFrom = frame;
            cache = std::make_shared<TextureCache>(clock);
            canvas->renderer().textures = cache;
        }
        if (!droughtFrom || frame - *droughtFrom > 120) {
            for (const TileKey& key : canvas->renderer().desired) {
                if (!cache->contains(key))
                    cache->insert(tile, key);
            }
            canvas->flightResourceArrived();
        }
        if (playback.moving) {
            ASSERT_LE(playback.elapsed, prepared->preparedUntil() + 0.5 / MapCanvasView::kFlightFrameRate)
                << "only prepared frames are shown";
            ASSERT_EQ(progress.back(), std::nullopt) << "the wave leaves while it moves";
            if (!wasMoving && holds > 0) {
                ASSERT_TRUE(prepared->isComplete()
                    || prepared->preparedUntil() - playback.elapsed >= MapCanvasView::kFlightLeadSeconds)
                    << "moving again with a second ahead";
            }
        } else if (wasMoving) {
            ++holds;
            drawsAtHold = window.draws;
            ASSERT_TRUE(progress.back() && *progress.back() < 1) << "the wave shows while it waits";
        } else if (holds > 0) {
            ASSERT_EQ(window.draws, drawsAtHold) << "the picture stays while it waits";
        }
        wasMoving = playback.moving;
    }
    EXPECT_GT(holds, 0);
    EXPECT_FALSE(canvas->flight()) << "the flight plays to its end";
    EXPECT_TRUE(canvas->arrivalFrame());
}

TEST_F(FlightTest, PreparationSpendsAboutSixMillisecondsOfEachDisplayFrame)
{
    auto canvas = tickingCanvas({"velorin"});
    const Camera camera = canvas->camera();
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    ASSERT_TRUE(canvas->flight());
    const auto prepared = canvas->flight()->prepared;
    // Once with every tile coming, then again with them all there.
    prepareWithEveryTile(*canvas);
    ASSERT_TRUE(prepared->isComplete());
    canvas->endFlight();
    canvas->applyCamera(camera, true);
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    const auto again = canvas->flight()->prepared;
    std::size_t before = 0;
    int displayFrames = 0;
    while (!again->isComplete() && displayFrames < 2000) {
        clock->advance(kFrameSeconds);
        canvas->step(0, kFrameSeconds);
        const std::size_t now = again->frames().size();
        ASSERT_LE(now - before, 7u) << "the deadline is checked after each frame, one overrun allowed";
        before = now;
        ++displayFrames;
    }
    EXPECT_TRUE(again->isComplete());
    EXPECT_GT(displayFrames, 85) << "601 frames at most 7 a display frame";
}

TEST_F(FlightTest, AFrameWaitsSixSecondsForItsTilesThenTheRestAreTakenUntilATileArrives)
{
    auto canvas = pitchedCanvas();
    // A cache that never receives a tile: nothing any frame shows is ever there.
    canvas->renderer().textures = std::make_shared<TextureCache>(clock);
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    const auto prepared = canvas->flight()->prepared;
    runFor(*canvas, 5.9);
    EXPECT_TRUE(prepared->frames().empty()) << "the first frame waits";
    EXPECT_LT(*progress.back(), 1.0);
    runFor(*canvas, 0.2);
    EXPECT_GT(prepared->frames().size(), 1u) << "given up, the frames after it are taken at once";

    canvas->flightResourceArrived();
    const std::size_t taken = prepared->frames().size();
    runFor(*canvas, 1);
    if (!prepared->isComplete()) {
        EXPECT_LE(prepared->frames().size(), taken + 1) << "something arrived: waiting again";
    }
    runFor(*canvas, 30);
    EXPECT_FALSE(canvas->flight()) << "the flight plays to its end";
    EXPECT_TRUE(canvas->arrivalFrame());
}

TEST_F(FlightTest, UnderFilmToAPreparationHeldBackForTwentySecondsSaysWhatItWaitsFor)
{
    for (bool filming : {true, false}) {
        std::vector<std::string> arguments {"velorin"};
        if (filming)
            arguments.insert(arguments.end(), {"-filmTo", (folder / "film.mp4").string()});
        auto canvas = tickingCanvas(arguments);
        // Something keeps arriving, never what the frames show: each frame waits its six
        // seconds again, and frames given up on never end the wait.
        canvas->renderer().textures = std::make_shared<TextureCache>(clock);
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
        testing::internal::CaptureStdout();
        for (int frame = 0; frame < 30 * 60 && canvas->flight(); ++frame) {
            clock->advance(kFrameSeconds);
            canvas->step(0, kFrameSeconds);
            canvas->flightResourceArrived();
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(canvas->flight());
        EXPECT_FALSE(canvas->flight()->prepared->isComplete());
        if (filming) {
            EXPECT_EQ(printed.rfind("film : attente à ", 0), 0u) << printed;
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << "at most once in 20 s: " << printed;
        } else {
            EXPECT_EQ(printed, "") << "only a scripted film prints";
        }
    }
}

TEST_F(FlightTest, AResizeAMemoryWarningOrTheBackgroundEndsAFlight)
{
    struct Case {
        const char* name;
        std::function<void(MapCanvasView&, testing_support::FakeCanvasWindow&)> act;
    };
    for (const Case& c : {
             Case {"resize", [](MapCanvasView& canvas, auto& window) { window.bounds = {640, 400}; canvas.layout(); }},
             Case {"memory", [](MapCanvasView& canvas, auto&) { canvas.handleMemoryWarning(); }},
             Case {"background", [](MapCanvasView& canvas, auto&) { canvas.handleBackground(); }},
         }) {
        window.bounds = {500, 400};
        auto canvas = pitchedCanvas();
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 5000)), false);
        prepareWithEveryTile(*canvas);
        ASSERT_EQ(canvas->flightRasterScale(), 0.5) << c.name;
        c.act(*canvas, window);
        EXPECT_FALSE(canvas->isFlying()) << c.name;
        EXPECT_EQ(canvas->flightRasterScale(), 1) << c.name;
        EXPECT_EQ(window.preferredFrameRate, std::nullopt) << c.name;
    }
}

TEST_F(FlightTest, AGlideOrAnOptionChangeWithoutAFlightDoesNotEndFollowing)
{
    auto canvas = pitchedCanvas();
    int interactions = 0;
    canvas->onUserInteraction = [&] { ++interactions; };
    canvas->animateCamera(north(canvas->camera().center, 200), std::nullopt, true);
    canvas->setShowsSlopes(true);
    canvas->setShowsTrees(true);
    EXPECT_EQ(interactions, 0) << "only the user's own moves end following";
}

TEST_F(FlightTest, APreparedFlightIsRecordedFromItsFramesThirtyPosesASecond)
{
    auto canvas = pitchedCanvas();
    std::string name;
    std::vector<std::vector<CameraPose>> videos;
    canvas->onAnimationRecorded = [&](const std::string& recorded, Basemap, const std::vector<CameraPose>& poses,
                                      const std::optional<platform::Image>& thumbnail) {
        name = recorded;
        videos.push_back(poses);
        EXPECT_TRUE(thumbnail);
    };
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    ASSERT_TRUE(canvas->flight());
    const auto sequence = canvas->flight()->prepared;
    prepareWithEveryTile(*canvas, kFlightRetry, true);
    ASSERT_TRUE(canvas->recording()) << "from the first frame played";
    EXPECT_EQ(canvas->recording()->poses.size(), 1u);

    prepareWithEveryTile(*canvas);
    runFor(*canvas, 12);
    ASSERT_FALSE(canvas->flight());
    EXPECT_FALSE(canvas->recording());
    ASSERT_EQ(videos.size(), 1u) << "handed over once the flight has ended";
    EXPECT_EQ(name, "Vol vers Aiguille");
    const std::vector<CameraPose>& poses = videos.front();
    EXPECT_NEAR(double(poses.size()), 10 * 30, 2) << "its ten seconds at 30 poses a second";
    for (std::size_t i = 0; i < poses.size(); i += 29) {
        const Camera& shown = sequence->frame(double(i) / 30)->scene.camera;
        EXPECT_EQ(poses[i],
            (CameraPose {shown.center.x, shown.center.y, shown.zoom, shown.bearing, shown.pitch, shown.focalLength,
                shown.viewSize.width, shown.viewSize.height}))
            << i;
    }
}

TEST_F(FlightTest, SwitchingTreesOrSlopesEndsAFlightButSettingTheSameValueDoesNot)
{
    struct Case {
        const char* name;
        void (MapCanvasView::*set)(bool);
        bool MapRenderer::*flag;
    };
    for (const Case& c : {Case {"trees", &MapCanvasView::setShowsTrees, &MapRenderer::showsTrees},
             Case {"slopes", &MapCanvasView::setShowsSlopes, &MapRenderer::showsSlopes}}) {
        auto canvas = pitchedCanvas();
        canvas->startFlight(placeAt(north(eyeGround(*canvas), 5000)), false);
        (canvas.get()->*c.set)(canvas->renderer().*c.flag);
        EXPECT_TRUE(canvas->flight()) << c.name;
        (canvas.get()->*c.set)(!(canvas->renderer().*c.flag));
        EXPECT_FALSE(canvas->isFlying()) << c.name;
    }
}

TEST_F(FlightTest, APreloadLooksForTheSameTilesInTheSameOrderEachTime)
{
    auto canvas = pitchedCanvas();
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), true);
    ASSERT_TRUE(canvas->flight());
    ASSERT_EQ(canvas->flight()->duration, 8);
    const auto first = canvas->flightPreloadList(*canvas->flight());
    const auto second = canvas->flightPreloadList(*canvas->flight());
    EXPECT_EQ(first.cameras, 34) << "every sample of the tour has a camera";
    EXPECT_FALSE(first.tiles.empty());
    EXPECT_FALSE(first.elevations.empty());
    EXPECT_EQ(first.tiles, second.tiles);
    EXPECT_EQ(first.elevations, second.elevations);
    const std::unordered_set<TileKey> distinct(first.tiles.begin(), first.tiles.end());
    EXPECT_EQ(distinct.size(), first.tiles.size()) << "no tile twice";
}

TEST_F(FlightTest, DemoOrbitToursTheAimedPointEightSecondsAfterTheFirstFitOfAStartView)
{
    for (bool withStartView : {true, false}) {
        std::vector<std::string> arguments {"velorin", "-demoOrbit"};
        if (withStartView)
            arguments = {"velorin", "-startAt", "45.92,6.87,13,0,60", "-demoOrbit"};
        auto canvas = makeCanvas(arguments);
        canvas->layout();
        clock->advance(7.9);
        mainQueue->drain();
        EXPECT_FALSE(canvas->flight());
        clock->advance(0.2);
        mainQueue->drain();
        EXPECT_EQ(canvas->flight().has_value(), withStartView);
        if (withStartView) {
            EXPECT_EQ(canvas->animationName(), "Tour de Point visé");
        }
    }
}

class FlightOverTerrain : public FlightTest {
protected:
    static constexpr int kGridZoom = testing_support::ConeTerrain::kGridZoom;
    std::optional<testing_support::ConeTerrain> cone;
    std::shared_ptr<TerrainService> terrain;
    WorldPoint summit;

    void SetUp() override
    {
        cone.emplace(folder.path(), *mainQueue, *clock);
        ASSERT_TRUE(cone->terrain->contains(cone->key));
        terrain = cone->terrain;
        summit = cone->summit;
    }

    void TearDown() override
    {
        terrain.reset();
        cone.reset();
    }
};

TEST_F(FlightOverTerrain, TheApproachAndTheOrbitKeepAboveTheMountain)
{
    MapCanvasView::Environment environment {clock, mainQueue, defaults, folder / "journal.log", {"velorin"}, {}};
    auto canvas = MapCanvasView::make(window, *context, library,
        MapCanvasView::Services {SheetCatalog {}, {}, {}, terrain, {}, {}}, std::move(environment));
    canvas->layout();
    MapRenderer& renderer = canvas->renderer();
    Camera camera = canvas->camera();
    camera.center = {summit.x + 2500 / summit.metersPerWorldUnit(), summit.y};
    camera.zoom = 13.5;
    camera.pitch = 70 * kDegree;
    canvas->applyCamera(camera, true);
    renderer.frame.frameHeightScale = 1;
    renderer.frame.frameTerrainZoom = kGridZoom;
    const auto ground = [&](WorldPoint at) { return terrain->elevationAt(at.x, at.y, kGridZoom); };

    canvas->startFlight(placeAt(summit, "Cône"), true);
    ASSERT_TRUE(canvas->flight());
    const Flight flight = *canvas->flight();
    for (double t = 0.25; t <= flight.endTime(); t += 0.25) {
        const auto seen = canvas->applyFlightFrame(flight, t);
        ASSERT_TRUE(seen) << t;
        // The eye stands above the ground under the camera's centre, as it is drawn once the
        // view's relief is based there.
        const double base = renderer.frame.frameBaseElevation;
        renderer.frame.frameBaseElevation = ground(seen->center);
        const auto eye = renderer.eyePosition(*seen, seen->pitch);
        renderer.frame.frameBaseElevation = base;
        const double clearance = t < flight.duration ? 40 : 60;
        EXPECT_GE(eye.altitude, ground(eye.ground) + clearance - 1) << t;
    }
}

// Frames of one size side by side in a PNG beside the test program, for a person to look at.
void writeStrip(const std::vector<platform::Image>& frames, const char* name)
{
    if (frames.empty())
        return;
    const int width = frames.front().width;
    const int height = frames.front().height;
    platform::Image strip {width * int(frames.size()), height, {}};
    strip.pixels.resize(std::size_t(strip.width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (int y = 0; y < height; ++y) {
            std::copy_n(frames[i].pixels.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(width) * 4),
                std::size_t(width) * 4,
                strip.pixels.begin()
                    + std::ptrdiff_t((std::size_t(y) * std::size_t(strip.width) + i * std::size_t(width)) * 4));
        }
    }
    const auto png = platform::encodePng(strip);
    ASSERT_TRUE(png);
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    std::cout << "picture: " << path.string() << "\n";
}

// The share of the lower half of a frame in the clear colour of its camera's pitch: ground
// that is not drawn.
double clearShare(const platform::Image& picture, double pitch)
{
    const auto clear = Sky::clearColor(pitch);
    std::size_t count = 0;
    std::size_t seen = 0;
    for (int y = picture.height / 2; y < picture.height; y += 2) {
        for (int x = 0; x < picture.width; x += 2) {
            const std::size_t at = (std::size_t(y) * std::size_t(picture.width) + std::size_t(x)) * 4;
            bool same = true;
            for (std::size_t channel = 0; channel < 3; ++channel)
                same = same && std::abs(int(picture.pixels[at + channel]) - int(std::lround(clear[channel] * 255))) <= 2;
            count += same;
            ++seen;
        }
    }
    return seen ? double(count) / double(seen) : 0;
}

// The newest frame the dump folder holds, decoded.
std::optional<platform::Image> newestDump(const std::filesystem::path& dump)
{
    std::optional<std::filesystem::path> newest;
    for (const auto& entry : std::filesystem::directory_iterator(dump)) {
        if (!newest || entry.path().filename() > newest->filename())
            newest = entry.path();
    }
    if (!newest)
        return std::nullopt;
    std::ifstream file(*newest, std::ios::binary);
    const std::vector<char> bytes {std::istreambuf_iterator<char>(file), {}};
    return platform::decodeImage(std::as_bytes(std::span(bytes)));
}

TEST_F(FlightOverTerrain, APreparedFrameDrawsTheTilesOrAncestorsStandingInWhereTheLiveViewDrawsThemOnScreenAndInTheDump)
{
    // The tiles the view wants, or only those three levels coarser, which stand in.
    for (const int coarser : {3, 0}) {
        SCOPED_TRACE(coarser);
        const std::string name = coarser ? "ancestors" : "tiles";
        const auto dump = folder / ("dump-" + name);
        std::filesystem::create_directories(dump);
        MapCanvasView::Environment environment {
            clock, mainQueue, defaults, folder / "journal.log", {"velorin", "-dumpFrames", dump.string()}, {}};
        auto canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services {SheetCatalog {}, {}, {}, terrain, {}, {}}, std::move(environment));
        canvas->layout();
        canvas->setBasemap(Basemap::planIGN);
        auto cache = std::make_shared<TextureCache>(clock);
        MapRenderer& renderer = canvas->renderer();
        renderer.textures = cache;
        Camera camera = canvas->camera();
        camera.center = {summit.x + 2500 / summit.metersPerWorldUnit(), summit.y};
        camera.zoom = 13.5;
        camera.pitch = 60 * kDegree;
        camera.bearing = -std::numbers::pi / 2;
        canvas->applyCamera(camera, true);
        const auto tile = gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte> {
            std::byte {200}, std::byte {120}, std::byte {40}, std::byte {255}});
        const auto deliverTiles = [&] {
            for (const TileKey& key : renderer.desired) {
                const auto& wanted = std::get<TileKey::WebTile>(key.value);
                const TileKey standIn
                    = TileKey::webTile(wanted.source, wanted.z - coarser, wanted.x >> coarser, wanted.y >> coarser);
                if (!cache->contains(standIn))
                    cache->insert(tile, standIn);
            }
        };
        for (int frame = 0; frame < 4; ++frame) {
            renderer.updateFrame(clock->now());
            deliverTiles();
            runFor(*canvas, 1);
        }
        renderer.updateFrame(clock->now());
        const auto liveFrame = renderer.renderOffscreen(480, 320);
        ASSERT_TRUE(liveFrame);
        const platform::Image live = textureImage(*liveFrame);
        ASSERT_LT(clearShare(live, camera.pitch), 0.01) << "the tiles cover the live view's ground";

        canvas->startFlight(placeAt(summit, "Cône"), true);
        ASSERT_TRUE(canvas->flight() && canvas->flight()->prepared);
        const auto prepared = canvas->flight()->prepared;
        for (int second = 0; second < 120 && canvas->flight() && !prepared->isComplete(); ++second) {
            runFor(*canvas, 1);
            deliverTiles();
        }
        ASSERT_TRUE(prepared->isComplete()) << "taken with its stand-ins";
        // Each prepared frame beside the live view at its camera, drawn from the same tiles.
        std::vector<platform::Image> strip;
        std::vector<platform::Image> dumps;
        for (double t : {2.0, 6.0, 8.0, 20.0}) {
            const auto* frame = prepared->frame(t);
            ASSERT_TRUE(frame);
            frame->scene.restore(renderer);
            const auto drawn = renderer.renderOffscreen(480, 320);
            ASSERT_TRUE(drawn);
            strip.push_back(textureImage(*drawn));
            const double undrawn = clearShare(strip.back(), frame->scene.camera.pitch);

            // The screen plays the frame at a share of its pixels, the dump writes it at half.
            const Camera::Size view = frame->scene.camera.viewSize;
            gpu::RenderTarget screen(*context, int(view.width), int(view.height));
            frame->scene.restore(renderer);
            canvas->drawFrame(screen.framebuffer());
            const double undrawnOnScreen = clearShare(textureImage(screen), frame->scene.camera.pitch);
            frame->scene.restore(renderer);
            clock->advance(1);
            canvas->dumpFrame();
            const auto dumped = newestDump(dump);
            ASSERT_TRUE(dumped) << t;
            const double undrawnInDump = clearShare(*dumped, frame->scene.camera.pitch);
            dumps.push_back(*dumped);

            renderer.heldFlightScene.reset();
            renderer.preparedFlightCamera.reset();
            renderer.camera = frame->scene.camera;
            for (int pass = 0; pass < 3; ++pass) {
                clock->advance(1);
                renderer.updateFrame(clock->now());
                renderer.preparedFlightCamera.reset();
                deliverTiles();
            }
            const auto liveAtCamera = renderer.renderOffscreen(480, 320);
            ASSERT_TRUE(liveAtCamera);
            strip.push_back(textureImage(*liveAtCamera));
            const double undrawnLive = clearShare(strip.back(), frame->scene.camera.pitch);
            // A prepared frame takes its tiles one level coarser: the far horizon's outline may
            // differ by a few pixels, a hole would not.
            EXPECT_LE(undrawn, undrawnLive + 0.005)
                << "the prepared frame at " << t << " s leaves ground undrawn that the live view draws";
            EXPECT_LE(undrawnOnScreen, undrawnLive + 0.01) << "on screen at " << t << " s";
            // The dump is a JPEG: its edges blur into the sky's colour a little.
            EXPECT_LE(undrawnInDump, undrawnLive + 0.02) << "in the dump at " << t << " s";
        }
        writeStrip({strip.begin(), strip.begin() + 4}, ("flight-frames-" + name + ".png").c_str());
        writeStrip({strip.begin() + 4, strip.end()}, ("flight-frames-" + name + "-2.png").c_str());
        writeStrip(dumps, ("flight-frames-" + name + "-dumped.png").c_str());
    }
}

// A pitched canvas whose tile loader fetches from a loopback server that answers every file
// with "not found" after 20 ms, so that a preload runs through its list at once.
class FlightPreload : public FlightTest {
protected:
    testing_support::LoopbackServer server;
    std::shared_ptr<DiskStore> store = std::make_shared<DiskStore>(folder / "tiles", folder / "offline");
    std::shared_ptr<platform::HttpSession> session = std::make_shared<platform::HttpSession>();
    std::shared_ptr<TextureCache> cache = std::make_shared<TextureCache>(clock);
    std::shared_ptr<TileLoader> loader;
    std::shared_ptr<MapCanvasView> canvas;

    void SetUp() override
    {
        server.route("/*", server.delayed(0.02, testing_support::LoopbackServer::reply(404)));
        TileLoader::Dependencies dependencies;
        dependencies.store = store;
        dependencies.cache = cache;
        dependencies.session = session;
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = dependencies.hosts.terrariumHost = "127.0.0.1:" + std::to_string(server.port());
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        loader = std::make_shared<TileLoader>(std::move(dependencies));
        canvas = makeCanvas({"velorin"}, {SheetCatalog {}, loader, cache, {}, {}, {}});
        canvas->setBasemap(Basemap::planIGN);
        viewMassif(*canvas);
        runFrames(*canvas);
    }

    void TearDown() override
    {
        canvas.reset();
        loader.reset();
    }

    // Runs the main queue's tasks for up to `seconds` of real time, until `done` holds.
    bool pumpUntil(const std::function<bool()>& done, double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done() && std::chrono::steady_clock::now() < until)
            mainQueue->runOneWaiting(0.01);
        return done();
    }

    // The requests (path and query) of a preload list's map tiles.
    std::set<std::string> paths(const MapCanvasView::FlightPreloadList& list) const
    {
        std::set<std::string> found;
        for (const TileKey& key : list.tiles) {
            if (auto item = loader->preloadItem(key)) {
                const std::string& url = item->url;
                const auto start = url.find('/', url.find("//") + 2);
                found.insert(url.substr(start));
            }
        }
        return found;
    }
};

TEST_F(FlightPreload, EachReportWakesTheFlightAndASecondFlightOrTheEndCancelsThePreload)
{
    canvas->startFlight(placeAt(north(eyeGround(*canvas), 20000)), false);
    ASSERT_TRUE(canvas->flight());
    const auto first = canvas->flightPreloadList(*canvas->flight());
    ASSERT_GT(first.tiles.size(), 40u);
    const std::string firstId = canvas->flight()->id;
    const std::set<std::string> firstPaths = paths(first);
    const auto requestedOf = [&](const std::set<std::string>& wanted, std::size_t from) {
        const auto seen = server.requests();
        return std::size_t(std::count_if(seen.begin() + std::ptrdiff_t(std::min(from, seen.size())), seen.end(),
            [&](const auto& request) { return wanted.contains(request.target); }));
    };
    EXPECT_TRUE(pumpUntil([&] { return requestedOf(firstPaths, 0) > 0; }, 10)) << "its tiles are fetched ahead";

    // A second flight, the other way, replaces the preload: the first asks for nothing more
    // than the transfers it had under way.
    const std::size_t before = server.requests().size();
    canvas->startFlight(placeAt(north(eyeGround(*canvas), -20000)), false);
    const auto second = canvas->flightPreloadList(*canvas->flight());
    const std::set<std::string> firstOnly = [&] {
        std::set<std::string> only = paths(first);
        for (const std::string& path : paths(second))
            only.erase(path);
        return only;
    }();
    ASSERT_GT(firstOnly.size(), std::size_t(4 * FileBatchDownload::kMaxConcurrentDownloads));
    const std::set<std::string> secondPaths = paths(second);
    EXPECT_TRUE(pumpUntil([&] { return requestedOf(secondPaths, before) >= secondPaths.size() / 2; }, 20))
        << "the second flight's tiles are fetched";
    // Those of the first that were under way may still arrive, and the flight's own frames
    // ask the loader for theirs.
    EXPECT_LE(requestedOf(firstOnly, before), std::size_t(2 * FileBatchDownload::kMaxConcurrentDownloads))
        << "the first preload stopped";

    // A report wakes the resting frame loop only for the flight that asked for it, or with
    // no flight for a preload that had none.
    canvas->endFlight();
    runFrames(*canvas);
    ASSERT_FALSE(window.linkRunning);
    canvas->flightPreloadProgress(firstId);
    EXPECT_FALSE(window.linkRunning) << "a report of a flight gone";
    canvas->flightPreloadProgress("");
    EXPECT_TRUE(window.linkRunning);
}

} // namespace
} // namespace velorin
