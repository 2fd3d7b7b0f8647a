#pragma once

#include "map-data/ServiceHosts.h"
#include "map-data/SheetCatalog.h"
#include "map-data/TileKey.h"

#include <functional>
#include <optional>
#include <string>

namespace velorin {

// Turns an upstream provider URL into the one to fetch (the tile relay's address while
// the relay is on and up, else the URL itself).
using RelayMapping = std::function<std::string(const std::string& upstream)>;

// Where a tile key is downloaded from: the media host's pyramid, a sheet's thumbnail, the
// whole sheet image for a sub-tile, or a basemap's tile through `relayed` (the pyramid of
// the same level, column and row for a basemap without web tiles). Nothing for a key
// outside the catalogue or the basemaps, or when the host it needs is not configured.
// Any thread.
std::optional<std::string> fetchURL(const TileKey& key, const SheetCatalog& catalog, const ServiceHosts& hosts,
    const RelayMapping& relayed);

} // namespace velorin
