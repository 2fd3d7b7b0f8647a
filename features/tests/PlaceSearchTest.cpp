#include "features/tests/PlaceStoreFixture.h"

#include <algorithm>
#include <set>
#include <tuple>

using testing_support::PlaceRow;
using velorin::Place;
using velorin::WorldPoint;

namespace {

const WorldPoint kChamonix = WorldPoint::fromLatitudeLongitude(45.92, 6.87);

std::vector<std::string> names(const std::vector<Place>& places)
{
    std::vector<std::string> result;
    for (const Place& place : places)
        result.push_back(place.name);
    return result;
}

} // namespace

class PlaceSearch : public testing_support::PlaceStoreTest {
protected:
    velorin::PlaceStore& storeWith(const std::map<std::string, std::vector<PlaceRow>>& databases)
    {
        auto& places = makeStore();
        for (const auto& [code, rows] : databases) {
            testing_support::writePlaceDatabase(places.databaseFile(code), rows);
            places.ensureDatabase(code);
        }
        return places;
    }
};

TEST_F(PlaceSearch, TypedWordsFindNamesByTheirPrefixesWhateverTheirCaseAndAccents)
{
    auto& places = storeWith({
        {"fr",
            {row(1, "Saint-Jean-de-Maurienne", 45.27, 6.35, 3, "place"), row(2, "L'Alpe d'Huez", 45.09, 6.07, 3, "place"),
                row(3, "Grande Casse", 45.40, 6.83, 2), row(4, "Barre des Écrins", 44.92, 6.36, 1),
                row(5, "Aiguille Blanche de Peuterey", 45.82, 6.87, 2), row(6, "Jean Bart", 45.0, 6.0, 3, "place"),
                row(7, "Grand Combin", 45.93, 7.30, 2), row(8, "Lac Blanc", 45.98, 6.89, 2, "lake")}},
        {"at", {row(12, "Großglockner", 47.07, 12.69, 1), row(13, "Grossvenediger", 47.11, 12.35, 1)}},
    });
    struct Case {
        const char* query;
        std::vector<std::string> found;
    };
    for (const auto& c : std::vector<Case>{
             {"", {}},
             {" - ", {}},
             {"a", {}},
             {"a b", {"Aiguille Blanche de Peuterey"}},
             {"Saint-Jean", {"Saint-Jean-de-Maurienne"}},
             {"jean", {"Saint-Jean-de-Maurienne", "Jean Bart"}},
             {"L'Alpe", {"L'Alpe d'Huez"}},
             {"GRANDE", {"Grande Casse"}},
             {"grand", {"Grand Combin", "Grande Casse"}},
             {"ecr", {"Barre des Écrins"}},
             {"ÉCRINS", {"Barre des Écrins"}},
             {"grossglockner", {"Großglockner"}},
             {"gross", {"Großglockner", "Grossvenediger"}},
             {"grande cass", {"Grande Casse"}},
             {"Casse Grande", {"Grande Casse"}},
             {"blanc", {"Aiguille Blanche de Peuterey"}},
             {"zzz", {}},
         }) {
        auto found = names(places.placeSearch(c.query, kChamonix, 25));
        std::sort(found.begin(), found.end());
        auto expected = c.found;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected) << c.query;
    }

    const auto glockner = places.placeSearch("glockner gross", kChamonix, 25);
    EXPECT_TRUE(glockner.empty()) << "every word is the start of a word of the name";
    const auto found = places.placeSearch("Grossglockner", kChamonix, 25);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (Place{"at12", "Großglockner", velorin::Toponym::Kind::summit, 47.07, 12.69, std::nullopt, 1, "at"}));
}

