#include "map-data/TerrainService.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace velorin;

TEST(TerrainKeys, IGNCoversFranceFromLevelNineAndNamesItsFilesApart)
{
    struct Case {
        int z, x, y;
        bool ign;
        const char* diskKey;
    };
    for (auto c : { Case { 12, 2074, 1409, true, "dem-ign/12/2074_1409.bil" }, // Paris
             Case { 9, 259, 176, true, "dem-ign/9/259_176.bil" },
             Case { 8, 129, 88, false, "dem/8/129_88.png" },
             Case { 12, 2005, 1544, false, "dem/12/2005_1544.png" }, // Madrid
             Case { 12, 2195, 1489, false, "dem/12/2195_1489.png" }, // the Adriatic
             Case { 12, 2072, 1529, true, "dem-ign/12/2072_1529.bil" } }) { // Barcelona, inside the box
        EXPECT_EQ(TerrainService::usesIGN(c.z, c.x, c.y), c.ign) << c.diskKey;
        EXPECT_EQ(TerrainService::diskKey(c.z, c.x, c.y), c.diskKey);
    }
    EXPECT_EQ(TerrainService::terrariumDiskKey(12, 2074, 1409), "dem/12/2074_1409.png");
}

TEST(TerrainKeys, ElevationURLsNameTheTileWhateverTheLocale)
{
    ServiceHosts hosts;
    hosts.scheme = "http";
    hosts.ignHost = "127.0.0.1:8081";
    hosts.terrariumHost = "127.0.0.1:8082";
    const char* previous = std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    const std::string ign = TerrainService::ignElevationURL(hosts, { 12, 2074, 1409 });
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_TRUE(previous) << "the French locale is installed by scripts/install-deps";

    EXPECT_EQ(ign, "http://127.0.0.1:8081/wms-r?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetMap"
                   "&LAYERS=ELEVATION.ELEVATIONGRIDCOVERAGE.HIGHRES&STYLES=&CRS=EPSG:3857"
                   "&BBOX=254382.430,6242153.478,264166.370,6251937.418&WIDTH=256&HEIGHT=256&FORMAT=image/x-bil;bits=32");
    EXPECT_EQ(TerrainService::terrariumURL(hosts, { 15, 16046, 12355 }),
        "http://127.0.0.1:8082/elevation-tiles-prod/terrarium/15/16046/12355.png");
}

TEST(TerrainKeys, CoverARectangleInOrderUpToSixtyFourTiles)
{
    using Key = TerrainService::Key;
    auto rectAt = [](int z, double x0, double y0, double x1, double y1) {
        const double n = std::exp2(z);
        return WorldRect { x0 / n, y0 / n, x1 / n, y1 / n };
    };

    EXPECT_EQ(TerrainService::tileKeys(12, rectAt(12, 2074.5, 1409.5, 2075.5, 1410.2)),
        (std::vector<Key> { { 12, 2074, 1409 }, { 12, 2075, 1409 }, { 12, 2074, 1410 }, { 12, 2075, 1410 } }));
    EXPECT_EQ(TerrainService::tileKeys(10, rectAt(10, 100, 100, 107.9, 107.9)).size(), 64u);
    EXPECT_TRUE(TerrainService::tileKeys(10, rectAt(10, 100, 100, 112.5, 104.5)).empty()) << "65 tiles";
    EXPECT_TRUE(TerrainService::tileKeys(10, rectAt(10, 105, 100, 100, 101)).empty()) << "an empty range";
    EXPECT_TRUE(TerrainService::tileKeys(10, { std::nan(""), 0.1, 0.2, 0.2 }).empty());
    EXPECT_EQ(TerrainService::tileKeys(-3, { 0.2, 0.2, 0.3, 0.3 }), (std::vector<Key> { { 0, 0, 0 } }));
    EXPECT_EQ(TerrainService::tileKeys(3, { -5, -5, 1e300, 0.01 }).size(), 8u) << "clamped to the map";

    // Zoom 17 searches level 16, where Terrarium has nothing outside France: those tiles
    // take their level-15 parents, once each.
    EXPECT_EQ(TerrainService::tileKeys(17, rectAt(17, 64187.2, 49422.2, 64188.8, 49423.8)), // Madrid
        (std::vector<Key> { { 15, 16046, 12355 }, { 15, 16047, 12355 } }));
    EXPECT_EQ(TerrainService::tileKeys(17, rectAt(17, 67720.2, 47149.2, 67721.8, 47149.8)), // the Alps
        (std::vector<Key> { { 16, 33860, 23574 } }));
}
