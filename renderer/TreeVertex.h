#pragma once

#include <cstddef>

namespace velorin {

// A corner of a tree model triangle with its face normal, for a tree of height 1 standing
// on its origin, z up; "tree_vertex" reads it. Member order is the contract with the
// GLSL. A plain value; any thread.
struct TreeVertex {
    float x = 0;
    float y = 0;
    float z = 0;
    float nx = 0;
    float ny = 0;
    float nz = 0;

    bool operator==(const TreeVertex&) const = default;
};

static_assert(sizeof(TreeVertex) == 6 * sizeof(float));
static_assert(offsetof(TreeVertex, nx) == 12);

} // namespace velorin
