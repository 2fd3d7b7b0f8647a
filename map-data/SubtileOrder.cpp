#include "map-data/SubtileOrder.h"

namespace velorin {

std::vector<SubtileCell> subtileOrder(const Sheet& sheet, const std::vector<SubtileCell>& wanted)
{
    std::vector<SubtileCell> order;
    if (sheet.columns <= 0 || sheet.rows <= 0)
        return order;
    std::vector<bool> taken(std::size_t(sheet.columns * sheet.rows), false);
    auto take = [&](SubtileCell cell) {
        auto index = std::size_t(cell.row * sheet.columns + cell.column);
        if (taken[index])
            return;
        taken[index] = true;
        order.push_back(cell);
    };
    for (auto cell : wanted) {
        if (cell.column >= 0 && cell.row >= 0 && cell.column < sheet.columns && cell.row < sheet.rows)
            take(cell);
    }
    for (int64_t row = 0; row < sheet.rows; ++row) {
        for (int64_t column = 0; column < sheet.columns; ++column)
            take({ column, row });
    }
    return order;
}

} // namespace velorin
