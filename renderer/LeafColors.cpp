#include "renderer/LeafColors.h"

#include <ctime>

namespace velorin {

LeafColors LeafColors::forMonth(int month)
{
    switch (month) {
    case 4:
    case 5:
        return {{0.30f, 0.45f, 0.14f, 1}, {0.38f, 0.50f, 0.17f, 1}};
    case 6:
    case 7:
    case 8:
    case 9:
        return {{0.17f, 0.29f, 0.10f, 1}, {0.24f, 0.35f, 0.12f, 1}};
    case 10:
        return {{0.26f, 0.32f, 0.12f, 1}, {0.45f, 0.34f, 0.15f, 1}};
    case 11:
    case 12:
    case 1:
    case 2:
        return {{0.44f, 0.31f, 0.16f, 1}, {0.52f, 0.36f, 0.19f, 1}};
    default:
        return {{0.38f, 0.30f, 0.20f, 1}, {0.45f, 0.36f, 0.24f, 1}};
    }
}

LeafColors seasonalLeafColors(std::chrono::system_clock::time_point date)
{
    return LeafColors::forMonth(LeafColors::localMonth(date));
}

int LeafColors::localMonth(std::chrono::system_clock::time_point date)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return 0;
    return local.tm_mon + 1;
}

LeafColors LeafColors::forSlot(int slot, int month)
{
    switch (slot) {
    case 0:
        return {{0.09f, 0.19f, 0.09f, 1}, {0.14f, 0.26f, 0.13f, 1}};
    case 1:
        if (month >= 4 && month <= 5)
            return {{0.30f, 0.45f, 0.14f, 1}, {0.40f, 0.52f, 0.18f, 1}};
        if (month >= 6 && month <= 9)
            return {{0.17f, 0.30f, 0.10f, 1}, {0.26f, 0.38f, 0.13f, 1}};
        if (month >= 10 && month <= 11)
            return {{0.72f, 0.55f, 0.12f, 1}, {0.62f, 0.28f, 0.08f, 1}};
        return {{0.34f, 0.29f, 0.24f, 1}, {0.42f, 0.36f, 0.30f, 1}};
    case 2:
        return {{0.66f, 0.70f, 0.54f, 1}, {0.78f, 0.80f, 0.64f, 1}};
    case 3:
        return {{0.15f, 0.24f, 0.11f, 1}, {0.21f, 0.29f, 0.14f, 1}};
    default:
        return forMonth(month);
    }
}

} // namespace velorin
