#pragma once

#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velorin {

// One TOP25 map sheet: a scanned paper map with its bounds in degrees, its placement on
// the world square, the size of its source image and the grid of sub-tiles it is cut into.
// A plain value; any thread.
struct Sheet {
    // Half-open range of source-image pixel rows.
    struct RowRange {
        int64_t lower = 0;
        int64_t upper = 0;

        bool operator==(const RowRange&) const = default;
    };

    // The sheet's position in its catalogue, and its number inside sheet tile keys.
    int64_t id = 0;
    // Shown to the user, searched, and used in the sheet's media paths and disk keys.
    std::string name;
    double south = 0;
    double west = 0;
    double north = 0;
    double east = 0;
    WorldPoint northWest;
    WorldPoint northEast;
    WorldPoint southEast;
    WorldPoint southWest;
    WorldRect worldRect;
    int64_t pixelWidth = 0;
    int64_t pixelHeight = 0;
    int64_t sourceWidth = 0;
    int64_t sourceHeight = 0;
    int64_t columns = 0;
    int64_t rows = 0;
    std::optional<std::string> directory;

    // The source rows of sub-tile row `row`: consecutive rows tile the image without gaps
    // or overlaps. Empty for a sheet without rows.
    RowRange sourceRowRange(int64_t row) const;
    // Whether (column, row) is a cell of the sub-tile grid.
    bool hasCell(int64_t column, int64_t row) const;

    bool operator==(const Sheet&) const = default;
};

} // namespace velorin
