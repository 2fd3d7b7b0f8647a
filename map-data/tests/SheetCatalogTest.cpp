#include "map-data/SheetCatalog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using velorin::Sheet;
using velorin::SheetCatalog;
using velorin::WorldPoint;
using velorin::WorldRect;

namespace {

Sheet makeSheet(std::string name, double south, double west, double north, double east)
{
    Sheet sheet;
    sheet.name = std::move(name);
    sheet.south = south;
    sheet.west = west;
    sheet.north = north;
    sheet.east = east;
    sheet.northWest = WorldPoint::fromLatitudeLongitude(north, west);
    sheet.northEast = WorldPoint::fromLatitudeLongitude(north, east);
    sheet.southEast = WorldPoint::fromLatitudeLongitude(south, east);
    sheet.southWest = WorldPoint::fromLatitudeLongitude(south, west);
    sheet.worldRect = { sheet.northWest.x, sheet.northWest.y, sheet.southEast.x, sheet.southEast.y };
    sheet.sourceHeight = 1000;
    sheet.rows = 7;
    return sheet;
}

// Four sheets: two share their border at 6.5° E, the third sits apart, the last overlaps
// the first two.
SheetCatalog fixtureCatalog()
{
    std::vector<Sheet> sheets {
        makeSheet("Mont Blanc", 45.75, 6.25, 46.0, 6.5),
        makeSheet("Le Mont-Dore", 45.75, 6.5, 46.0, 6.75),
        makeSheet("MONTAGNE NOIRE", 43.3, 2.0, 43.55, 2.25),
        makeSheet("Massif des Écrins", 44.8, 6.2, 45.8, 6.6),
    };
    for (std::size_t i = 0; i < sheets.size(); ++i)
        sheets[i].id = static_cast<int64_t>(i);
    return SheetCatalog(std::move(sheets));
}

std::vector<std::string> names(const std::vector<Sheet>& sheets)
{
    std::vector<std::string> result;
    for (const auto& sheet : sheets)
        result.push_back(sheet.name);
    return result;
}

} // namespace

TEST(SheetCatalog, AnEmptyCatalogueCoversTheWorldAndFindsNothing)
{
    SheetCatalog catalog;
    EXPECT_EQ(catalog.worldRect(), (WorldRect { 0, 0, 1, 1 }));
    EXPECT_EQ(catalog.sheet(45.9, 6.4), std::nullopt);
    EXPECT_TRUE(catalog.sheets({ 0, 0, 1, 1 }).empty());
    EXPECT_TRUE(catalog.search("mont", 60).empty());
}

TEST(SheetCatalog, WorldRectIsTheUnionOfTheSheets)
{
    auto catalog = fixtureCatalog();
    const auto& sheets = catalog.sheets();
    EXPECT_EQ(catalog.worldRect(),
        (WorldRect { sheets[2].worldRect.minX, sheets[0].worldRect.minY, sheets[1].worldRect.maxX,
            sheets[2].worldRect.maxY }));
}

TEST(SheetCatalog, PositionLookUpIncludesBordersAndPrefersTheEarlierSheet)
{
    auto catalog = fixtureCatalog();
    struct Case {
        double latitude, longitude;
        const char* name; // nullptr: no sheet
    };
    for (auto c : {
             Case { 45.9, 6.3, "Mont Blanc" },
             Case { 45.9, 6.6, "Le Mont-Dore" },
             Case { 46.0, 6.25, "Mont Blanc" },        // north-west corner
             Case { 45.9, 6.5, "Mont Blanc" },         // shared border: the earlier sheet
             Case { 45.5, 6.3, "Massif des Écrins" },
             Case { 45.78, 6.3, "Mont Blanc" },         // overlap: catalogue order
             Case { 43.4, 2.1, "MONTAGNE NOIRE" },
             Case { 46.0001, 6.3, nullptr },
             Case { 45.0, 3.0, nullptr },
             Case { std::nan(""), 6.3, nullptr },
         }) {
        auto sheet = catalog.sheet(c.latitude, c.longitude);
        if (c.name)
            EXPECT_EQ(sheet ? sheet->name : "none", c.name) << c.latitude << ", " << c.longitude;
        else
            EXPECT_EQ(sheet, std::nullopt) << c.latitude << ", " << c.longitude;
    }
}

