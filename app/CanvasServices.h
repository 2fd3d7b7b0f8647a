#pragma once

#include "canvas/MapCanvasView.h"

#include <string_view>

namespace velorin {

class AppModel;

// What a map canvas draws from, taken from a started model: its sheet catalogue, tile
// loader, texture cache, terrain, forest, buildings and place names. The model owns them for the life of the process,
// longer than any canvas, so the canvas only borrows them. Main thread only.
struct CanvasServices {
    // Under the disk store's cache root.
    static constexpr std::string_view kWorldMapCacheFolder = "WorldMaps";

    // The model must be ready (a catalogue and a loader).
    static MapCanvasView::Services of(AppModel& model);
};

} // namespace velorin
