#pragma once

#include "map-data/TileLoaderPhase.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// How tile loading is going, as the status indicator and the diagnostics sheet show it.
// A plain value; any thread.
struct TileLoaderStatus {
    // Keys with a disk decode or a transfer in flight at the end of the last pass.
    std::int64_t pending = 0;
    // Wanted keys and sheets waiting out the delay before they are asked for again, at the
    // end of the last pass.
    std::int64_t retrying = 0;
    // The TOP25 sheet being downloaded and sliced, if any.
    std::optional<std::string> loadingSheet;
    // 0…1.
    double sheetProgress = 0;
    TileLoaderPhase phase;
    // Sheets the wish list needs that are neither being prepared nor waiting to retry.
    std::int64_t queuedSheets = 0;
    // Transport failures in a row; restarts at 1 after a minute without one.
    std::int64_t transportFailures = 0;
    // Tiles delivered since start.
    std::int64_t delivered = 0;

    bool operator==(const TileLoaderStatus&) const = default;
};

} // namespace velorin