TEST(SheetCatalog, AreaLookUpSkipsSheetsThatOnlyTouchAnEdge)
{
    auto catalog = fixtureCatalog();
    const auto& blanc = catalog.sheets()[0].worldRect;
    const auto& dore = catalog.sheets()[1].worldRect;
    // Rectangles that touch the Alpine sheets from the north and from the east.
    EXPECT_TRUE(catalog.sheets({ blanc.minX, blanc.minY - 0.01, dore.maxX, blanc.minY }).empty());
    EXPECT_TRUE(catalog.sheets({ dore.maxX, dore.minY, dore.maxX + 0.01, dore.maxY }).empty());
    EXPECT_EQ(names(catalog.sheets({ blanc.minX, blanc.minY, dore.maxX, dore.maxY })),
        (std::vector<std::string> { "Mont Blanc", "Le Mont-Dore", "Massif des Écrins" }));
    // A strip along Le Mont-Dore's north edge: Mont Blanc only touches it at the shared border.
    EXPECT_EQ(names(catalog.sheets({ dore.minX, dore.minY, dore.maxX, dore.minY + 1e-6 })),
        (std::vector<std::string> { "Le Mont-Dore" }));
}

TEST(SheetCatalog, SearchRanksPrefixMatchesBeforeContainsMatchesIgnoringCaseAndAccents)
{
    auto catalog = fixtureCatalog();
    struct Case {
        const char* query;
        std::size_t limit;
        std::vector<std::string> names;
    };
    for (const auto& c : {
             Case { "mont", 60, { "Mont Blanc", "MONTAGNE NOIRE", "Le Mont-Dore" } },
             Case { "MONT", 60, { "Mont Blanc", "MONTAGNE NOIRE", "Le Mont-Dore" } },
             Case { "mont", 2, { "Mont Blanc", "MONTAGNE NOIRE" } },
             Case { "mont", 1, { "Mont Blanc" } },
             Case { "mont", 0, {} },
             Case { "ecrins", 60, { "Massif des Écrins" } },
             Case { "ÉCRINS", 60, { "Massif des Écrins" } },
             Case { "ＭＯＮＴ－ＤＯＲＥ", 60, { "Le Mont-Dore" } }, // full-width letters
             Case { "mont ", 60, { "Mont Blanc" } },                // spaces stay in the query
             Case { " ", 60, { "Mont Blanc", "Le Mont-Dore", "MONTAGNE NOIRE", "Massif des Écrins" } },
             Case { "", 60, {} },
             Case { "aiguille", 60, {} },
         }) {
        EXPECT_EQ(names(catalog.search(c.query, c.limit)), c.names) << '"' << c.query << "\" limit " << c.limit;
    }
}

TEST(SheetCatalog, SearchStopsAtTheLimitOfPrefixMatches)
{
    std::vector<Sheet> sheets;
    sheets.push_back(makeSheet("Le Col", 0, 0, 1, 1)); // a contains match before the prefix matches
    for (int i = 0; i < 70; ++i)
        sheets.push_back(makeSheet("Col " + std::to_string(i), 0, 0, 1, 1));
    SheetCatalog catalog(std::move(sheets));
    auto found = catalog.search("col", 60);
    ASSERT_EQ(found.size(), 60u);
    EXPECT_EQ(found.front().name, "Col 0");
    EXPECT_EQ(found.back().name, "Col 59");
}

TEST(Sheet, SourceRowRangesTileTheImageWithoutGaps)
{
    auto sheet = makeSheet("Mont Blanc", 45.75, 6.25, 46.0, 6.5);
    int64_t next = 0;
    for (int64_t row = 0; row < sheet.rows; ++row) {
        auto range = sheet.sourceRowRange(row);
        EXPECT_EQ(range.lower, next) << row;
        EXPECT_GT(range.upper, range.lower) << row;
        next = range.upper;
    }
    EXPECT_EQ(next, sheet.sourceHeight);
    EXPECT_EQ(sheet.sourceRowRange(2), (Sheet::RowRange { 285, 428 }));
    sheet.rows = 0;
    EXPECT_EQ(sheet.sourceRowRange(0), (Sheet::RowRange {}));
}
