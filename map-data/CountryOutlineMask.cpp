#include "map-data/CountryOutlineMask.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace velorin {

namespace {

using Point = CountryOutline::Point;
using Ring = std::vector<Point>;

// Cells this close to the border line still count as covered: the outline is coarser
// than the grid, and a sliver of foreign heights along the border is better than a hole.
constexpr double kCoverageMarginMetres = 250;
constexpr double kEarthCircumferenceMetres = 40075016.6855785;
constexpr int kCellCount = kOutlineMaskSide * kOutlineMaskSide;

struct Rect {
    double minX, minY, maxX, maxY;
};

// One side of the clipping rectangle: keeps the points for which `inside` holds.
template <typename Inside, typename Cross>
Ring clipAgainst(const Ring& ring, Inside inside, Cross cross)
{
    Ring out;
    if (ring.empty())
        return out;
    out.reserve(ring.size() + 4);
    Point previous = ring.back();
    bool previousInside = inside(previous);
    for (const Point& p : ring) {
        const bool pInside = inside(p);
        if (pInside != previousInside)
            out.push_back(cross(previous, p));
        if (pInside)
            out.push_back(p);
        previous = p;
        previousInside = pInside;
    }
    return out;
}

Point crossAtX(Point a, Point b, double x)
{
    const double t = (x - a.x) / (b.x - a.x);
    return { x, a.y + t * (b.y - a.y) };
}

Point crossAtY(Point a, Point b, double y)
{
    const double t = (y - a.y) / (b.y - a.y);
    return { a.x + t * (b.x - a.x), y };
}

Ring clip(const Ring& ring, const Rect& r)
{
    Ring out = clipAgainst(ring, [&](Point p) { return p.x >= r.minX; }, [&](Point a, Point b) { return crossAtX(a, b, r.minX); });
    out = clipAgainst(out, [&](Point p) { return p.x <= r.maxX; }, [&](Point a, Point b) { return crossAtX(a, b, r.maxX); });
    out = clipAgainst(out, [&](Point p) { return p.y >= r.minY; }, [&](Point a, Point b) { return crossAtY(a, b, r.minY); });
    return clipAgainst(out, [&](Point p) { return p.y <= r.maxY; }, [&](Point a, Point b) { return crossAtY(a, b, r.maxY); });
}

// Marks the cells whose centre lies inside the rings by the even-odd rule.
void fillEvenOdd(const std::vector<Ring>& rings, std::vector<uint8_t>& covered)
{
    std::vector<double> crossings;
    for (int row = 0; row < kOutlineMaskSide; ++row) {
        const double cy = row + 0.5;
        crossings.clear();
        for (const Ring& ring : rings) {
            for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
                const Point& a = ring[j];
                const Point& b = ring[i];
                if ((a.y > cy) != (b.y > cy))
                    crossings.push_back(a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
            const double first = std::clamp(std::ceil(crossings[k] - 0.5), 0.0, double(kOutlineMaskSide));
            const double last = std::clamp(std::ceil(crossings[k + 1] - 0.5), 0.0, double(kOutlineMaskSide));
            for (int column = int(first); column < int(last); ++column)
                covered[row * kOutlineMaskSide + column] = 1;
        }
    }
}

// Marks the cells whose centre lies within `halfWidth` of a ring's edges.
void stroke(const std::vector<Ring>& rings, double halfWidth, std::vector<uint8_t>& covered)
{
    const double limit = halfWidth * halfWidth;
    for (const Ring& ring : rings) {
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const Point a = ring[j];
            const Point b = ring[i];
            const int c0 = int(std::max(0.0, std::floor(std::min(a.x, b.x) - halfWidth)));
            const int c1 = int(std::min(double(kOutlineMaskSide - 1), std::ceil(std::max(a.x, b.x) + halfWidth)));
            const int r0 = int(std::max(0.0, std::floor(std::min(a.y, b.y) - halfWidth)));
            const int r1 = int(std::min(double(kOutlineMaskSide - 1), std::ceil(std::max(a.y, b.y) + halfWidth)));
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            const double length2 = dx * dx + dy * dy;
            for (int row = r0; row <= r1; ++row) {
                for (int column = c0; column <= c1; ++column) {
                    const double px = column + 0.5 - a.x;
                    const double py = row + 0.5 - a.y;
                    const double t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
                    const double ex = px - t * dx;
                    const double ey = py - t * dy;
                    if (ex * ex + ey * ey <= limit)
                        covered[row * kOutlineMaskSide + column] = 1;
                }
            }
        }
    }
}

} // namespace

std::optional<std::vector<bool>> countryOutlineMask(const CountryOutline& outline,
    double minX, double minY, double maxX, double maxY)
{
    const double width = maxX - minX;
    if (!(width > 0) || !std::isfinite(width) || !std::isfinite(minY) || !std::isfinite(maxY))
        return std::vector<bool>(kCellCount, true);

    const double centreY = (minY + maxY) / 2;
    const double latitude = std::atan(std::sinh(std::numbers::pi * (1 - 2 * centreY)));
    const double margin = 2 * kCoverageMarginMetres / (std::cos(latitude) * kEarthCircumferenceMetres);
    const Rect grown { minX - margin, minY - margin, maxX + margin, maxY + margin };

    const double scale = kOutlineMaskSide / width;
    std::vector<Ring> rings;
    for (std::size_t r = 0; r < outline.rings().size(); ++r) {
        const auto& box = outline.bounds()[r];
        if (!(box.maxX > grown.minX && box.minX < grown.maxX && box.maxY > grown.minY && box.minY < grown.maxY))
            continue;
        Ring clipped = clip(outline.rings()[r], grown);
        if (clipped.size() < 3)
            continue;
        for (Point& p : clipped)
            p = { (p.x - minX) * scale, (p.y - minY) * scale };
        rings.push_back(std::move(clipped));
    }

    if (rings.empty()) {
        if (outline.contains((minX + maxX) / 2, centreY))
            return std::nullopt;
        return std::vector<bool>(kCellCount, true);
    }

    std::vector<uint8_t> covered(kCellCount, 0);
    fillEvenOdd(rings, covered);
    stroke(rings, margin * scale / 2, covered);

    std::vector<bool> mask(kCellCount);
    bool anyOutside = false;
    for (int i = 0; i < kCellCount; ++i) {
        mask[i] = !covered[i];
        anyOutside = anyOutside || mask[i];
    }
    if (!anyOutside)
        return std::nullopt;
    return mask;
}

std::optional<std::vector<bool>> countryOutlineMask(double minX, double minY, double maxX, double maxY)
{
    return countryOutlineMask(CountryOutline::france(), minX, minY, maxX, maxY);
}

} // namespace velorin
