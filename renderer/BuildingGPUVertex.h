#pragma once

#include <cstddef>

namespace velorin {

// A vertex of a building mesh as "building_vertex" reads it: metres east and south of the
// zoom-15 tile's north-west corner, the elevation in metres, the face normal, which part
// of the building it belongs to, its colour, and where it lies along and up its wall.
// Member order is the contract with the GLSL. A plain value; any thread.
struct BuildingGPUVertex {
    float x = 0;
    float y = 0;
    float elevation = 0;
    float nx = 0;
    float ny = 0;
    float nz = 0;
    float part = 0;
    float r = 0;
    float g = 0;
    float b = 0;
    float wallU = 0;
    float wallHeight = 0;
    float wallLength = 0;

    bool operator==(const BuildingGPUVertex&) const = default;
};

static_assert(sizeof(BuildingGPUVertex) == 13 * sizeof(float));
static_assert(offsetof(BuildingGPUVertex, nx) == 12);
static_assert(offsetof(BuildingGPUVertex, part) == 24);
static_assert(offsetof(BuildingGPUVertex, r) == 28);
static_assert(offsetof(BuildingGPUVertex, wallU) == 40);

} // namespace velorin
