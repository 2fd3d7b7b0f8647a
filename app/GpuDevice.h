#pragma once

#include <functional>
#include <optional>

namespace velorin {

// The graphics capability that start-up found: the OpenGL version the map can draw
// with and the largest texture side. A plain value; any thread.
struct GpuDevice {
    // Major × 10 + minor: 45 for OpenGL 4.5.
    int glVersion = 0;
    int maxTextureSize = 0;

    // Looks for a GPU that can draw the map; nothing when there is none. The program
    // uses `probeDefault`; tests substitute their own to force either outcome.
    using Probe = std::function<std::optional<GpuDevice>()>;

    // Opens an OpenGL 3.3 core context off screen, reads its figures and closes it again,
    // so that no context stays current on the calling thread. Logs why it failed.
    static std::optional<GpuDevice> probeDefault();

    bool operator==(const GpuDevice&) const = default;
};

} // namespace velorin
