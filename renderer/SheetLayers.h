#pragma once

#include "map-data/SheetCatalog.h"
#include "map-data/TextureCache.h"
#include "map-data/TileKey.h"
#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"
#include "platform/gpu/Texture.h"

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace velorin {

class MapRenderer;

// The TOP25 sheets drawn over the pyramid tiles with the TOP25 basemap from zoom 10.6 on:
// a sheet small on screen as one quad of its thumbnail, a wide one as its sub-tiles over
// its thumbnail. Collects the sheet keys the frame wants and turns its quads into the
// renderer's terrain draws. GUI thread only, during scene preparation.
class SheetLayers {
public:
    // One sheet quad waiting to become a draw.
    struct Quad {
        std::array<WorldPoint, 4> corners; // nw, ne, se, sw
        std::shared_ptr<gpu::Texture> texture;
        float alpha = 1;
        bool backdrop = false;
    };

    static constexpr double kMinZoom = 10.6;
    static constexpr std::size_t kMaxSheets = 180;
    // On-screen widths of a sheet's north edge that choose its layer.
    static constexpr double kSmallThumbnailMaxWidth = 420;
    static constexpr double kLargeThumbnailMaxWidth = 1300;
    static constexpr std::int64_t kSmallThumbnailSize = 256;
    static constexpr std::int64_t kLargeThumbnailSize = 1024;
    static constexpr double kFadeSeconds = 0.18;
    static constexpr double kSheetDrawLevel = 21.0;
    static constexpr int kPitchedDivisions = 48;

    SheetLayers(SheetCatalog catalog, std::shared_ptr<TextureCache> cache);

    // Fills the lists below anew for the visible `rect` at frame time `now`, then turns the
    // quads into draws of `renderer`. A flight frame shows every texture without a fade.
    void prepareSheetLayers(MapRenderer& renderer, const WorldRect& rect, double now, bool flightFrame = false);

    // This frame's sheet keys, most wanted first, and those fetched only when time allows.
    std::vector<TileKey> desired;
    std::vector<TileKey> lowPriority;
    std::vector<Quad> pendingBase;
    std::vector<Quad> pendingDetail;
    // Sheets in view this frame.
    std::size_t visibleSheetCount = 0;

private:
    void prepareSheetDetail(MapRenderer& renderer, const Sheet& sheet, std::shared_ptr<gpu::Texture> fallback, double now,
        bool flightFrame);
    void flushSheetDraws(MapRenderer& renderer);
    std::shared_ptr<gpu::Texture> cached(const TileKey& key, double now, bool flightFrame, float& alpha);

    const SheetCatalog catalog_;
    const std::shared_ptr<TextureCache> cache_;
};

} // namespace velorin
