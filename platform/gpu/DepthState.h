#pragma once

namespace gpu {

enum class DepthCompare {
    always,       // every fragment passes
    greaterEqual, // reversed depth: nearer surfaces have larger depths, cleared to 0
};

// How a draw tests and writes depth. Depth is reversed: a pass clears it to 0 (the far
// plane) and a fragment at least as near as what is there passes. Plain value.
struct DepthState {
    DepthCompare compare = DepthCompare::always;
    bool write = false;

    bool operator==(const DepthState&) const = default;
};

} // namespace gpu
