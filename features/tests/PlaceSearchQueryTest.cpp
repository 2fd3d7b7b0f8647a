#include "features/PlaceSearchQuery.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using velorin::PlaceDistance;
using velorin::WorldPoint;

TEST(PlaceSearchQuery, WordsAreLowerCasedRunsOfLettersAndNumbers)
{
    struct Case {
        const char* query;
        std::vector<std::string> words;
    };
    for (const auto& c : std::vector<Case>{
             {"", {}},
             {" - ", {}},
             {"Saint-Jean", {"saint", "jean"}},
             {"L'Alpe d’Huez", {"l", "alpe", "d", "huez"}},
             {"GRANDE Casse", {"grande", "casse"}},
             {"Refuge n°3 (2 800 m)", {"refuge", "n", "3", "2", "800", "m"}},
             // A decomposed accent is composed first, so the word is not cut after its "e".
             {"E\u0301crins", {"écrins"}},
             {"Großglockner", {"großglockner"}},
         }) {
        EXPECT_EQ(velorin::searchTerms(c.query), c.words) << c.query;
    }
}

TEST(PlaceSearchQuery, EveryWordBecomesAPrefixTermAndSharpSIsTriedForDoubleS)
{
    struct Case {
        const char* query;
        std::optional<std::string> expression;
    };
    for (const auto& c : std::vector<Case>{
             {"", std::nullopt},
             {" - ", std::nullopt},
             {"a", std::nullopt},
             {"é", std::nullopt},
             {"a b", R"("a"* AND "b"*)"},
             {"ab", R"("ab"*)"},
             {"Saint-Jean", R"("saint"* AND "jean"*)"},
             {"L'Alpe", R"("l"* AND "alpe"*)"},
             {"GRANDE", R"("grande"*)"},
             {"grossglockner", R"(("grossglockner"* OR "großglockner"*))"},
             {"Massif sss", R"(("massif"* OR "maßif"*) AND ("sss"* OR "ßs"*))"},
             {"\"quoted\" OR NEAR", R"("quoted"* AND "or"* AND "near"*)"},
         }) {
        EXPECT_EQ(velorin::placeMatchExpression(c.query), c.expression) << c.query;
    }
}

TEST(PlaceSearchQuery, TheDistanceKeyShrinksLongitudesToTheirWidthAtThePoint)
{
    const PlaceDistance distance(WorldPoint::fromLatitudeLongitude(60, 10));
    EXPECT_NEAR(distance.latitude, 60, 1e-9);
    EXPECT_NEAR(distance.longitude, 10, 1e-9);
    EXPECT_NEAR(distance.scale, 0.25, 1e-12);
    EXPECT_NEAR(distance.key(61, 10), 1, 1e-9);
    EXPECT_NEAR(distance.key(60, 12), 1, 1e-9) << "two degrees east at 60° N are one degree north";
}
