#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace velorin {

// One vertex of a terrain tile mesh, as the "textured_vertex" function reads it: its
// place across the tile quad (0…1, v growing southwards), the ground elevation there and
// the ground's slope, from which the relief is shaded. The place and the slope are 16-bit
// fractions, so that a vertex takes no more memory than its place and elevation as floats.
// Member order is the contract with the GLSL. A plain value; any thread.
struct MeshVertex {
    // Slopes are stored up to this many metres up per metre (83°); steeper ground shades as it.
    static constexpr float kMaxSlope = 8;

    std::uint16_t u = 0; // 0…65535 for 0…1
    std::uint16_t v = 0;
    float elevation = 0;         // metres
    std::int16_t slopeEast = 0;  // −32767…32767 for −kMaxSlope…kMaxSlope, eastwards
    std::int16_t slopeSouth = 0; // southwards

    // The stored place nearest a fraction.
    static std::uint16_t place(float fraction)
    {
        return std::uint16_t(std::clamp(fraction, 0.0f, 1.0f) * 65535.0f + 0.5f);
    }
    // A slope as stored, still as a float: a blend of two of these stores by truncation.
    static float slopeUnits(double metresPerMetre)
    {
        // NaN stores as level ground.
        return metresPerMetre == metresPerMetre ? float(std::clamp(metresPerMetre / kMaxSlope, -1.0, 1.0) * 32767) : 0;
    }

    bool operator==(const MeshVertex&) const = default;
};

static_assert(sizeof(MeshVertex) == 12);
static_assert(offsetof(MeshVertex, v) == 2);
static_assert(offsetof(MeshVertex, elevation) == 4);
static_assert(offsetof(MeshVertex, slopeEast) == 8);
static_assert(offsetof(MeshVertex, slopeSouth) == 10);

} // namespace velorin
