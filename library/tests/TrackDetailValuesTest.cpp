#include "library/TrackDetailValues.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

using velorin::Track;
using velorin::TrackDetailValues;
using velorin::TrackEdit;
using velorin::TrackPoint;
using velorin::TravelMode;
using Domain = TrackDetailValues::AltitudeDomain;

namespace {

const platform::SystemTime kStart = platform::SystemTime(std::chrono::seconds(1'780'000'000));

// A point `north` metres up the meridian from the start, `seconds` after it.
TrackPoint pointAt(double north, double seconds, std::optional<double> altitude,
    std::optional<TravelMode> mode = TravelMode::walking)
{
    return { 45.9 + north / 111195.0, 6.9, altitude,
        kStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(seconds)),
        5, mode };
}

Track trackOf(std::vector<TrackPoint> points)
{
    Track track;
    track.metadata.name = "Lac Blanc";
    track.metadata.startedAt = kStart;
    track.points = std::move(points);
    return track;
}

} // namespace

TEST(TrackDetailValues, TheChartSpansTheAltitudesWithAMarginAndNeedsTwoOfThem)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<TrackPoint> points;
        std::optional<Domain> domain;
    };
    for (const Case& c : {
             Case { "no point", {}, std::nullopt },
             Case { "one point", { pointAt(0, 0, 1500) }, std::nullopt },
             Case { "one altitude", { pointAt(0, 0, 1500), pointAt(100, 60, std::nullopt) }, std::nullopt },
             Case { "flat", { pointAt(0, 0, 1500), pointAt(100, 60, 1500), pointAt(200, 120, 1500) }, Domain { 1490, 1510 } },
             Case { "1000 m apart", { pointAt(0, 0, 1000), pointAt(100, 60, 2000) }, Domain { 850, 2150 } },
             Case { "a damaged altitude", { pointAt(0, 0, 1000), pointAt(100, 60, kNaN), pointAt(200, 120, 1100) },
                 Domain { 985, 1115 } },
         })
        EXPECT_EQ(TrackDetailValues(trackOf(c.points)).altitudeDomain(), c.domain) << c.name;
}

TEST(TrackDetailValues, AWaitAtTheStartIsAPauseTheTrimCutsAndTheCarTheFootEditCuts)
{
    std::vector<TrackPoint> points;
    // Ten minutes at the car park, then a walk north, then a drive.
    for (int i = 0; i < 7; ++i)
        points.push_back(pointAt(i % 2, 100.0 * i, 1200, TravelMode::stationary));
    for (int i = 1; i <= 5; ++i)
        points.push_back(pointAt(200.0 * i, 600 + 60.0 * i, 1200 + 20.0 * i));
    for (int i = 1; i <= 3; ++i)
        points.push_back(pointAt(1000 + 2000.0 * i, 900 + 60.0 * i, 1300, TravelMode::automotive));
    const TrackDetailValues values(trackOf(points));

    EXPECT_EQ(values.pausesText(), "1 pause(s) · 10 min à l'arrêt");
    EXPECT_EQ(values.mainModeText(), "Principalement à pied");
    EXPECT_EQ(values.altitudeRangeText(), "de 1200 à 1300 m");
    EXPECT_EQ(values.trimCount, 6u) << "the last waiting point stays";
    EXPECT_EQ(values.footCount, 3u);
    EXPECT_EQ(values.trimFootnote(), "Retire 6 point(s) relevés à l'arrêt avant le départ et après l'arrivée.");
    const auto trim = values.confirmation(TrackEdit::trimEnds);
    EXPECT_EQ(trim.title, "Élaguer les extrémités ?");
    EXPECT_EQ(trim.action, "Élaguer");
    EXPECT_EQ(trim.message,
        "6 point(s) relevés sans bouger seront retirés du début et de la fin. Les statistiques et le profil seront recalculés.");
    const auto foot = values.confirmation(TrackEdit::keepOnFoot);
    EXPECT_EQ(foot.title, "Ne garder que la marche ?");
    EXPECT_EQ(foot.action, "Retirer la voiture");
    EXPECT_EQ(foot.message,
        "3 point(s) motorisés seront retirés ; seul le plus long passage parcouru à pied est conservé. Les statistiques "
        "et le profil seront recalculés. Cette action est définitive.");
    ASSERT_TRUE(values.averageSpeed());
    EXPECT_NEAR(*values.averageSpeed(), values.statistics.distance / values.movingDuration, 1e-9);
}

TEST(TrackDetailValues, AStillTrackHasNoSpeedNoModeAndNothingToCut)
{
    const TrackDetailValues values(trackOf({ pointAt(0, 0, std::nullopt, TravelMode::stationary) }));
    EXPECT_EQ(values.averageSpeed(), std::nullopt);
    EXPECT_EQ(values.mainModeText(), std::nullopt) << "stationary is never the main mode";
    EXPECT_EQ(values.altitudeRangeText(), std::nullopt);
    EXPECT_EQ(values.pausesText(), std::nullopt);
    EXPECT_EQ(values.trimFootnote(), std::nullopt);
    EXPECT_EQ(values.trimCount + values.footCount, 0u);
}
