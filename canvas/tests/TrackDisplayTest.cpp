#include "CanvasTestSupport.h"

#include "recordings/TrackSmoothing.h"

#include <cmath>

namespace velorin {
namespace {

using testing_support::CanvasTest;

// A canvas at rest over the Alps at zoom 13, 1000×800 pixels.
class TrackDisplay : public CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;

    void SetUp() override
    {
        defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.9, 6.87, 13}));
        canvas = makeCanvas();
        canvas->layout();
        runFrames(*canvas);
    }

    static WorldPoint at(double latitude, double longitude)
    {
        return WorldPoint::fromLatitudeLongitude(latitude, longitude);
    }
};

TEST_F(TrackDisplay, TheTrackIsDrawnSmoothedWithItsPausesAndAnEmptyOneClearsIt)
{
    const std::vector<TrackDisplayPoint> points {{at(45.9, 6.87), TravelMode::walking},
        {at(45.91, 6.88), TravelMode::walking}, {at(45.92, 6.87), TravelMode::cycling}, {at(45.93, 6.89), std::nullopt}};
    TrackPause pause;
    pause.latitude = 45.91;
    pause.longitude = 6.88;
    const int draws = window.draws;
    canvas->setTrack(points, {pause});
    EXPECT_EQ(canvas->renderer().trackPoints, smoothed(points, 2));
    EXPECT_EQ(canvas->renderer().trackPoints.size(), 16u) << "two rounds of corner cutting";
    EXPECT_EQ(canvas->pauses(), std::vector {pause});
    runFrames(*canvas);
    EXPECT_GT(window.draws, draws) << "the map draws the new track";

    canvas->setTrack({}, {});
    EXPECT_TRUE(canvas->renderer().trackPoints.empty());
    EXPECT_TRUE(canvas->pauses().empty());
}

TEST_F(TrackDisplay, PointsAreFramedWideningTheirBoundsAndKeepingAMargin)
{
    const std::vector<WorldPoint> walk {at(45.80, 6.80), at(45.85, 6.95), at(45.90, 6.85)};
    canvas->fit(walk);
    runFrames(*canvas);
    const WorldRect bounds = WorldRect::boundingRect(walk);
    EXPECT_NEAR(canvas->camera().center.x, (bounds.minX + bounds.maxX) / 2, 1e-12);
    EXPECT_NEAR(canvas->camera().center.y, (bounds.minY + bounds.maxY) / 2, 1e-12);
    // 1000×800 pixels less a 60-point (120-pixel) margin each side, over bounds 16 % larger.
    const double byWidth = std::log2(760 / (1.16 * (bounds.maxX - bounds.minX)) / 256);
    const double byHeight = std::log2(560 / (1.16 * (bounds.maxY - bounds.minY)) / 256);
    EXPECT_NEAR(canvas->camera().zoom, std::min(byWidth, byHeight), 1e-9);
    EXPECT_FALSE(canvas->awaitingInitialLocation()) << "a first fix no longer takes the view away";
}

TEST_F(TrackDisplay, FramingOnePointKeepsTheZoomWithinItsLimitsAndNoPointMovesNothing)
{
    const Camera before = canvas->camera();
    canvas->fit(std::vector<WorldPoint> {});
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->camera(), before);

    Camera close = before;
    close.zoom = canvas->maxZoom();
    canvas->applyCamera(close, true);
    canvas->fit(std::vector {at(45.95, 6.9)});
    runFrames(*canvas);
    EXPECT_NEAR(canvas->camera().center.x, at(45.95, 6.9).x, 1e-12);
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, canvas->maxZoom());
}

} // namespace
} // namespace velorin
