#pragma once

// The offline zones' list file "zones.json": a JSON array of objects with the zone's id,
// name, sheet names and creation date. Pure functions; any thread.

#include "map-data/RegionDownloader.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin {

// Nothing unless every zone is well formed: a damaged list is not half trusted.
std::optional<std::vector<RegionDownloader::Zone>> decodeZoneList(std::span<const std::byte> bytes);

std::string encodeZoneList(const std::vector<RegionDownloader::Zone>& zones);

} // namespace velorin
