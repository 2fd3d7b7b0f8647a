#pragma once

#include "platform/gpu/Std140.h"

#include <chrono>

namespace velorin {

// The two leaf colours (RGBA) that broadleaf trees blend between, by season: fresh green
// in spring, dark in summer, turning in October, bare brown in winter and early spring.
// A plain value; any thread.
struct LeafColors {
    gpu::Float4 leafA;
    gpu::Float4 leafB;

    // By month, 1 (January) to 12; any other value gives March's colours.
    static LeafColors forMonth(int month);

    bool operator==(const LeafColors&) const = default;
};

// The leaf colours of the month of `date` in the user's local time.
LeafColors seasonalLeafColors(std::chrono::system_clock::time_point date);

} // namespace velorin
