#include "map-data/TileSources.h"

#include <gtest/gtest.h>

#include <clocale>
#include <vector>

using velorin::Basemap;
using velorin::basemapTileURL;
using velorin::ServiceHosts;

TEST(TileSources, EveryBasemapHasItsProvidersTileAddress)
{
    ServiceHosts hosts;
    struct Case {
        Basemap basemap;
        int64_t z, x, y;
        std::optional<std::string> url;
    };
    for (const auto& c : {
             Case { Basemap::planIGN, 12, 2075, 1409,
                 "https://data.geopf.fr/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                 "&LAYER=GEOGRAPHICALGRIDSYSTEMS.PLANIGNV2&STYLE=normal&TILEMATRIXSET=PM&TILEMATRIX=12"
                 "&TILEROW=1409&TILECOL=2075&FORMAT=image/png" },
             Case { Basemap::orthophoto, 15, 16912, 11718,
                 "https://data.geopf.fr/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                 "&LAYER=ORTHOIMAGERY.ORTHOPHOTOS&STYLE=normal&TILEMATRIXSET=PM&TILEMATRIX=15"
                 "&TILEROW=11718&TILECOL=16912&FORMAT=image/jpeg" },
             Case { Basemap::slopes, 14, 8456, 5859,
                 "https://data.geopf.fr/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                 "&LAYER=GEOGRAPHICALGRIDSYSTEMS.SLOPES.MOUNTAIN&STYLE=normal&TILEMATRIXSET=PM&TILEMATRIX=14"
                 "&TILEROW=5859&TILECOL=8456&FORMAT=image/png" },
             Case { Basemap::openTopo, 13, 4228, 2929, "https://a.tile.opentopomap.org/13/4228/2929.png" },
             Case { Basemap::swissImage, 10, 3, 7,
                 "https://wmts.geo.admin.ch/1.0.0/ch.swisstopo.swissimage/default/current/3857/10/3/7.jpeg" },
             Case { Basemap::spainImage, 10, 3, 7,
                 "https://www.ign.es/wmts/pnoa-ma?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0"
                 "&LAYER=OI.OrthoimageCoverage&STYLE=default&TILEMATRIXSET=GoogleMapsCompatible&TILEMATRIX=10"
                 "&TILEROW=7&TILECOL=3&FORMAT=image/jpeg" },
             Case { Basemap::austriaImage, 10, 3, 7,
                 "https://mapsneu.wien.gv.at/basemap/bmaporthofoto30cm/normal/google3857/10/7/3.jpeg" },
             Case { Basemap::top25, 10, 3, 7, std::nullopt },
             Case { Basemap::applePlan, 10, 3, 7, std::nullopt },
             Case { Basemap::appleSatellite, 10, 3, 7, std::nullopt },
         }) {
        EXPECT_EQ(basemapTileURL(hosts, c.basemap, c.z, c.x, c.y), c.url) << c.basemap.rawValue();
    }
}

TEST(TileSources, TestHostsAndSchemeReplaceTheProviders)
{
    ServiceHosts hosts;
    hosts.scheme = "http";
    hosts.ignHost = "127.0.0.1:8123";
    hosts.austriaHost = "127.0.0.1:8124";
    EXPECT_EQ(basemapTileURL(hosts, Basemap::planIGN, 2, 1, 0)->substr(0, 27), "http://127.0.0.1:8123/wmts?");
    EXPECT_EQ(basemapTileURL(hosts, Basemap::austriaImage, 2, 1, 0),
        "http://127.0.0.1:8124/basemap/bmaporthofoto30cm/normal/google3857/2/0/1.jpeg");
}

TEST(TileSources, PipeJoinedWritesSixDecimalsWhateverTheLocale)
{
    // A French process locale writes "45,5" through printf; a request must not.
    if (!std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "fr_FR.UTF-8 is not installed";
    std::vector<double> coordinates { 45.5, 6 };
    EXPECT_EQ(velorin::pipeJoined(coordinates), "45.500000|6.000000");
    std::vector<double> one { -0.1234567 };
    EXPECT_EQ(velorin::pipeJoined(one), "-0.123457");
    EXPECT_EQ(velorin::pipeJoined({}), "");
    std::setlocale(LC_ALL, "C");
}