TEST_F(PlaceSearch, ImportanceComesFirstThenNearness)
{
    auto& places = storeWith({{"fr",
        {row(1, "Pic du Midi de Bigorre", 42.94, 0.14, 1), row(2, "Pic Blanc", 45.93, 6.88, 2),
            row(3, "Pic Noir", 45.95, 6.90, 2), row(4, "Pic Vert", 45.0, 6.0, 2)}}});
    EXPECT_EQ(names(places.placeSearch("pic", kChamonix, 25)),
        (std::vector<std::string>{"Pic du Midi de Bigorre", "Pic Blanc", "Pic Noir", "Pic Vert"}));
    EXPECT_EQ(names(places.placeSearch("pic", kChamonix, 2)),
        (std::vector<std::string>{"Pic du Midi de Bigorre", "Pic Blanc"}));
}

TEST_F(PlaceSearch, ThreeDatabasesGiveTheBestTwentyFiveOfAllTheirCandidates)
{
    std::map<std::string, std::vector<PlaceRow>> databases;
    // Importance, then distance north of the point, then name: the order expected.
    std::vector<std::tuple<int64_t, double, std::string>> all;
    const std::vector<std::string> codes = {"ch", "at", "es"};
    for (std::size_t d = 0; d < codes.size(); ++d) {
        for (int i = 0; i < 40; ++i) {
            const int64_t importance = 1 + (i + int(d)) % 5;
            const double north = i * 0.01 + double(d) * 0.001;
            const std::string name = "Piz " + codes[d] + std::to_string(i);
            databases[codes[d]].push_back(row(i + 1, name, 45.92 + north, 6.87, importance));
            all.emplace_back(importance, north, name);
        }
    }
    std::sort(all.begin(), all.end());
    std::vector<std::string> best;
    for (std::size_t i = 0; i < 25; ++i)
        best.push_back(std::get<2>(all[i]));

    auto& places = storeWith(databases);
    const auto found = places.placeSearch("piz", kChamonix, 25);
    EXPECT_EQ(names(found), best);
    std::set<std::string> countries;
    for (const Place& place : found)
        countries.insert(place.country);
    EXPECT_EQ(countries.size(), 3u) << "the best come from every database";
    EXPECT_TRUE(places.placeSearch("piz", kChamonix, 0).empty());
}

TEST_F(PlaceSearch, NothingIsFoundWhileNoDatabaseIsOpen)
{
    auto& places = makeStore();
    EXPECT_FALSE(places.hasOpenDatabase());
    EXPECT_TRUE(places.placeSearch("mont blanc", kChamonix, 25).empty());
}

TEST_F(PlaceSearch, WhateverTheImportanceClassesTheBestComeFirstAndImportanceIsNeverAName)
{
    struct Case {
        const char* what;
        int64_t (*importance)(int i);
    };
    for (auto c : {Case{"a rare best class", [](int i) { return int64_t(i % 50 == 0 ? 10 : 11 + i % 5); }},
             Case{"a best class too small", [](int i) { return int64_t(i == 7 ? 10 : 12 + i % 3); }},
             Case{"forty classes", [](int i) { return int64_t(i % 40); }},
             Case{"negative classes", [](int i) { return int64_t(i % 3 * 12 - 12); }}}) {
        SCOPED_TRACE(c.what);
        std::vector<PlaceRow> rows;
        std::vector<std::tuple<int64_t, double, std::string>> all;
        for (int i = 0; i < 120; ++i) {
            const std::string name = "Col A" + std::to_string(i);
            rows.push_back(row(i + 1, name, 45.92 + (i % 17) * 0.001 + i * 1e-6, 6.87, c.importance(i), "col"));
            all.emplace_back(c.importance(i), (i % 17) * 0.001 + i * 1e-6, name);
        }
        auto& places = storeWith({{"fr", rows}});
        std::sort(all.begin(), all.end());
        for (int limit : {1, 3, 25}) {
            std::vector<std::string> best;
            for (int i = 0; i < limit; ++i)
                best.push_back(std::get<2>(all[std::size_t(i)]));
            EXPECT_EQ(names(places.placeSearch("col", kChamonix, limit)), best) << limit;
        }
        EXPECT_TRUE(places.placeSearch("12", kChamonix, 25).empty()) << "no name holds 12";
    }
}
