#include "TrackFixtures.h"

#include <gtest/gtest.h>

using namespace velorin;
using namespace track_fixtures;

namespace {

// A stay of points within `spreadMeters` of the first, `count` of them over `seconds`.
std::vector<TrackPoint> stay(double northMeters, double startSeconds, double seconds, double spreadMeters, int count = 11)
{
    std::vector<TrackPoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back(point(northMeters + (i % 2) * spreadMeters, 0, startSeconds + seconds * i / (count - 1)));
    return points;
}

std::vector<TrackPoint> joined(std::initializer_list<std::vector<TrackPoint>> parts)
{
    std::vector<TrackPoint> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TrackPause pauseLasting(double seconds)
{
    return {0, 45, 6, at(0), at(seconds)};
}

} // namespace

TEST(TrackGeometry, DisplayPointsClampTheLatitudeAndCarryTheLastMovingMode)
{
    Track walk = track({
        {89, 180, std::nullopt, at(0), 5, TravelMode::walking},
        {45, 6, std::nullopt, at(1), 5, std::nullopt},
        {45, 6, std::nullopt, at(2), 5, TravelMode::stationary},
        {45, 6, std::nullopt, at(3), 5, TravelMode::cycling},
    });
    const auto display = walk.displayPoints();
    ASSERT_EQ(display.size(), 4u);
    EXPECT_EQ(display[0].world, WorldPoint::fromLatitudeLongitude(kMaxMercatorLatitudeDegrees, 180));
    EXPECT_EQ(display[0].world.x, 1);
    EXPECT_NEAR(display[0].world.y, 0, 1e-9);
    std::vector<std::optional<TravelMode>> modes;
    for (const auto& shown : display)
        modes.push_back(shown.mode);
    EXPECT_EQ(modes, (std::vector<std::optional<TravelMode>>{
                         TravelMode::walking, TravelMode::walking, TravelMode::walking, TravelMode::cycling}));

    walk.points[0].mode = TravelMode::stationary;
    EXPECT_EQ(walk.displayPoints()[0].mode, std::nullopt) << "a track that starts stationary starts with no mode";
}

TEST(TrackGeometry, PausesAreStaysLongEnoughWithinTheRadiusOfTheirFirstPoint)
{
    const auto tenMinutes = track(stay(0, 0, 600, 25));
    const auto pauses = tenMinutes.pauses(300, 30);
    ASSERT_EQ(pauses.size(), 1u);
    EXPECT_EQ(pauses[0].id, 0);
    EXPECT_EQ(pauses[0].start, at(0));
    EXPECT_EQ(pauses[0].end, at(600));
    // Five of the eleven points stand 25 m north of the others.
    EXPECT_NEAR(pauses[0].latitude, kOriginLatitude + 25.0 * 5 / 11 / kMetersPerDegree, 1e-12)
        << "the mean of the stay's points";

    EXPECT_TRUE(track(stay(0, 0, 299, 25)).pauses(300, 30).empty()) << "299 s is not a pause";
    EXPECT_TRUE(track(stay(0, 0, 600, 31)).pauses(300, 30).empty());

    const TrackPoint anchor = point(0, 0, 0);
    TrackPoint edge = point(30, 0, 400);
    EXPECT_LE(anchor.distance(edge), 30.0);
    EXPECT_EQ(track({anchor, edge}).pauses(300, 30).size(), 1u) << "30 m from the anchor is still within";

    const auto twoStays = track(joined({stay(0, 0, 400, 10), stay(500, 1000, 400, 10)}));
    const auto both = twoStays.pauses(300, 30);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].id, 0);
    EXPECT_EQ(both[1].id, 1);
    EXPECT_EQ(both[1].start, at(1000));

    EXPECT_TRUE(track({}).pauses(300, 30).empty());
    EXPECT_TRUE(track({point(0, 0, 0)}).pauses(300, 30).empty());
}

TEST(TrackGeometry, PauseLabelsRoundToTheSecondAndTruncateToTheMinute)
{
    struct Case {
        double seconds;
        const char* label;
    };
    for (auto c : {Case{59.6, "1 min"}, Case{330, "5 min"}, Case{3599.4, "59 min"}, Case{3600, "1 h 00"},
             Case{3930, "1 h 05"}, Case{36000 + 59, "10 h 00"}}) {
        EXPECT_EQ(pauseLasting(c.seconds).label(), c.label) << c.seconds;
    }
}

TEST(TrackGeometry, MovingDurationLeavesOutThePausesButNeverGoesNegative)
{
    const auto walk = track(joined({stay(0, 0, 600, 10), {point(200, 0, 900), point(400, 0, 1200)}}), 1200);
    EXPECT_DOUBLE_EQ(walk.movingDuration(), 600);
    const auto overlong = track(stay(0, 0, 600, 10), 300);
    EXPECT_EQ(overlong.movingDuration(), 0);
}

TEST(TrackGeometry, ProfileSamplesPointsWithAltitudeAtTheDistanceWalked)
{
    const auto walk = track({point(0, 0, 0), point(100, 0, 1, 1000), point(200, 0, 2), point(300, 0, 3, 1010)});
    const auto profile = walk.profile();
    ASSERT_EQ(profile.size(), 2u);
    EXPECT_EQ(profile[0].id, 0);
    EXPECT_NEAR(profile[0].distance, 100, 1e-6) << "the first point has no altitude, its distance still counts";
    EXPECT_EQ(profile[0].altitude, 1000);
    EXPECT_EQ(profile[1].id, 1);
    EXPECT_NEAR(profile[1].distance, 300, 1e-6);
    EXPECT_TRUE(track({point(0, 0, 0), point(10, 0, 1)}).profile().empty());
}

TEST(TrackGeometry, StepLengthsScaleWorldUnitsToMetres)
{
    const std::vector<TrackDisplayPoint> points{{{0.5, 0.5}, {}}, {{0.5003, 0.5004}, {}}, {{0.5003, 0.5004}, {}}};
    const auto lengths = stepLengths(points, 1000);
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_NEAR(lengths[0], 0.5, 1e-9);
    EXPECT_EQ(lengths[1], 0);
    EXPECT_TRUE(stepLengths({points[0]}, 1000).empty());
    EXPECT_TRUE(stepLengths({}, 1000).empty());
}

TEST(TrackGeometry, DominantModeCountsMovingModesAndBreaksTiesTowardsTheWalker)
{
    using M = std::optional<TravelMode>;
    struct Case {
        std::vector<M> modes;
        M dominant;
    };
    const M walking = TravelMode::walking, running = TravelMode::running, cycling = TravelMode::cycling,
            automotive = TravelMode::automotive, stationary = TravelMode::stationary;
    for (const auto& c : {
             Case{{walking, automotive, automotive}, automotive},
             Case{{automotive, walking}, walking},
             Case{{cycling, automotive, automotive, cycling}, cycling},
             Case{{running, cycling}, running},
             Case{{stationary, stationary, stationary, cycling}, cycling},
             Case{{stationary, std::nullopt}, std::nullopt},
             Case{{}, std::nullopt},
         }) {
        std::vector<TrackPoint> points;
        for (const M& mode : c.modes)
            points.push_back(point(0, 0, 0, std::nullopt, mode));
        EXPECT_EQ(track(points).dominantMode(), c.dominant);
    }
}
