#include "library/ProfileAxis.h"
#include "library/ProfileSeries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using velorin::ProfilePoint;
using velorin::TrackProfileSample;
namespace ProfileAxis = velorin::ProfileAxis;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(ProfileSeries, AShortProfileIsDrawnWholeInKilometresWithoutItsDamagedSamples)
{
    const std::vector<TrackProfileSample> profile {
        { 0, 0, 1200 }, { 1, 500, kNaN }, { 2, 1000, 1250 }, { 3, kInfinity, 1300 }, { 4, 2500, 1180 },
    };
    EXPECT_EQ(velorin::profileSeries(profile, 400),
        (std::vector<ProfilePoint> { { 0, 1200 }, { 1, 1250 }, { 2.5, 1180 } }));
}

TEST(ProfileSeries, ALongProfileKeepsTheLowestAndHighestOfEachColumnInWalkingOrder)
{
    // 100 km, a sample every 10 m, waving by ±300 m with a lone summit and a lone valley.
    std::vector<TrackProfileSample> profile;
    for (int i = 0; i <= 10'000; ++i)
        profile.push_back({ i, 10.0 * i, 1500 + 300 * std::sin(i / 150.0) });
    profile[3333].altitude = 4808;
    profile[6666].altitude = 12;
    constexpr int kColumns = 300;
    const std::vector<ProfilePoint> drawn = velorin::profileSeries(profile, kColumns);

    EXPECT_LE(drawn.size(), std::size_t(2 * kColumns));
    EXPECT_GE(drawn.size(), std::size_t(kColumns));
    EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
        [](const ProfilePoint& a, const ProfilePoint& b) { return a.kilometers < b.kilometers; }));
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), ProfilePoint { 33.33, 4808 }), drawn.end()) << "the summit";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), ProfilePoint { 66.66, 12 }), drawn.end()) << "the valley";
    EXPECT_EQ(drawn.front(), (ProfilePoint { 0, 1500 })) << "the start is the first column's lowest";
}

TEST(ProfileAxis, MarksRoundValuesInsideTheSpan)
{
    struct Case {
        double lower, upper;
        int mostTicks;
        double finestStep;
        std::vector<double> ticks;
    };
    for (const Case& c : {
             Case { 1490, 1510, 5, 1, { 1490, 1495, 1500, 1505, 1510 } },
             Case { 850, 2150, 5, 1, { 1000, 1500, 2000 } },
             Case { 0, 12.3, 6, 0.1, { 0, 5, 10 } },
             Case { 0, 0.3, 6, 0.1, { 0, 0.1, 0.2, 0.3 } },
             Case { 0, 0.1, 6, 0.1, { 0, 0.1 } },
             Case { -3, 3, 5, 1, { -2, 0, 2 } },
             Case { 5, 5, 5, 1, {} },
             Case { 0, kNaN, 5, 1, {} },
             Case { 0, kInfinity, 5, 1, {} },
         }) {
        const std::vector<double> ticks = ProfileAxis::ticks(c.lower, c.upper, c.mostTicks, c.finestStep);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.lower << "…" << c.upper;
        for (std::size_t i = 0; i < ticks.size(); ++i)
            EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9) << c.lower << "…" << c.upper;
    }
}

TEST(ProfileAxis, LabelsAreFrenchWholeMetresAndKilometresWithAtMostOneDecimal)
{
    EXPECT_EQ(ProfileAxis::altitudeLabel(1499.5), "1500 m");
    EXPECT_EQ(ProfileAxis::altitudeLabel(-12.4), "-12 m");
    EXPECT_EQ(ProfileAxis::distanceLabel(0), "0 km");
    EXPECT_EQ(ProfileAxis::distanceLabel(2), "2 km");
    EXPECT_EQ(ProfileAxis::distanceLabel(2.5), "2,5 km");
    EXPECT_EQ(ProfileAxis::distanceLabel(0.30000000000000004), "0,3 km");
    EXPECT_EQ(ProfileAxis::distanceLabel(1500), "1\u202F500 km");
}
