#include "TrackFixtures.h"
#include "recordings/TrackSmoothing.h"

#include <gtest/gtest.h>

using namespace velorin;
using namespace track_fixtures;

namespace {

// Display points of a walk given as (east, north) metres.
std::vector<TrackDisplayPoint> walk(std::initializer_list<std::pair<double, double>> metres)
{
    std::vector<TrackPoint> points;
    for (auto [east, north] : metres)
        points.push_back(point(north, east, static_cast<double>(points.size()), std::nullopt, TravelMode::walking));
    return track(points).displayPoints();
}

std::vector<TrackDisplayPoint> without(std::vector<TrackDisplayPoint> points, std::initializer_list<std::size_t> indices)
{
    for (auto index = std::rbegin(indices); index != std::rend(indices); ++index)
        points.erase(points.begin() + static_cast<std::ptrdiff_t>(*index));
    return points;
}

} // namespace

TEST(TrackSmoothing, ShortLinesAreCornerCutWithoutCleanUpAndKeepTheirEnds)
{
    const auto two = walk({{0, 0}, {1, 1}});
    EXPECT_EQ(smoothed(two, 3), two);

    std::vector<TrackDisplayPoint> three{{{0, 0}, TravelMode::walking}, {{4, 0}, TravelMode::cycling}, {{4, 8}, std::nullopt}};
    const std::vector<TrackDisplayPoint> cut{{{0, 0}, TravelMode::walking}, {{1, 0}, TravelMode::walking},
        {{3, 0}, TravelMode::walking}, {{4, 2}, TravelMode::cycling}, {{4, 6}, TravelMode::cycling}, {{4, 8}, std::nullopt}};
    EXPECT_EQ(smoothed(three, 1), cut);
    EXPECT_EQ(smoothed(three, 0), three);
    EXPECT_EQ(smoothed(three, 2).size(), 12u);
    EXPECT_EQ(smoothed(three, 2).back(), three.back());
}

TEST(TrackSmoothing, CleanUpCutsSmallLoopsAndSpikesButNotRealDetours)
{
    // A road east in 40 m steps, with excursions north from the point at 80 m.
    const auto straight = walk({{0, 0}, {40, 0}, {80, 0}, {120, 0}, {160, 0}, {200, 0}, {240, 0}});
    EXPECT_EQ(smoothed(straight, 0), straight);

    const auto outAndBack = walk({{0, 0}, {40, 0}, {80, 0}, {80, 10}, {80, 20}, {80, 10}, {80, 2}, {120, 0}, {160, 0}});
    EXPECT_EQ(smoothed(outAndBack, 0), without(outAndBack, {3, 4, 5}))
        << "20 m out, back within 12 m after 38 m of path";

    const auto detour = walk({{0, 0}, {40, 0}, {80, 0}, {80, 20}, {80, 45}, {80, 70}, {100, 45}, {100, 20}, {82, 2},
        {120, 0}, {160, 0}});
    EXPECT_EQ(smoothed(detour, 0), detour) << "70 m out three points along: the look-ahead stops at 60 m";

    // A spike two points long, 70 m out: cut where the usual step is short, kept where a
    // 70 m step is ordinary.
    const auto shortSteps = walk({{0, 0}, {5, 0}, {10, 0}, {15, 0}, {15, 70}, {23, 0}, {28, 0}, {33, 0}, {38, 0}});
    EXPECT_EQ(smoothed(shortSteps, 0), without(shortSteps, {4}));
    const auto longSteps = walk({{0, 0}, {40, 0}, {80, 0}, {80, 70}, {81, 1}, {120, 0}, {160, 0}, {200, 0}});
    EXPECT_EQ(smoothed(longSteps, 0), longSteps);
}

TEST(TrackEdits, KeepOnFootKeepsTheLongestStretchNotDrivenAndTheEarlierOfEqualOnes)
{
    using M = std::optional<TravelMode>;
    const M W = TravelMode::walking, A = TravelMode::automotive, S = TravelMode::stationary;
    struct Case {
        std::vector<M> modes;
        IndexRange kept;
    };
    for (const auto& c : {
             Case{{W, A, W, W}, {2, 4}},
             Case{{W, A, W}, {0, 1}},
             Case{{A, std::nullopt, W, W, W}, {2, 5}},
             Case{{W, A, S, W}, {0, 1}},
             Case{{W, W, S, std::nullopt}, {0, 4}},
             Case{{A, A, S}, {0, 3}},
             Case{{}, {0, 0}},
         }) {
        std::vector<TrackPoint> points;
        for (const M& mode : c.modes)
            points.push_back(point(0, 0, 0, std::nullopt, mode));
        EXPECT_EQ(track(points).onFootRange(), c.kept) << points.size();
    }
}

TEST(TrackEdits, TrimEndsCutsLongWaitsAtEitherEnd)
{
    auto wait = [](double north, double start, double seconds) {
        std::vector<TrackPoint> points;
        for (int i = 0; i <= 10; ++i)
            points.push_back(point(north + (i % 2) * 10, 0, start + seconds * i / 10));
        return points;
    };
    auto walkNorth = [](double fromNorth, double start, int count) {
        std::vector<TrackPoint> points;
        for (int i = 1; i <= count; ++i)
            points.push_back(point(fromNorth + 100 * i, 0, start + 60 * i));
        return points;
    };
    auto concat = [](std::vector<TrackPoint> a, const std::vector<TrackPoint>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    const auto startsWaiting = concat(wait(0, 0, 600), walkNorth(0, 600, 5));
    EXPECT_EQ(track(startsWaiting).trimmedRange(300, 30), (IndexRange{10, 16})) << "the last waiting point stays";
    const auto shortWait = concat(wait(0, 0, 299), walkNorth(0, 299, 5));
    EXPECT_EQ(track(shortWait).trimmedRange(300, 30), (IndexRange{0, 16}));

    const auto endsWaiting = concat(walkNorth(-600, 0, 5), wait(0, 400, 900));
    EXPECT_EQ(track(endsWaiting).trimmedRange(300, 30), (IndexRange{0, 6})) << "the first waiting point stays";
    const auto both = concat(concat(wait(0, 0, 600), walkNorth(0, 600, 5)), wait(600, 1000, 900));
    EXPECT_EQ(track(both).trimmedRange(300, 30), (IndexRange{10, 17}));

    EXPECT_EQ(track(wait(0, 0, 3600)).trimmedRange(300, 30), (IndexRange{0, 11})) << "one wait end to end";
    EXPECT_EQ(track({point(0, 0, 0), point(0, 0, 900)}).trimmedRange(300, 30), (IndexRange{0, 2}));
}
