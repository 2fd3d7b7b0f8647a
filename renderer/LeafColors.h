#pragma once

#include "platform/gpu/Std140.h"

#include <chrono>

namespace velorin {

// The two leaf colours (RGBA) that a tree blends between by its shade: by season for the
// oaks (fresh green in spring, dark in summer, turning in October, bare brown in winter and
// early spring) and the other broadleaves, constant for conifers, shrubs and evergreen oaks.
// A plain value; any thread.
struct LeafColors {
    gpu::Float4 leafA;
    gpu::Float4 leafB;

    // By month, 1 (January) to 12; any other value gives March's colours.
    static LeafColors forMonth(int month);
    // The pair of a tree shape slot (0 conifer, 1 broadleaf, 2 shrub, 3 evergreen oak, 4 oak)
    // in a month, 1 to 12; slot 4 takes `forMonth`.
    static LeafColors forSlot(int slot, int month);
    // The month, 1 to 12, of `date` in the user's local time; 0 when it cannot be told.
    static int localMonth(std::chrono::system_clock::time_point date);

    bool operator==(const LeafColors&) const = default;
};

// The leaf colours of the month of `date` in the user's local time.
LeafColors seasonalLeafColors(std::chrono::system_clock::time_point date);

} // namespace velorin
