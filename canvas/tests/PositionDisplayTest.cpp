#include "CanvasTestSupport.h"

#include "map-data/WorldPoint.h"

#include <cmath>
#include <numbers>

namespace {

using testing_support::CanvasTest;
using velorin::MapCanvasView;
using velorin::WorldPoint;

constexpr double kLatitude = 45.0;
constexpr double kLongitude = 6.5;

platform::LocationFix fixAt(double accuracy, double latitude = kLatitude, double longitude = kLongitude)
{
    platform::LocationFix fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.horizontalAccuracy = accuracy;
    return fix;
}

// log2 of the world's ground width at `latitude` over `metersPerPixel` 256-pixel tiles.
double zoomAt(double latitude, double metersPerPixel)
{
    return std::log2(std::cos(latitude * std::numbers::pi / 180) * 40075016.6855785 / metersPerPixel / 256);
}

class PositionDisplayTest : public CanvasTest {
protected:
    // A canvas whose catalogue is one sheet over the western Alps, so that the middle of
    // the Atlantic lies out of reach.
    std::shared_ptr<MapCanvasView> makeAlpineCanvas(std::vector<std::string> arguments = {"velorin"})
    {
        velorin::Sheet sheet;
        sheet.name = "Alpes";
        const WorldPoint northWest = WorldPoint::fromLatitudeLongitude(46.5, 5.5);
        const WorldPoint southEast = WorldPoint::fromLatitudeLongitude(44, 8);
        sheet.worldRect = {northWest.x, northWest.y, southEast.x, southEast.y};
        MapCanvasView::Environment environment {
            clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", std::move(arguments), {}};
        auto made = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services{velorin::SheetCatalog{{sheet}}, {}, {}, {}, {}, {}}, std::move(environment));
        EXPECT_TRUE(made);
        return made;
    }

    std::shared_ptr<MapCanvasView> canvas = makeAlpineCanvas();

    double fitTime = 0;

    // The first fit happens now, so the wait for a position ends 20 s later.
    void fitNow()
    {
        fitTime = clock->now();
        canvas->layout();
    }
    void secondsAfterFit(double seconds) { clock->advance(fitTime + seconds - clock->now()); }
};

TEST_F(PositionDisplayTest, TheZoomForAFixShowsAGoodOneClosely)
{
    window.bounds = {500, 400}; // 1000 pixels wide at scale 2
    struct Case {
        double accuracy;
        double latitude;
        double expected;
    };
    const Case cases[] = {
        {100, 45, zoomAt(45, 2.5)},
        {250, 0, zoomAt(0, 2.5)},
        // Six times the accuracy across 1000 pixels: 30 m a pixel.
        {5000, 45, std::max(11.0, zoomAt(45, 30))},
        // Wider than zoom 11 is never shown.
        {50000, 45, 11},
        // A fix just past the good range is never shown closer than 2.5 m a pixel.
        {251, 45, std::min(std::max(11.0, zoomAt(45, 6 * 251 / 1000.0)), zoomAt(45, 2.5))},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(canvas->zoomForFix(c.accuracy, c.latitude), c.expected, 1e-9) << c.accuracy << " m";
}

TEST_F(PositionDisplayTest, AGoodFirstFixJumpsThereOnceAndLaterFixesDoNotMove)
{
    fitNow();
    secondsAfterFit(6);
    ASSERT_TRUE(canvas->handleInitialLocation(fixAt(35)));
    const WorldPoint expected = WorldPoint::fromLatitudeLongitude(kLatitude, kLongitude);
    EXPECT_NEAR(canvas->camera().center.x, expected.x, 1e-12);
    EXPECT_NEAR(canvas->camera().center.y, expected.y, 1e-12);
    EXPECT_NEAR(canvas->camera().zoom, 15.43, 0.005);
    EXPECT_FALSE(canvas->animation());

    EXPECT_FALSE(canvas->handleInitialLocation(fixAt(5, 46, 7)));
    EXPECT_NEAR(canvas->camera().center.x, expected.x, 1e-12);
}

TEST_F(PositionDisplayTest, APoorFixWaitsUntilTheLastEightSeconds)
{
    fitNow();
    secondsAfterFit(5);
    EXPECT_FALSE(canvas->handleInitialLocation(fixAt(400)));
    EXPECT_TRUE(canvas->awaitingInitialLocation());

    secondsAfterFit(13);
    ASSERT_TRUE(canvas->handleInitialLocation(fixAt(400)));
    EXPECT_FALSE(canvas->awaitingInitialLocation());
    EXPECT_NEAR(canvas->camera().zoom, canvas->zoomForFix(400, kLatitude), 1e-9);
}

TEST_F(PositionDisplayTest, TheWaitEndsWithoutAMoveForLateUnreachableOrEarlyFixes)
{
    struct Case {
        const char* name;
        bool fitted;
        double seconds;
        platform::LocationFix fix;
        bool stillWaiting;
    };
    const Case cases[] = {
        {"after the deadline", true, 21, fixAt(35), false},
        {"in the Atlantic", true, 6, fixAt(35, 45, -30), false},
        {"without an accuracy", true, 6, fixAt(-1), true},
        {"without coordinates", true, 6, fixAt(35, NAN, kLongitude), true},
        {"before the first fit", false, 6, fixAt(35), true},
    };
    for (const Case& c : cases) {
        canvas = makeAlpineCanvas();
        fitTime = clock->now();
        if (c.fitted)
            fitNow();
        const velorin::Camera before = canvas->camera();
        secondsAfterFit(c.seconds);
        EXPECT_FALSE(canvas->handleInitialLocation(c.fix)) << c.name;
        EXPECT_EQ(canvas->awaitingInitialLocation(), c.stillWaiting) << c.name;
        EXPECT_EQ(canvas->camera().center, before.center) << c.name;
        EXPECT_EQ(canvas->camera().zoom, before.zoom) << c.name;
    }
}

TEST_F(PositionDisplayTest, AStartViewLeavesNoWaitForAPosition)
{
    canvas = makeAlpineCanvas({"velorin", "-startAt", "45,6.5,12"});
    fitNow();
    EXPECT_FALSE(canvas->handleInitialLocation(fixAt(35)));
    EXPECT_EQ(canvas->camera().zoom, 12);
}

TEST_F(PositionDisplayTest, TheMarkerShowsTheFixWithAPositiveAccuracyAndGoesWithNone)
{
    fitNow();
    runFrames(*canvas);
    canvas->setUserLocation(fixAt(-1, 89, kLongitude));
    ASSERT_TRUE(canvas->renderer().userLocation);
    EXPECT_EQ(canvas->renderer().userLocation->accuracy, 0);
    EXPECT_NEAR(canvas->renderer().userLocation->world.latitude(), 85.05112878, 1e-8);
    EXPECT_TRUE(window.linkRunning);

    canvas->setUserLocation(fixAt(12));
    EXPECT_EQ(canvas->renderer().userLocation->accuracy, 12);
    canvas->setUserLocation(fixAt(INFINITY));
    EXPECT_EQ(canvas->renderer().userLocation->accuracy, 0);

    canvas->setUserLocation(std::nullopt);
    EXPECT_FALSE(canvas->renderer().userLocation);
    canvas->setUserLocation(fixAt(12));
    canvas->setUserLocation(fixAt(12, NAN, NAN));
    EXPECT_FALSE(canvas->renderer().userLocation);
}

} // namespace
