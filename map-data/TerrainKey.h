#pragma once

// The address of one elevation grid in the Web Mercator tile pyramid: level, column, row.
// A plain value; any thread.

#include <cstddef>
#include <functional>

namespace velorin {

struct TerrainKey {
    int z = 0;
    int x = 0;
    int y = 0;
    bool operator==(const TerrainKey&) const = default;
};

} // namespace velorin

template <>
struct std::hash<velorin::TerrainKey> {
    std::size_t operator()(const velorin::TerrainKey& key) const noexcept
    {
        std::size_t h = std::hash<int>()(key.z);
        h = h * 1000003u ^ std::hash<int>()(key.x);
        return h * 1000003u ^ std::hash<int>()(key.y);
    }
};
