#pragma once

#include "map-data/Basemap.h"
#include "map-data/ServiceHosts.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace velorin {

// The upstream URL of a basemap's tile at level z, column x, row y. Nothing for the
// basemaps that have no web tiles here (the sheet layer and the two platform maps).
// Any thread.
std::optional<std::string> basemapTileURL(const ServiceHosts& hosts, Basemap basemap, int64_t z, int64_t x, int64_t y);

// The tile URL of one of the two world maps (`applePlan`, `appleSatellite`) at level z,
// column x, row y; nothing for every other basemap. Kept apart from `basemapTileURL` so
// that the loader, offline downloads and the relay never take these sources. Any thread.
std::optional<std::string> worldMapTileURL(const ServiceHosts& hosts, Basemap basemap, int64_t z, int64_t x, int64_t y);

// Numbers of a request's coordinate list: each with six decimals in the C locale, joined
// with "|" ("45.500000|6.000000"). Any thread.
std::string pipeJoined(std::span<const double> values);

} // namespace velorin
