#include "features/EarClipper.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velorin {

namespace {

using Point = EarClipper::Point;

double cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
Point minus(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }

// Inside the triangle a, b, c (counter-clockwise in the ring's frame) or on one of its sides.
bool inTriangle(Point p, Point a, Point b, Point c)
{
    return cross(minus(b, a), minus(p, a)) >= 0 && cross(minus(c, b), minus(p, b)) >= 0
        && cross(minus(a, c), minus(p, c)) >= 0;
}

// No grid is finer than this many cells along a side, whatever the ring.
constexpr double kMaxGridCellsAcross = 4096;

} // namespace

EarClipper::EarClipper(const BuildingMesh::Ring& ring)
    : ring_(ring)
    , previous_(ring.size())
    , next_(ring.size())
    , alive_(ring.size(), true)
    , inGrid_(ring.size(), false)
    , spoils_(ring.size())
    , blocker_(ring.size(), kNone)
    , waiting_(ring.size(), false)
    , count_(ring.size())
{
    for (std::size_t i = 0; i < count_; ++i) {
        previous_[i] = (i + count_ - 1) % count_;
        next_[i] = (i + 1) % count_;
    }
}

bool EarClipper::isConvex(std::size_t corner) const
{
    const Point a = ring_[previous_[corner]];
    const Point b = ring_[corner];
    const Point c = ring_[next_[corner]];
    return cross(minus(b, a), minus(c, a)) > 0;
}

std::size_t EarClipper::cellOf(Point p) const
{
    const auto index = [&](double value, double origin, std::size_t cells) {
        const double at = std::floor((value - origin) / grid_.cellSize);
        return std::size_t(std::clamp(at, 0.0, double(cells - 1)));
    };
    return index(p.y, grid_.minY, grid_.down) * grid_.across + index(p.x, grid_.minX, grid_.across);
}

void EarClipper::addToGrid(std::size_t corner)
{
    grid_.cells[cellOf(ring_[corner])].push_back(corner);
    inGrid_[corner] = true;
}

void EarClipper::removeFromGrid(std::size_t corner)
{
    std::erase(grid_.cells[cellOf(ring_[corner])], corner);
    inGrid_[corner] = false;
    // What it still spoils may be an ear now.
    for (std::size_t spoiled : spoils_[corner])
        if (blocker_[spoiled] == corner)
            wait(spoiled);
    spoils_[corner].clear();
}

void EarClipper::wait(std::size_t corner)
{
    if (waiting_[corner])
        return;
    waiting_[corner] = true;
    pending_.push_back(corner);
}

std::optional<std::size_t> EarClipper::blockerOf(std::size_t corner) const
{
    const std::size_t before = previous_[corner];
    const std::size_t after = next_[corner];
    const Point a = ring_[before];
    const Point b = ring_[corner];
    const Point c = ring_[after];
    const auto rowOf = [&](double y) {
        return std::size_t(std::clamp(std::floor((y - grid_.minY) / grid_.cellSize), 0.0, double(grid_.down - 1)));
    };
    const auto columnOf = [&](double x) {
        return std::size_t(std::clamp(std::floor((x - grid_.minX) / grid_.cellSize), 0.0, double(grid_.across - 1)));
    };
    const std::array<Point, 3> corners{a, b, c};
    // Row by row, only the cells the triangle reaches: the long thin triangles of a fan
    // cover a wide box but few cells.
    const std::size_t lastRow = rowOf(std::max({a.y, b.y, c.y}));
    for (std::size_t row = rowOf(std::min({a.y, b.y, c.y})); row <= lastRow; ++row) {
        const double top = grid_.minY + double(row) * grid_.cellSize;
        const double bottom = top + grid_.cellSize;
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (std::size_t i = 0; i < 3; ++i) {
            const Point p = corners[i];
            const Point q = corners[(i + 1) % 3];
            if (p.y >= top && p.y <= bottom) {
                low = std::min(low, p.x);
                high = std::max(high, p.x);
            }
            for (const double y : {top, bottom}) {
                if ((p.y < y && q.y > y) || (p.y > y && q.y < y)) {
                    const double x = p.x + (q.x - p.x) * (y - p.y) / (q.y - p.y);
                    low = std::min(low, x);
                    high = std::max(high, x);
                }
            }
        }
        // The first and last rows reach as far as the points clamped into them.
        if (row == 0 || row == lastRow) {
            for (const Point& p : corners) {
                if (rowOf(p.y) == row) {
                    low = std::min(low, p.x);
                    high = std::max(high, p.x);
                }
            }
        }
        if (!(low <= high))
            continue;
        const std::size_t lastColumn = columnOf(high);
        for (std::size_t column = columnOf(low); column <= lastColumn; ++column) {
            for (std::size_t other : grid_.cells[row * grid_.across + column]) {
                if (other == before || other == corner || other == after)
                    continue;
                const Point p = ring_[other];
                if (p == a || p == b || p == c)
                    continue;
                if (inTriangle(p, a, b, c))
                    return other;
            }
        }
    }
    return std::nullopt;
}

