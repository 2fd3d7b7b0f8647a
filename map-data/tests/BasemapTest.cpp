#include "map-data/Basemap.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <set>

using velorin::Basemap;

TEST(Basemap, TileLevelFollowsZoomAndScreenScaleWithinTheSourceRange)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        Basemap basemap;
        double zoom, scale;
        int level;
    };
    for (auto c : {
             Case { Basemap::planIGN, 15.4, 2, 14 },
             Case { Basemap::orthophoto, 15.4, 2, 15 },
             Case { Basemap::orthophoto, 15.4, 1, 16 },
             Case { Basemap::swissImage, 3, 2, 8 },
             Case { Basemap::top25, 12.7, 2, 10 },
             Case { Basemap::top25, 3, 2, 5 },
             Case { Basemap::top25, 7.5, 2, 8 },         // halves round away from zero
             Case { Basemap::planIGN, 14.5, 1, 15 },
             Case { Basemap::planIGN, 25, 1, 19 },
             Case { Basemap::openTopo, 16, 0, 16 },      // no scale: no offset
             Case { Basemap::orthophoto, 16, -2, 16 },
             Case { Basemap::orthophoto, 16, nan, 16 },
             Case { Basemap::planIGN, nan, 2, 2 },       // a broken camera still asks for a real level
             Case { Basemap::planIGN, inf, 2, 19 },
             Case { Basemap::planIGN, -inf, 2, 2 },
             Case { Basemap::spainImage, 1e300, 2, 20 },
         }) {
        EXPECT_EQ(c.basemap.tileLevel(c.zoom, c.scale), c.level)
            << c.basemap.rawValue() << " zoom " << c.zoom << " scale " << c.scale;
    }
}

TEST(Basemap, MaxCameraZoomAddsTheScaleOffsetToTheCeiling)
{
    struct Case {
        Basemap basemap;
        double scale, zoom;
    };
    for (auto c : { Case { Basemap::openTopo, 2, 18 }, Case { Basemap::orthophoto, 2, 19 },
             Case { Basemap::orthophoto, 1, 18 }, Case { Basemap::top25, 2, 17.5 },
             Case { Basemap::top25, 1, 17.5 }, Case { Basemap::applePlan, 0, 20 },
             Case { Basemap::austriaImage, 4, 20 } }) {
        EXPECT_DOUBLE_EQ(c.basemap.maxCameraZoom(c.scale), c.zoom) << c.basemap.rawValue() << " scale " << c.scale;
    }
}

TEST(Basemap, RawValuesAndIndexesRoundTripAndAreCaseSensitive)
{
    for (std::size_t i = 0; i < Basemap::allCases.size(); ++i) {
        auto basemap = Basemap::allCases[i];
        EXPECT_EQ(basemap.index(), static_cast<int>(i));
        EXPECT_EQ(Basemap::fromIndex(static_cast<int64_t>(i)), basemap);
        EXPECT_EQ(Basemap::fromRawValue(basemap.rawValue()), basemap);
        EXPECT_EQ(nlohmann::json(basemap).get<Basemap>(), basemap);
    }
    EXPECT_EQ(Basemap(Basemap::austriaImage).rawValue(), "austriaImage");
    EXPECT_EQ(nlohmann::json(Basemap::planIGN), "planIGN");
    EXPECT_EQ(Basemap::fromRawValue("Orthophoto"), std::nullopt);
    EXPECT_EQ(Basemap::fromRawValue(""), std::nullopt);
    EXPECT_EQ(Basemap::fromIndex(10), std::nullopt);
    EXPECT_EQ(Basemap::fromIndex(-1), std::nullopt);
    EXPECT_THROW(nlohmann::json("Orthophoto").get<Basemap>(), nlohmann::json::type_error);
    EXPECT_THROW(nlohmann::json(3).get<Basemap>(), nlohmann::json::type_error);
}

TEST(Basemap, SelectableListsEveryCaseButTheSheetsAndSlopesInCaseOrder)
{
    EXPECT_EQ(Basemap::selectable,
        (std::array<Basemap, 8> { Basemap::planIGN, Basemap::orthophoto, Basemap::openTopo, Basemap::applePlan,
            Basemap::appleSatellite, Basemap::swissImage, Basemap::spainImage, Basemap::austriaImage }));
    std::set<Basemap::Case> photos;
    std::set<Basemap::Case> apple;
    for (auto basemap : Basemap::allCases) {
        if (basemap.isPhoto())
            photos.insert(basemap);
        if (basemap.isApple())
            apple.insert(basemap);
        EXPECT_EQ(basemap.attribution().has_value(), basemap != Basemap::top25) << basemap.rawValue();
    }
    EXPECT_EQ(photos, (std::set<Basemap::Case> { Basemap::orthophoto, Basemap::appleSatellite, Basemap::swissImage,
                          Basemap::spainImage, Basemap::austriaImage }));
    EXPECT_EQ(apple, (std::set<Basemap::Case> { Basemap::applePlan, Basemap::appleSatellite }));
}
