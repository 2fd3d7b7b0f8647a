// The feature service's building footprints of a zoom-15 tile (GeoJSON), as the loader
// turns them into the renderer's triangles.

#include "features/BuildingMesh.h"
#include "fuzz/FuzzCheck.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

using velorin::BuildingMesh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A tile in the Alps.
    constexpr int z = 15;
    constexpr int64_t x = 16860;
    constexpr int64_t y = 11744;
    const auto vertices = BuildingMesh::buildTile(std::span(reinterpret_cast<const std::byte*>(data), size), z, x, y);
    if (!vertices)
        return 0;
    FUZZ_CHECK(vertices->size() % 3 == 0);
    for (const auto& v : *vertices) {
        for (const float value : {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.part, v.footX, v.footY, v.wallU, v.wallLength})
            FUZZ_CHECK(std::isfinite(value));
        // From the wall's foot below the ground up to the tallest building there may be.
        FUZZ_CHECK(v.z >= BuildingMesh::kWallFootMeters && v.z <= BuildingMesh::kMaxHeightMeters);
        const float normal = v.nx * v.nx + v.ny * v.ny + v.nz * v.nz;
        FUZZ_CHECK(std::abs(normal - 1) < 1e-3f);
        for (const float channel : v.color)
            FUZZ_CHECK(std::isfinite(channel) && channel <= 1);
    }
    return 0;
}