void EarClipper::classify(std::size_t corner)
{
    if (!alive_[corner])
        return;
    ears_.erase(corner);
    if (!isConvex(corner)) {
        blocker_[corner] = kNone;
        if (!inGrid_[corner])
            addToGrid(corner);
        return;
    }
    if (inGrid_[corner])
        removeFromGrid(corner);
    const auto blocker = blockerOf(corner);
    if (blocker) {
        if (blocker_[corner] != *blocker)
            spoils_[*blocker].push_back(corner);
        blocker_[corner] = *blocker;
        return;
    }
    blocker_[corner] = kNone;
    ears_.insert(corner);
}

void EarClipper::settle()
{
    while (!pending_.empty()) {
        const std::size_t corner = pending_.back();
        pending_.pop_back();
        waiting_[corner] = false;
        classify(corner);
    }
}

void EarClipper::clip(std::size_t ear)
{
    const std::size_t before = previous_[ear];
    const std::size_t after = next_[ear];
    next_[before] = after;
    previous_[after] = before;
    alive_[ear] = false;
    ears_.erase(ear);
    // The ring's first corner is the lowest one left, as the ears are taken in ring order.
    if (ear == first_)
        first_ = after;
    wait(before);
    wait(after);
    settle();
}

std::vector<EarClipper::Triangle> EarClipper::triangles()
{
    std::vector<Triangle> triangles;
    if (count_ < 3)
        return triangles;

    std::vector<std::size_t> reflex;
    Point low{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    Point high{-low.x, -low.y};
    for (std::size_t i = 0; i < count_; ++i) {
        low = {std::min(low.x, ring_[i].x), std::min(low.y, ring_[i].y)};
        high = {std::max(high.x, ring_[i].x), std::max(high.y, ring_[i].y)};
        if (!isConvex(i))
            reflex.push_back(i);
    }
    // About one reflex corner a cell.
    const double width = high.x - low.x;
    const double height = high.y - low.y;
    double cellSize = std::sqrt(width * height / double(std::max<std::size_t>(reflex.size(), 1)));
    cellSize = std::max(cellSize, std::max(width, height) / kMaxGridCellsAcross);
    if (!(cellSize > 0) || !std::isfinite(cellSize))
        cellSize = 1;
    grid_.minX = low.x;
    grid_.minY = low.y;
    grid_.cellSize = cellSize;
    grid_.across = std::size_t(std::floor(width / cellSize)) + 1;
    grid_.down = std::size_t(std::floor(height / cellSize)) + 1;
    grid_.cells.assign(grid_.across * grid_.down, {});
    for (std::size_t corner : reflex)
        addToGrid(corner);
    for (std::size_t i = 0; i < count_; ++i)
        if (!inGrid_[i])
            wait(i);
    settle();

    std::size_t left = count_;
    // A ring that crosses itself can leave an ear unnoticed: before giving up, every corner
    // is looked at once more, again only after the next ear.
    bool lookedAgain = false;
    while (left >= 4 && triangles.size() < kMaxEars) {
        if (ears_.empty()) {
            if (lookedAgain)
                break;
            lookedAgain = true;
            for (std::size_t corner = first_, k = 0; k < left; ++k, corner = next_[corner])
                wait(corner);
            settle();
            continue;
        }
        const std::size_t ear = *ears_.begin();
        // An ear stays one in a simple ring; in any other it is checked before it goes.
        if (!isConvex(ear) || blockerOf(ear)) {
            wait(ear);
            settle();
            continue;
        }
        triangles.push_back({ring_[previous_[ear]], ring_[ear], ring_[next_[ear]]});
        clip(ear);
        lookedAgain = false;
        --left;
    }

    const std::size_t centre = first_;
    for (std::size_t corner = next_[next_[first_]], k = 2; k < left; ++k, corner = next_[corner])
        triangles.push_back({ring_[centre], ring_[previous_[corner]], ring_[corner]});
    return triangles;
}

} // namespace velorin
