#include "renderer/Sky.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using velorin::Camera;
using velorin::SolidVertex;
using velorin::Sky;

namespace {

Camera pitched(double pitch)
{
    Camera camera;
    camera.viewSize = {400, 300};
    camera.focalLength = 1.5;
    camera.pitch = pitch;
    return camera;
}

} // namespace

TEST(Sky, ClearColourBlendsFromTheFlatMapColourToTheHorizonByTwentyDegrees)
{
    struct Case {
        double pitch;
        std::array<double, 4> rgba;
    };
    const double tenDegrees = Sky::kHorizonClearPitchRadians / 2;
    const Case cases[] = {
        {0, {0.11, 0.145, 0.22, 1}},
        {tenDegrees, {(0.11 + 0.56) / 2, (0.145 + 0.73) / 2, (0.22 + 0.93) / 2, 1}},
        {Sky::kHorizonClearPitchRadians, {0.56, 0.73, 0.93, 1}},
        {1.2, {0.56, 0.73, 0.93, 1}},
    };
    for (const Case& c : cases) {
        const auto color = Sky::clearColor(c.pitch);
        for (std::size_t channel = 0; channel < 4; ++channel)
            EXPECT_NEAR(color[channel], c.rgba[channel], 1e-12) << "pitch " << c.pitch;
    }
}

TEST(Sky, NoSkyAtOrBelowTheMinimumPitchOrInAnEmptyView)
{
    EXPECT_TRUE(Sky::vertices(pitched(0)).empty());
    EXPECT_TRUE(Sky::vertices(pitched(0.05)).empty());
    Camera empty = pitched(1.2);
    empty.viewSize = {400, 0};
    EXPECT_TRUE(Sky::vertices(empty).empty());
    // At 0.3 rad the horizon is far above the view.
    EXPECT_TRUE(Sky::vertices(pitched(0.3)).empty());
}

TEST(Sky, BandsRunFromTheBottomOfTheViewThroughTheHorizonToPastItsTop)
{
    const Camera camera = pitched(1.3);
    const auto vertices = Sky::vertices(camera);
    ASSERT_FALSE(vertices.empty());
    ASSERT_EQ(vertices.size() % 6, 0u);
    // The first band starts at the bottom edge in the horizon colour.
    EXPECT_FLOAT_EQ(vertices[0].y, -1);
    EXPECT_FLOAT_EQ(vertices[0].b, 0.93f);
    // Its top is the horizon, f·tan(90° − pitch) above the centre.
    const double horizon = camera.focalDistance() * std::tan(std::numbers::pi / 2 - camera.pitch) / 150;
    EXPECT_NEAR(vertices[2].y, horizon, 1e-5);
    // Each band starts where the previous one ended, and the last one passes the top.
    for (std::size_t band = 6; band < vertices.size(); band += 6)
        EXPECT_FLOAT_EQ(vertices[band].y, vertices[band - 4].y);
    EXPECT_GT(vertices.back().y, 1);
    for (const SolidVertex& vertex : vertices) {
        EXPECT_EQ(vertex.z, 0);
        EXPECT_EQ(vertex.a, 1);
        EXPECT_TRUE(vertex.x == -1 || vertex.x == 1);
    }
}
