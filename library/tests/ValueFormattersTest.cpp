#include "library/ValueFormatters.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>

using velorin::formatAltitude;
using velorin::formatDistance;
using velorin::formatDuration;
using velorin::formatSpeed;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Case {
    double value;
    const char* text;
};

} // namespace

TEST(ValueFormatters, DistancesSwitchToKilometresAtOneThousandMetresBeforeRounding)
{
    for (const Case& c : {
             Case { 0, "0 m" },
             Case { 425, "425 m" },
             Case { 999.4, "999 m" },
             Case { 999.5, "1000 m" },
             Case { 999.6, "1000 m" },
             Case { 1000, "1,00 km" },
             Case { 1234, "1,23 km" },
             Case { 1236, "1,24 km" },
             Case { 1125, "1,12 km" },
             Case { 1375, "1,38 km" },
             Case { 2500, "2,50 km" },
             Case { 12'345'678, "12\u202F345,68 km" },
             Case { kNaN, "—" },
             Case { kInfinity, "—" },
             Case { 1e30, "—" },
             Case { -1e30, "—" },
         })
        EXPECT_EQ(formatDistance(c.value), c.text) << c.value;
}

TEST(ValueFormatters, DurationsReadSecondsThenWholeMinutesThenHoursAndMinutes)
{
    for (const Case& c : {
             Case { 59.4, "59 s" },
             Case { -3, "-3 s" },
             Case { 59.5, "1 min" },
             Case { 119, "1 min" },
             Case { 3599, "59 min" },
             Case { 3600, "1 h 00" },
             Case { 3659, "1 h 00" },
             Case { 3660, "1 h 01" },
             Case { 90'061, "25 h 01" },
             Case { kNaN, "—" },
             Case { 1e30, "—" },
         })
        EXPECT_EQ(formatDuration(c.value), c.text) << c.value;
}

TEST(ValueFormatters, AltitudesAreWholeMetresWithoutSignForZero)
{
    for (const Case& c : {
             Case { -0.4, "0 m" },
             Case { -0.5, "-1 m" },
             Case { 1234.5, "1235 m" },
             Case { 4808.7, "4809 m" },
             Case { 12'345, "12345 m" },
             Case { -kInfinity, "—" },
             Case { 1e30, "—" },
             Case { -1e30, "—" },
         })
        EXPECT_EQ(formatAltitude(c.value), c.text) << c.value;
}

TEST(ValueFormatters, SpeedsAreKilometresPerHourWithOneDecimalOrADash)
{
    struct SpeedCase {
        std::optional<double> value;
        const char* text;
    };
    for (const SpeedCase& c : {
             SpeedCase { std::nullopt, "—" },
             SpeedCase { 1.25, "4,5 km/h" },
             SpeedCase { 0, "0,0 km/h" },
             SpeedCase { 10, "36,0 km/h" },
             SpeedCase { kNaN, "—" },
             SpeedCase { 1e30, "—" },
             SpeedCase { -kInfinity, "—" },
         })
        EXPECT_EQ(formatSpeed(c.value), c.text) << c.value.value_or(-1);
}

TEST(ValueFormatters, TheProcessLocaleChangesNoText)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no French locale on this machine";
    EXPECT_EQ(formatDistance(12'345'678), "12\u202F345,68 km");
    EXPECT_EQ(formatDistance(999.5), "1000 m");
    EXPECT_EQ(formatSpeed(1.25), "4,5 km/h");
    EXPECT_EQ(formatAltitude(1234.5), "1235 m");
    std::setlocale(LC_ALL, previous.c_str());
}
