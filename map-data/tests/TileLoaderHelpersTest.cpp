#include "map-data/AerialCoverage.h"
#include "map-data/SubtileOrder.h"
#include "map-data/FetchURL.h"

#include <gtest/gtest.h>

using velorin::Basemap;
using velorin::SubtileCell;
using velorin::TileKey;

TEST(AerialCoverage, NeighbouringPhotosReachTilesThatTouchTheirBoxesAtLevelsTheyServe)
{
    struct Case {
        int64_t z, x, y;
        std::vector<Basemap> sources;
    };
    for (const auto& c : std::vector<Case> {
             { 10, 518, 352, {} },                                           // Paris
             { 10, 529, 363, { Basemap::swissImage } },                      // Geneva
             { 7, 66, 45, {} },                                              // Geneva, below Swiss levels
             { 9, 270, 180, { Basemap::swissImage, Basemap::austriaImage } }, // Engadine
             { 6, 31, 24, { Basemap::spainImage } },                         // Madrid
         })
        EXPECT_EQ(velorin::coverageSources(c.z, c.x, c.y), c.sources) << c.z << "/" << c.x << "/" << c.y;
}

TEST(SubtileOrder, WantedCellsInsideTheGridComeFirstOnceThenTheRestRowByRow)
{
    velorin::Sheet sheet;
    sheet.columns = 3;
    sheet.rows = 2;
    auto order = velorin::subtileOrder(sheet, { { 2, 1 }, { 5, 0 }, { 0, 1 }, { 2, 1 } });
    EXPECT_EQ(order, (std::vector<SubtileCell> { { 2, 1 }, { 0, 1 }, { 0, 0 }, { 1, 0 }, { 2, 0 }, { 1, 1 } }));
}

TEST(TileFetchURL, SheetKeysUseTheMediaHostAndWebTilesWithoutAnAddressItsPyramid)
{
    velorin::ServiceHosts hosts;
    hosts.mediaHost = "media.example";
    velorin::Sheet sheet;
    sheet.name = "3531 OT";
    velorin::SheetCatalog catalog({ sheet });
    velorin::RelayMapping relay = [](const std::string& url) { return "relayed:" + url; };

    struct Case {
        TileKey key;
        std::optional<std::string> url;
    };
    for (const auto& c : std::vector<Case> {
             { TileKey::pyramid(7, 65, 44), "https://media.example/tiles/7/65/44.jpg" },
             { TileKey::webTile(Basemap::top25, 7, 65, 44), "https://media.example/tiles/7/65/44.jpg" },
             { TileKey::subtile(0, 3, 4), "https://media.example/media/FR%20TOP25%20IGN/3531%20OT.webp" },
             { TileKey::subtile(0, 5, 1), "https://media.example/media/FR%20TOP25%20IGN/3531%20OT.webp" },
             { TileKey::thumbnail(0, 256), "https://media.example/thumbs/256/3531%20OT.jpg" },
             { TileKey::webTile(Basemap::openTopo, 7, 65, 44), "relayed:https://a.tile.opentopomap.org/7/65/44.png" },
             { TileKey::subtile(1, 0, 0), std::nullopt },
             { TileKey::webTile(10, 7, 65, 44), std::nullopt },
         })
        EXPECT_EQ(velorin::fetchURL(c.key, catalog, hosts, relay), c.url);

    hosts.mediaHost.reset();
    EXPECT_EQ(velorin::fetchURL(TileKey::pyramid(7, 65, 44), catalog, hosts, relay), std::nullopt);
}
