#include "renderer/DesiredTileBand.h"

#include <gtest/gtest.h>

#include <cmath>

using velorin::Camera;
using velorin::DesiredTileBand;
using velorin::WorldPoint;
using velorin::WorldRect;

namespace {

Camera camera(double pitch)
{
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
    camera.zoom = 16;
    camera.viewSize = {800, 600};
    camera.pitch = pitch;
    return camera;
}

} // namespace

TEST(DesiredTileBand, AFlatCameraHasOneWholeBand)
{
    const WorldRect rect{0.1, 0.2, 0.3, 0.4};
    EXPECT_EQ(DesiredTileBand::of(camera(0), rect, 3), (std::vector<DesiredTileBand>{{rect, 0, 0, true, 0}}));
}

TEST(DesiredTileBand, BandsRunFromFarToNearWithAtMostThreeFinerLevels)
{
    struct Case {
        int finerLevels, nearestDrop;
    };
    for (const Case c : {Case{5, -3}, Case{2, -2}, Case{-1, 0}}) {
        const auto bands = DesiredTileBand::of(camera(1.2), {}, c.finerLevels);
        ASSERT_GE(bands.size(), 2u) << c.finerLevels;
        const double f = camera(1.2).focalDistance();
        // Eight focal distances of sight: bands 3 (drawn as 4), 2, 1, 0, … down to the nearest.
        EXPECT_EQ(bands.front().drop, 4) << c.finerLevels;
        EXPECT_DOUBLE_EQ(bands.front().far, std::exp2(3.5) * f);
        EXPECT_EQ(bands.back().drop, c.nearestDrop) << c.finerLevels;
        EXPECT_EQ(bands.back().near, 0) << "the nearest band reaches the eye";
        for (std::size_t i = 1; i < bands.size(); ++i)
            EXPECT_DOUBLE_EQ(bands[i].far, bands[i - 1].near);
    }
}
