#pragma once

// Temporary stand-in until the real tile key lands; removed before merging it.

#include <cstdint>
#include <functional>

namespace velorin {

struct TileKey {
    int64_t z = 0;
    int64_t x = 0;
    int64_t y = 0;

    static TileKey pyramid(int64_t z, int64_t x, int64_t y) { return {z, x, y}; }
    bool operator==(const TileKey&) const = default;
};

} // namespace velorin

template <>
struct std::hash<velorin::TileKey> {
    std::size_t operator()(const velorin::TileKey& key) const noexcept
    {
        return std::hash<int64_t>()(key.z * 1000003 ^ key.x * 10007 ^ key.y);
    }
};
