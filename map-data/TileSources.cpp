#include "map-data/TileSources.h"

#include "platform/NumberFormat.h"

#include <fmt/format.h>

namespace velorin {

namespace {

constexpr int kCoordinateListDecimals = 6;

std::string ignWmtsTile(const ServiceHosts& hosts, std::string_view layer, Basemap basemap, int64_t z, int64_t x,
    int64_t y)
{
    // The query items' order is part of the request: relays and caches key on the URL.
    return fmt::format("{}/wmts?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0&LAYER={}&STYLE=normal"
                       "&TILEMATRIXSET=PM&TILEMATRIX={}&TILEROW={}&TILECOL={}&FORMAT={}",
        hosts.origin(hosts.ignHost), layer, z, y, x, basemap.isPhoto() ? "image/jpeg" : "image/png");
}

} // namespace

std::optional<std::string> basemapTileURL(const ServiceHosts& hosts, Basemap basemap, int64_t z, int64_t x, int64_t y)
{
    switch (basemap) {
    case Basemap::planIGN:
        return ignWmtsTile(hosts, "GEOGRAPHICALGRIDSYSTEMS.PLANIGNV2", basemap, z, x, y);
    case Basemap::orthophoto:
        return ignWmtsTile(hosts, "ORTHOIMAGERY.ORTHOPHOTOS", basemap, z, x, y);
    case Basemap::slopes:
        return ignWmtsTile(hosts, "GEOGRAPHICALGRIDSYSTEMS.SLOPES.MOUNTAIN", basemap, z, x, y);
    case Basemap::openTopo:
        return fmt::format("{}/{}/{}/{}.png", hosts.origin(hosts.openTopoHost), z, x, y);
    case Basemap::swissImage:
        return fmt::format("{}/1.0.0/ch.swisstopo.swissimage/default/current/3857/{}/{}/{}.jpeg",
            hosts.origin(hosts.swisstopoHost), z, x, y);
    case Basemap::spainImage:
        return fmt::format("{}/wmts/pnoa-ma?SERVICE=WMTS&REQUEST=GetTile&VERSION=1.0.0&LAYER=OI.OrthoimageCoverage"
                           "&STYLE=default&TILEMATRIXSET=GoogleMapsCompatible&TILEMATRIX={}&TILEROW={}&TILECOL={}"
                           "&FORMAT=image/jpeg",
            hosts.origin(hosts.spainHost), z, y, x);
    case Basemap::austriaImage:
        // basemap.at numbers its tiles row before column.
        return fmt::format("{}/basemap/bmaporthofoto30cm/normal/google3857/{}/{}/{}.jpeg",
            hosts.origin(hosts.austriaHost), z, y, x);
    case Basemap::top25:
    case Basemap::applePlan:
    case Basemap::appleSatellite:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> worldMapTileURL(const ServiceHosts& hosts, Basemap basemap, int64_t z, int64_t x, int64_t y)
{
    if (basemap == Basemap::applePlan)
        return fmt::format("{}/{}/{}/{}.png", hosts.origin(hosts.osmTileHost), z, x, y);
    if (basemap == Basemap::appleSatellite) {
        // The WMTS path numbers the row before the column.
        return fmt::format("{}/wmts/1.0.0/s2cloudless_3857/default/g/{}/{}/{}.jpg",
            hosts.origin(hosts.satelliteTileHost), z, y, x);
    }
    return std::nullopt;
}

std::string pipeJoined(std::span<const double> values)
{
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            joined += '|';
        joined += platform::cNumber(values[i], kCoordinateListDecimals);
    }
    return joined;
}

} // namespace velorin
