#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using velorin::WorldPoint;
using velorin::WorldRect;

TEST(WorldPoint, LatitudeAndLongitudeRoundTrip)
{
    struct Case {
        double latitude, longitude;
    };
    for (auto c : { Case { 45.0, 6.0 }, Case { 0, 0 }, Case { -33.9, 151.2 }, Case { 85.05, -179.99 },
             Case { 42.69, 0.01 } }) {
        auto point = WorldPoint::fromLatitudeLongitude(c.latitude, c.longitude);
        EXPECT_NEAR(point.latitude(), c.latitude, 1e-9) << c.latitude << ", " << c.longitude;
        EXPECT_NEAR(point.longitude(), c.longitude, 1e-9) << c.latitude << ", " << c.longitude;
        EXPECT_GE(point.y, 0.0);
        EXPECT_LE(point.y, 1.0);
    }
    auto center = WorldPoint::fromLatitudeLongitude(0, 0);
    EXPECT_DOUBLE_EQ(center.x, 0.5);
    EXPECT_NEAR(center.y, 0.5, 1e-15);
}

TEST(WorldPoint, LatitudeIsClampedToTheMercatorSquareButLongitudeIsNotWrapped)
{
    struct Case {
        double latitude, longitude, x, y;
    };
    for (auto c : { Case { 90, 0, 0.5, 0 }, Case { -90, 0, 0.5, 1 }, Case { 89, 0, 0.5, 0 },
             Case { 0, 190, 370.0 / 360.0, 0.5 }, Case { 0, -200, -20.0 / 360.0, 0.5 } }) {
        auto point = WorldPoint::fromLatitudeLongitude(c.latitude, c.longitude);
        EXPECT_NEAR(point.x, c.x, 1e-12) << c.latitude << ", " << c.longitude;
        EXPECT_NEAR(point.y, c.y, 1e-9) << c.latitude << ", " << c.longitude;
    }
    EXPECT_NEAR(WorldPoint::fromLatitudeLongitude(90, 0).latitude(), velorin::kMaxMercatorLatitudeDegrees, 1e-8);
}

TEST(WorldPoint, GroundScaleFollowsTheParallelAndTheZoom)
{
    WorldPoint equator { 0.5, 0.5 };
    EXPECT_NEAR(equator.metersPerPixel(0), 156543.03392804103, 1e-6);
    EXPECT_NEAR(equator.metersPerWorldUnit(), velorin::kEarthCircumferenceMeters, 1e-6);
    auto alps = WorldPoint::fromLatitudeLongitude(45, 6);
    EXPECT_NEAR(alps.metersPerPixel(10), 108.1, 0.05);
    EXPECT_NEAR(alps.metersPerPixel(11) * 2, alps.metersPerPixel(10), 1e-9);
}

TEST(WorldPoint, SignedZerosAreEqualAndHashAlike)
{
    WorldPoint positive { 0.0, 0.0 };
    WorldPoint negative { -0.0, -0.0 };
    EXPECT_EQ(positive, negative);
    EXPECT_EQ(std::hash<WorldPoint>()(positive), std::hash<WorldPoint>()(negative));
    EXPECT_NE((WorldPoint { NAN, 0 }), (WorldPoint { NAN, 0 }));
    EXPECT_NE(std::hash<WorldPoint>()({ 0.25, 0.75 }), std::hash<WorldPoint>()({ 0.75, 0.25 }));
}

TEST(WorldRect, BoundingRectTakesTheExtremesOfEachAxis)
{
    std::vector<WorldPoint> points { { 0.2, 0.7 }, { 0.5, 0.1 }, { 0.3, 0.4 } };
    EXPECT_EQ(WorldRect::boundingRect(points), (WorldRect { 0.2, 0.1, 0.5, 0.7 }));
    std::vector<WorldPoint> one { { 0.3, 0.6 } };
    EXPECT_EQ(WorldRect::boundingRect(one), (WorldRect { 0.3, 0.6, 0.3, 0.6 }));
}
