#pragma once

#include <cstddef>

namespace velorin {

// A vertex of the sky and of the overlays, as "solid_vertex" reads it: a position in
// normalised device coordinates (z = 0 is the far plane of reversed depth) and a
// premultiplied colour. Member order is the contract with the GLSL. A plain value; any
// thread.
struct SolidVertex {
    float x = 0;
    float y = 0;
    float z = 0;
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;

    bool operator==(const SolidVertex&) const = default;
};

static_assert(sizeof(SolidVertex) == 7 * sizeof(float));
static_assert(offsetof(SolidVertex, r) == 12);

} // namespace velorin
