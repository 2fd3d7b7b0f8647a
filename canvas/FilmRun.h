#pragma once

#include "canvas/FilmEncoder.h"
#include "canvas/FilmSize.h"
#include "canvas/ResourceWait.h"
#include "map-data/Basemap.h"
#include "recordings/CameraPose.h"
#include "renderer/Camera.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velorin {

// A film being written by the canvas: its poses and size, how far the rendering and the
// encoding got, and what the canvas puts back at the end. GUI thread only.
struct FilmRun {
    // Tells the blocks of one film from those of a later one.
    std::uint64_t id = 0;
    std::vector<CameraPose> poses;
    FilmSize size;
    bool overlays = false;
    std::function<void(double)> progress;
    std::function<void(bool)> completion;
    // What the canvas had before.
    Camera savedCamera;
    Basemap savedBasemap = Basemap::top25;
    int savedDetailBias = 0;

    std::unique_ptr<FilmEncoder> encoder;
    // The next pose to render.
    std::size_t next = 0;
    // Since when the next pose waits for what it shows; a retry is pending meanwhile.
    std::optional<double> waitingSince;
    bool retryPending = false;
    bool stepPosted = false;
    bool finishing = false;
    ResourceWait resourceWait;
};

} // namespace velorin
