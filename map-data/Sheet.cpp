#include "map-data/Sheet.h"

namespace velorin {

bool Sheet::hasCell(int64_t column, int64_t row) const
{
    return column >= 0 && row >= 0 && column < columns && row < rows;
}

Sheet::RowRange Sheet::sourceRowRange(int64_t row) const
{
    if (rows <= 0)
        return {};
    return { sourceHeight * row / rows, sourceHeight * (row + 1) / rows };
}

} // namespace velorin
