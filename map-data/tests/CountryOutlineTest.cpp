#include "map-data/CountryOutline.h"
#include "map-data/CountryOutlineMask.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>

using namespace velorin;
using Point = CountryOutline::Point;

namespace {

constexpr double kEarthCircumferenceMetres = 40075016.6855785;

// Outline bytes written field by field, so that a test can lie about the counts.
struct OutlineBytes {
    std::vector<std::byte> bytes;

    OutlineBytes& count(int32_t value)
    {
        append(&value, sizeof value);
        return *this;
    }
    OutlineBytes& point(double x, double y)
    {
        append(&x, sizeof x);
        append(&y, sizeof y);
        return *this;
    }
    OutlineBytes& ring(const std::vector<Point>& points)
    {
        count(int32_t(points.size()));
        for (auto p : points)
            point(p.x, p.y);
        return *this;
    }
    void append(const void* data, std::size_t size)
    {
        auto at = bytes.size();
        bytes.resize(at + size);
        std::memcpy(bytes.data() + at, data, size);
    }
};

const std::vector<Point> kTriangle { { 0.1, 0.1 }, { 0.2, 0.1 }, { 0.15, 0.2 } };
const std::vector<Point> kQuad { { 0.5, 0.5 }, { 0.6, 0.5 }, { 0.6, 0.6 }, { 0.5, 0.6 } };

Point world(double latitude, double longitude)
{
    const double phi = latitude * std::numbers::pi / 180;
    return { (longitude + 180) / 360, (1 - std::asinh(std::tan(phi)) / std::numbers::pi) / 2 };
}

struct Tile {
    double minX, minY, maxX, maxY;
    double size() const { return maxX - minX; }
};

Tile tileAt(Point p, int z)
{
    const double n = std::exp2(z);
    const double x = std::floor(p.x * n), y = std::floor(p.y * n);
    return { x / n, y / n, (x + 1) / n, (y + 1) / n };
}

std::optional<std::vector<bool>> maskOf(const CountryOutline& outline, const Tile& t)
{
    return countryOutlineMask(outline, t.minX, t.minY, t.maxX, t.maxY);
}

double metresPerWorldUnit(const Tile& t)
{
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - (t.minY + t.maxY))));
    return std::cos(latitude) * kEarthCircumferenceMetres;
}

} // namespace

TEST(CountryOutline, ParsesRingsAndStopsCleanlyAtTheFirstBadOne)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        OutlineBytes data;
        std::size_t rings;
    };
    const Case cases[] = {
        { "two good rings", OutlineBytes().count(2).ring(kTriangle).ring(kQuad), 2 },
        { "a second ring of two points", OutlineBytes().count(2).ring(kTriangle).ring({ { 0, 0 }, { 1, 1 } }), 1 },
        { "a negative ring count", OutlineBytes().count(-1).ring(kTriangle), 0 },
        { "a ring count larger than the rings", OutlineBytes().count(5).ring(kTriangle), 1 },
        { "a ring cut short", OutlineBytes().count(2).ring(kTriangle).count(4).point(0, 0).point(1, 0), 1 },
        // 0x10000001 points of 16 bytes wrap to 16 bytes in 32-bit arithmetic.
        { "a point count that overflows 32 bits", OutlineBytes().count(2).ring(kTriangle).count(0x10000001).point(0.3, 0.3), 1 },
        { "the largest point count", OutlineBytes().count(1).count(std::numeric_limits<int32_t>::max()).point(0, 0), 0 },
        { "a coordinate that is not a number", OutlineBytes().count(2).ring(kTriangle).count(3).point(0, 0).point(nan, 0).point(1, 1), 1 },
        { "a ring count cut short", OutlineBytes().count(1).count(3), 0 },
        { "too short for a ring count", OutlineBytes { { std::byte(1), std::byte(0) } }, 0 },
    };
    for (const auto& c : cases) {
        auto outline = CountryOutline::parse(c.data.bytes);
        EXPECT_EQ(outline.rings().size(), c.rings) << c.what;
        if (c.rings > 0) {
            EXPECT_EQ(outline.rings()[0], kTriangle) << c.what;
        }
    }
    auto two = CountryOutline::parse(OutlineBytes().count(2).ring(kTriangle).ring(kQuad).bytes);
    ASSERT_EQ(two.bounds().size(), 2u);
    EXPECT_EQ(two.bounds()[1].minX, 0.5);
    EXPECT_EQ(two.bounds()[1].maxY, 0.6);
}

TEST(CountryOutline, AMissingFileGivesAnEmptyOutlineThatCoversNothing)
{
    auto outline = CountryOutline::read("/nonexistent/France.outline");
    EXPECT_TRUE(outline.empty());
    auto mask = countryOutlineMask(outline, 0.5, 0.3, 0.5001, 0.3001);
    ASSERT_TRUE(mask);
    EXPECT_EQ(std::count(mask->begin(), mask->end(), true), 65536);
}

