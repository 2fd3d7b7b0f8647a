#include "renderer/RoofPieces.h"

#include <algorithm>

namespace velorin {

namespace {

using Vertex = BuildingService::Vertex;

// A convex piece of roof: a triangle cut by two lines has at most seven corners.
struct Polygon {
    std::array<Vertex, 7> corners{};
    std::size_t count = 0;

    void add(const Vertex& vertex) { corners[count++] = vertex; }
};

// The point at `t` from a to b: position, height and wall values move along the side; the
// rest is the roof's own.
Vertex between(const Vertex& a, const Vertex& b, float t)
{
    Vertex point = a;
    point.x = a.x + (b.x - a.x) * t;
    point.y = a.y + (b.y - a.y) * t;
    point.z = a.z + (b.z - a.z) * t;
    point.wallU = a.wallU + (b.wallU - a.wallU) * t;
    point.wallLength = a.wallLength + (b.wallLength - a.wallLength) * t;
    return point;
}

// The parts of a convex polygon on either side of the line x = at (or y = at): a corner on
// the line belongs to both.
std::array<Polygon, 2> cut(const Polygon& polygon, bool alongX, float at)
{
    std::array<Polygon, 2> sides;
    const auto offset = [&](const Vertex& v) { return (alongX ? v.x : v.y) - at; };
    for (std::size_t i = 0; i < polygon.count; ++i) {
        const Vertex& a = polygon.corners[i];
        const Vertex& b = polygon.corners[(i + 1) % polygon.count];
        const float da = offset(a);
        const float db = offset(b);
        if (da <= 0)
            sides[0].add(a);
        if (da >= 0)
            sides[1].add(a);
        if ((da < 0 && db > 0) || (da > 0 && db < 0)) {
            const Vertex crossing = between(a, b, da / (da - db));
            sides[0].add(crossing);
            sides[1].add(crossing);
        }
    }
    return sides;
}

bool crosses(const RoofPieces::Triangle& triangle, bool alongX, float at)
{
    const auto value = [&](const Vertex& v) { return alongX ? v.x : v.y; };
    const auto [low, high] = std::minmax({value(triangle[0]), value(triangle[1]), value(triangle[2])});
    return low < at && high > at;
}

} // namespace

bool RoofPieces::crossesQuarterLines(const Triangle& triangle, float halfTileMeters)
{
    return crosses(triangle, true, halfTileMeters) || crosses(triangle, false, halfTileMeters);
}

RoofPieces RoofPieces::of(const Triangle& triangle, float halfTileMeters)
{
    RoofPieces pieces;
    const bool acrossX = crosses(triangle, true, halfTileMeters);
    const bool acrossY = crosses(triangle, false, halfTileMeters);
    if (!acrossX && !acrossY) {
        pieces.triangles_[0] = triangle;
        pieces.count_ = 1;
        return pieces;
    }
    Polygon whole;
    for (const Vertex& vertex : triangle)
        whole.add(vertex);
    std::array<Polygon, 4> parts;
    std::size_t partCount = 0;
    const auto byY = [&](const Polygon& polygon) {
        if (!acrossY) {
            parts[partCount++] = polygon;
            return;
        }
        for (const Polygon& side : cut(polygon, false, halfTileMeters))
            parts[partCount++] = side;
    };
    if (acrossX) {
        for (const Polygon& side : cut(whole, true, halfTileMeters))
            byY(side);
    } else {
        byY(whole);
    }
    for (std::size_t p = 0; p < partCount; ++p) {
        const Polygon& part = parts[p];
        for (std::size_t k = 2; k < part.count; ++k)
            pieces.triangles_[pieces.count_++] = {part.corners[0], part.corners[k - 1], part.corners[k]};
    }
    return pieces;
}

} // namespace velorin
