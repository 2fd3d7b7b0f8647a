#pragma once

#include "map-data/Sheet.h"

#include <cstdint>
#include <vector>

namespace velorin {

// The order in which a sheet's sub-tiles are cut: the wanted cells first, then the rest.
// Any thread.

struct SubtileCell {
    int64_t column = 0;
    int64_t row = 0;

    bool operator==(const SubtileCell&) const = default;
};

// Every cell of the sheet's grid exactly once: the `wanted` cells inside the grid in the
// order given, without repeats, then the others row by row, column by column.
std::vector<SubtileCell> subtileOrder(const Sheet& sheet, const std::vector<SubtileCell>& wanted);

} // namespace velorin
