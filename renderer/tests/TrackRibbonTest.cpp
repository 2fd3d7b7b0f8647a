#include "renderer/TrackRibbon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using velorin::Camera;
using velorin::SolidVertex;
using velorin::TrackDisplayPoint;
using velorin::TrackRibbon;
using velorin::TravelMode;
using velorin::WorldPoint;

namespace {

constexpr double kWidth = 800;
constexpr double kHeight = 600;

Camera flatCamera()
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
    camera.zoom = 15;
    camera.viewSize = {kWidth, kHeight};
    return camera;
}

// The track point `dx`, `dy` screen pixels from the centre of a flat north-up camera.
TrackDisplayPoint at(double dx, double dy, std::optional<TravelMode> mode = TravelMode::walking)
{
    const Camera camera = flatCamera();
    return {{camera.center.x + dx / camera.scale(), camera.center.y + dy / camera.scale()}, mode};
}

std::vector<SolidVertex> ribbon(const Camera& camera, const std::vector<TrackDisplayPoint>& points, double scale)
{
    std::vector<SolidVertex> vertices;
    TrackRibbon::append(camera, points, scale, nullptr, vertices);
    return vertices;
}

// The vertical extent in pixels of a run of vertices.
double heightOf(std::span<const SolidVertex> vertices)
{
    float top = std::numeric_limits<float>::max();
    float bottom = std::numeric_limits<float>::lowest();
    for (const SolidVertex& vertex : vertices) {
        top = std::min(top, vertex.y);
        bottom = std::max(bottom, vertex.y);
    }
    return double(bottom - top) * kHeight / 2;
}

bool hasColor(const SolidVertex& vertex, const velorin::OverlayMesh::Color& color)
{
    return vertex.r == color[0] && vertex.g == color[1] && vertex.b == color[2] && vertex.a == color[3];
}

} // namespace

TEST(TrackRibbon, ModesAreColouredByHowTheWalkerMoved)
{
    for (TravelMode moving : {TravelMode::walking, TravelMode::running, TravelMode::cycling})
        EXPECT_EQ(TrackRibbon::color(moving), (velorin::OverlayMesh::Color{0.16f, 0.78f, 0.35f, 1}));
    for (TravelMode other : {TravelMode::stationary, TravelMode::automotive})
        EXPECT_EQ(TrackRibbon::color(other), (velorin::OverlayMesh::Color{0.15f, 0.52f, 1.0f, 1}));
    EXPECT_EQ(TrackRibbon::color(std::nullopt), (velorin::OverlayMesh::Color{1.0f, 0.36f, 0.05f, 1}));
}

TEST(TrackRibbon, PointsWithinTwoPixelsOfTheLastKeptOneAreDropped)
{
    const auto kept = TrackRibbon::keptPoints(
        flatCamera(), {at(0, 0), at(1, 0), at(1.9, 0), at(2.5, 0), at(3.5, 0), at(4.6, 0)}, nullptr);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_NEAR(kept[0].screen.x, kWidth / 2, 1e-6);
    EXPECT_NEAR(kept[1].screen.x, kWidth / 2 + 2.5, 1e-6) << "measured from the last kept point, not the last seen";
    EXPECT_NEAR(kept[2].screen.x, kWidth / 2 + 4.6, 1e-6);
    EXPECT_EQ(kept[0].depth, 1) << "a flat map draws the ribbon at depth 1";
}

TEST(TrackRibbon, TheEdgeShowsOnEachSideOfAStripColouredByItsStartPoint)
{
    constexpr double kScale = 2;
    const auto vertices = ribbon(flatCamera(), {at(-100, 0, TravelMode::cycling), at(100, 0, std::nullopt)}, kScale);
    // One segment: the edge, the coloured strip, then the start's white ring and dot.
    ASSERT_EQ(vertices.size(), 6u + 6u + 48u + 48u);
    const std::span<const SolidVertex> edge(vertices.data(), 6);
    const std::span<const SolidVertex> strip(vertices.data() + 6, 6);
    EXPECT_NEAR(heightOf(edge), 6.5 * kScale, 1e-3);
    EXPECT_NEAR(heightOf(strip), 4 * kScale, 1e-3);
    EXPECT_TRUE(std::all_of(edge.begin(), edge.end(), [](auto& v) { return hasColor(v, TrackRibbon::kEdgeColor); }));
    EXPECT_TRUE(std::all_of(strip.begin(), strip.end(),
        [](auto& v) { return hasColor(v, TrackRibbon::color(TravelMode::cycling)); }));
    EXPECT_TRUE(hasColor(vertices[12], TrackRibbon::kStartRingColor));
    EXPECT_TRUE(hasColor(vertices[60], TrackRibbon::color(TravelMode::cycling)));
}

TEST(TrackRibbon, JoinsAndStartDiscsShowOnlyWhenLargeEnough)
{
    struct Case {
        double scale;
        std::size_t vertices;
    };
    const std::vector<TrackDisplayPoint> bend{at(-100, 0), at(0, 0), at(0, 100)};
    // Two segments per strip (12), a 6-segment join at the bend per strip (18), the start's
    // ring and dot (48 each).
    for (const Case c : {Case{2, 2 * (12 + 18) + 96}, Case{0.15, 2 * 12 + 48}, Case{0.1, 2 * 12}})
        EXPECT_EQ(ribbon(flatCamera(), bend, c.scale).size(), c.vertices) << c.scale;
}

TEST(TrackRibbon, ASingleKeptPointIsADiscOfFivePoints)
{
    const auto vertices = ribbon(flatCamera(), {at(10, 10), at(11, 10), at(10, 11.5)}, 2);
    ASSERT_EQ(vertices.size(), 48u);
    EXPECT_NEAR(heightOf(vertices), 2 * 5 * 2, 1e-3);
    EXPECT_TRUE(std::all_of(vertices.begin(), vertices.end(), [](auto& v) { return v.z == 1; }));
}

TEST(TrackRibbon, PointsBehindTheEyeBreakTheRibbonSoALoneVisibleStartDrawsOnlyItsMarker)
{
    Camera camera = flatCamera();
    camera.pitch = 1.2;
    // The eye is f·sin(pitch), about 839 pixels, south of the centre: these lie behind it.
    const auto vertices = ribbon(camera, {at(0, 0), at(0, 3000), at(10, 3100), at(20, 3200)}, 2);
    EXPECT_EQ(vertices.size(), 96u) << "no strip, only the start's ring and dot";

    const auto kept = TrackRibbon::keptPoints(camera, {at(0, 0), at(0, 3000)}, nullptr);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_FALSE(kept[0].hidden);
    EXPECT_LT(kept[0].depth, 1) << "a pitched ribbon takes its depth from the view";
    EXPECT_TRUE(kept[1].hidden);
    EXPECT_EQ(kept[1].screen.x, Camera::kOffscreenCoordinate);
}
