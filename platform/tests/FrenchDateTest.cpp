#include "platform/FrenchDate.h"

#include "testing/LocalTimeZone.h"

#include <gtest/gtest.h>

#include <clocale>

using platform::FrenchDateParts;
using testing_support::LocalTimeZone;

TEST(FrenchDate, WritesTheDayAbbreviatedMonthYearAndTimeInTheLocalZone)
{
    const LocalTimeZone france(LocalTimeZone::kFrance);
    struct Case {
        const char* utc;
        FrenchDateParts parts;
        const char* text;
    };
    for (const Case& c : {
             // Summer time: two hours ahead of UTC.
             Case {"2024-05-01T08:05:00Z", {.year = false, .time = true}, "1 mai à 10:05"},
             // Winter time, and the new year already begun in France.
             Case {"2024-12-31T23:30:59Z", {.year = true, .time = true}, "1 janv. 2025 à 00:30"},
             Case {"2024-02-29T13:07:09Z", {}, "29 févr. 2024"},
             Case {"2025-08-15T06:00:00Z", {}, "15 août 2025"},
             Case {"2025-12-12T07:30:00Z", {.year = true, .time = true}, "12 déc. 2025 à 08:30"},
             Case {"2025-02-03T07:30:00Z", {.year = true, .time = true, .fullMonth = true}, "3 février 2025 à 08:30"},
         }) {
        EXPECT_EQ(platform::frenchDate(*platform::parseIso8601(c.utc), c.parts), c.text) << c.utc;
    }
}

TEST(FrenchDate, StaysFrenchWhateverTheProcessLocale)
{
    const LocalTimeZone utc("UTC0");
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string restore = previous ? previous : "C";
    std::setlocale(LC_ALL, "en_US.UTF-8");
    EXPECT_EQ(platform::frenchDate(*platform::parseIso8601("2024-07-04T21:09:00Z"), {.year = false, .time = true}),
        "4 juil. à 21:09");
    std::setlocale(LC_ALL, restore.c_str());
}
