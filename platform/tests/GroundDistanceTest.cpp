#include "platform/GroundDistance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using platform::GroundCircle;

// A scan asks the circle instead of measuring: both must agree on every side of its edge,
// across the antimeridian and near the poles.
TEST(GroundCircle, HoldsWhatGroundDistancePutsWithinItsRadius)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> offset(-0.0006, 0.0006);
    struct Centre {
        double latitude, longitude;
    };
    int inside = 0;
    for (const Centre centre : {Centre {45.9, 6.9}, Centre {-33.4, 179.9998}, Centre {89.9995, 12}, Centre {0, -180}}) {
        const GroundCircle circle(centre.latitude, centre.longitude, 30);
        for (int i = 0; i < 5000; ++i) {
            const double latitude = std::clamp(centre.latitude + offset(random), -90.0, 90.0);
            const double longitude = centre.longitude + offset(random) * 4;
            const bool within = platform::groundDistance(centre.latitude, centre.longitude, latitude, longitude) <= 30;
            inside += within;
            ASSERT_EQ(circle.contains(latitude, longitude), within) << centre.latitude << ' ' << latitude << ' ' << longitude;
        }
    }
    EXPECT_GT(inside, 100) << "the table tests both sides of the edge";
}

TEST(GroundCircle, ANegativeOrMissingRadiusHoldsNothingAndHalfTheWorldHoldsAll)
{
    EXPECT_TRUE(GroundCircle(45, 6, 0).contains(45, 6));
    EXPECT_FALSE(GroundCircle(45, 6, -1).contains(45, 6));
    EXPECT_FALSE(GroundCircle(45, 6, std::numeric_limits<double>::quiet_NaN()).contains(45, 6));
    EXPECT_TRUE(GroundCircle(45, 6, 2.1e7).contains(-45, -174)) << "the antipode";
    EXPECT_FALSE(GroundCircle(45, 6, 30).contains(std::numeric_limits<double>::quiet_NaN(), 6));
}
