#pragma once

#include <cstddef>

namespace velorin {

// One vertex of a terrain tile mesh, as the "textured_vertex" function reads it: its
// place across the tile quad (0…1, v growing southwards) and the ground elevation there.
// Member order is the contract with the GLSL. A plain value; any thread.
struct MeshVertex {
    float u = 0;
    float v = 0;
    float elevation = 0; // metres

    bool operator==(const MeshVertex&) const = default;
};

static_assert(sizeof(MeshVertex) == 3 * sizeof(float));
static_assert(offsetof(MeshVertex, elevation) == 8);

} // namespace velorin
