#pragma once

#include "features/BuildingMesh.h"

#include <cstddef>
#include <optional>
#include <set>
#include <vector>

namespace velorin {

// Cuts a footprint ring of non-negative area into triangles by ear clipping, always taking
// the ear that comes first in ring order. Only a corner that is not convex can lie in an ear's
// triangle, so those corners alone are kept in a grid over the ring and each ear is checked
// against the few of them near it; each corner remembers whether it is an ear, and is looked
// at again only when a neighbour goes or the corner that spoiled it turns convex. A town's
// longest rings, with thousands of corners around a courtyard, are thus cut in near n log n
// rather than n². What no ear is left for is fanned from its first corner. A value used by
// one call; any thread.
class EarClipper {
public:
    using Point = BuildingMesh::Point;
    using Triangle = BuildingMesh::Triangle;

    // No ring is cut into more ears than this; the rest is fanned.
    static constexpr std::size_t kMaxEars = 10000;

    explicit EarClipper(const BuildingMesh::Ring& ring);

    std::vector<Triangle> triangles();

private:
    // A uniform grid over the ring's extent holding the corners that are not convex.
    struct ReflexGrid {
        double minX = 0;
        double minY = 0;
        double cellSize = 1;
        std::size_t across = 1;
        std::size_t down = 1;
        std::vector<std::vector<std::size_t>> cells;
    };

    bool isConvex(std::size_t corner) const;
    // Works out whether a corner is an ear now, and keeps the grid and the ears up to date.
    void classify(std::size_t corner);
    // A reflex corner in the corner's triangle (its sides included), other than the three
    // corners' own points; none for an ear.
    std::optional<std::size_t> blockerOf(std::size_t corner) const;
    std::size_t cellOf(Point p) const;
    void addToGrid(std::size_t corner);
    void removeFromGrid(std::size_t corner);
    // Queues a corner to be classified again, once.
    void wait(std::size_t corner);
    // Classifies the corners waiting, and those that a corner leaving the grid freed.
    void settle();
    void clip(std::size_t ear);

    const BuildingMesh::Ring& ring_;
    std::vector<std::size_t> previous_;
    std::vector<std::size_t> next_;
    std::vector<bool> alive_;
    std::vector<bool> inGrid_;
    static constexpr std::size_t kNone = std::size_t(-1);
    // The corners each reflex corner was found to spoil, and the corner that last spoiled
    // each one (kNone for an ear or a reflex corner).
    std::vector<std::vector<std::size_t>> spoils_;
    std::vector<std::size_t> blocker_;
    std::vector<bool> waiting_;
    // The ears, by ring order: the first is clipped next.
    std::set<std::size_t> ears_;
    std::vector<std::size_t> pending_;
    ReflexGrid grid_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

} // namespace velorin
