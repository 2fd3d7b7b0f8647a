#include "map-data/Sheet.h"

namespace velorin {

Sheet::RowRange Sheet::sourceRowRange(int64_t row) const
{
    if (rows <= 0)
        return {};
    return { sourceHeight * row / rows, sourceHeight * (row + 1) / rows };
}

} // namespace velorin
