#include "renderer/TileCover.h"

#include <gtest/gtest.h>

#include <limits>

using velorin::ForestService;
using velorin::WorldRect;
using Key = ForestService::Key;

namespace {
constexpr double kTile = 1.0 / 32768;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
} // namespace

TEST(TileCover, ListsTheZoom15TilesUnderARectangleColumnByColumn)
{
    struct Case {
        WorldRect rect;
        std::vector<Key> keys;
        const char* why;
    };
    for (const Case& c : {
             Case{{100.5 * kTile, 7.5 * kTile, 100.5 * kTile, 7.5 * kTile}, {{15, 100, 7}}, "a point"},
             Case{{100.5 * kTile, 7.5 * kTile, 101.5 * kTile, 8.5 * kTile}, {{15, 100, 7}, {15, 100, 8}, {15, 101, 7}, {15, 101, 8}},
                 "columns first"},
             Case{{-0.5, -1, 0.5 * kTile, 0.5 * kTile}, {{15, 0, 0}}, "west and north of the world"},
             Case{{1 - 0.5 * kTile, 0.5, 1.0, 0.5}, {{15, 32767, 16384}}, "the east edge"},
             Case{{2, 0.5, 3, 0.5}, {}, "east of the world"},
             Case{{0.5, 0.5, 0.4, 0.6}, {}, "inverted"},
             Case{{kNaN, 0.5, 0.5, 0.5}, {}, "NaN"},
             Case{{0.5, 0.5, 0.5, kNaN}, {}, "NaN"},
         }) {
        EXPECT_EQ(velorin::tileCover(c.rect), c.keys) << c.why;
        EXPECT_EQ(velorin::tileCoverCount(c.rect), c.keys.size()) << c.why;
    }
    const auto row = velorin::tileCover({-kInfinity, 0.5, 1e300, 0.5});
    ASSERT_EQ(row.size(), 32768u) << "infinite and huge sides are clamped to the world";
    EXPECT_EQ(row.front(), (Key{15, 0, 16384}));
    EXPECT_EQ(row.back(), (Key{15, 32767, 16384}));
    EXPECT_EQ(velorin::tileCoverCount({0, 0, 1, 1}), 32768u * 32768u) << "counted without listing a billion keys";
}