TEST(CountryOutline, ContainsFollowsTheEvenOddRuleSoHolesAreOutside)
{
    CountryOutline outline({ { { 0.1, 0.1 }, { 0.5, 0.1 }, { 0.5, 0.5 }, { 0.1, 0.5 } },
        { { 0.2, 0.2 }, { 0.3, 0.2 }, { 0.3, 0.3 }, { 0.2, 0.3 } } });
    EXPECT_TRUE(outline.contains(0.15, 0.15));
    EXPECT_FALSE(outline.contains(0.25, 0.25));
    EXPECT_FALSE(outline.contains(0.6, 0.15));
}

class SquareOutlineMask : public ::testing::Test {
protected:
    // A square about 40 km wide whose west edge runs through the middle of a level-12 tile.
    Tile tile = tileAt(world(45, 5), 12);
    double edgeX = (tile.minX + tile.maxX) / 2;
    CountryOutline square { { { { edgeX, tile.minY - 0.0005 }, { edgeX + 0.001, tile.minY - 0.0005 },
        { edgeX + 0.001, tile.minY + 0.0005 }, { edgeX, tile.minY + 0.0005 } } } };

    // The tile shifted east or west by a number of metres.
    Tile shifted(double metres) const
    {
        const double dx = metres / metresPerWorldUnit(tile);
        return { tile.minX + dx, tile.minY, tile.maxX + dx, tile.maxY };
    }
};

TEST_F(SquareOutlineMask, ATileInsideIsCoveredAndATileFarOutsideIsNot)
{
    Tile inside { edgeX + 0.0002, tile.minY, edgeX + 0.0002 + tile.size(), tile.maxY };
    EXPECT_FALSE(maskOf(square, inside));
    // 300 m inside the border the outline is within reach, but still covers every cell.
    EXPECT_FALSE(maskOf(square, shifted((edgeX - tile.minX) * metresPerWorldUnit(tile) + 300)));

    Tile farAway { edgeX - 0.01, tile.minY, edgeX - 0.01 + tile.size(), tile.maxY };
    auto mask = maskOf(square, farAway);
    ASSERT_TRUE(mask);
    EXPECT_EQ(std::count(mask->begin(), mask->end(), true), 65536);
}

TEST_F(SquareOutlineMask, AStraddlingTileIsOutsideOnlyBeyondTheMargin)
{
    auto mask = maskOf(square, tile);
    ASSERT_TRUE(mask);
    const double metresPerCell = tile.size() * metresPerWorldUnit(tile) / 256;
    for (int column = 0; column < 256; ++column) {
        const double metresWestOfEdge = (edgeX - tile.minX) * metresPerWorldUnit(tile) - (column + 0.5) * metresPerCell;
        if (std::abs(metresWestOfEdge - 250) < metresPerCell)
            continue;
        const bool expected = metresWestOfEdge > 250;
        for (int row : { 0, 128, 255 })
            EXPECT_EQ((*mask)[row * 256 + column], expected) << "column " << column << " row " << row
                                                            << ", " << metresWestOfEdge << " m west of the edge";
    }
}

TEST_F(SquareOutlineMask, ABorderWithinTheMarginOfATileStillCoversItsNearCells)
{
    // The tile lies wholly west of the square, its east edge 150 m from the border: cells
    // within 100 m of its east edge are still covered.
    const double eastEdgeToBorderMetres = (tile.maxX - edgeX) * metresPerWorldUnit(tile);
    Tile near = shifted(-eastEdgeToBorderMetres - 150);
    auto mask = maskOf(square, near);
    ASSERT_TRUE(mask);
    EXPECT_FALSE((*mask)[128 * 256 + 255]);
    EXPECT_TRUE((*mask)[128 * 256 + 200]);

    // 600 m away the outline is out of reach and the whole tile is outside.
    Tile far = shifted(-eastEdgeToBorderMetres - 600);
    auto farMask = maskOf(square, far);
    ASSERT_TRUE(farMask);
    EXPECT_EQ(std::count(farMask->begin(), farMask->end(), true), 65536);
}

TEST(FranceOutline, HoldsParisButNeitherGenevaNorBarcelona)
{
    const auto& france = CountryOutline::france();
    ASSERT_FALSE(france.empty());
    struct Case {
        const char* city;
        double latitude, longitude;
        bool inside;
    };
    for (auto c : { Case { "Paris", 48.8566, 2.3522, true }, Case { "Corte", 42.3061, 9.1500, true },
             Case { "Geneva", 46.2044, 6.1432, false }, Case { "Barcelona", 41.3874, 2.1686, false },
             Case { "Brussels", 50.8503, 4.3517, false } }) {
        const Point p = world(c.latitude, c.longitude);
        EXPECT_EQ(france.contains(p.x, p.y), c.inside) << c.city;

        const Tile t = tileAt(p, 12);
        auto mask = countryOutlineMask(t.minX, t.minY, t.maxX, t.maxY);
        const int column = int((p.x - t.minX) / t.size() * 256);
        const int row = int((p.y - t.minY) / t.size() * 256);
        const bool outside = mask && (*mask)[row * 256 + column];
        EXPECT_EQ(outside, !c.inside) << c.city;
    }
    const Tile paris = tileAt(world(48.8566, 2.3522), 12);
    EXPECT_FALSE(countryOutlineMask(paris.minX, paris.minY, paris.maxX, paris.maxY)) << "Paris is deep inside";
}
