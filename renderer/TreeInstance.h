#pragma once

#include <cstddef>

namespace velorin {

// One placed tree, read per instance by "tree_vertex": metres east and south of its
// zoom-15 tile's north-west corner, the ground elevation under it and its height in
// metres, and a shade that blends its two leaf colours. Member order is the contract with
// the GLSL. A plain value; any thread.
struct TreeInstance {
    float x = 0;
    float y = 0;
    float elevation = 0;
    float height = 0;
    float shade = 0;

    bool operator==(const TreeInstance&) const = default;
};

static_assert(sizeof(TreeInstance) == 5 * sizeof(float));
static_assert(offsetof(TreeInstance, elevation) == 8);
static_assert(offsetof(TreeInstance, shade) == 16);

} // namespace velorin
