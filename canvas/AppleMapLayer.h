#pragma once

#include "map-data/Basemap.h"
#include "map-data/ServiceHosts.h"
#include "platform/MapView.h"
#include "recordings/TrackDisplayPoint.h"
#include "renderer/Camera.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

class TileRelay;

// The two world basemaps, drawn by a 2D map view under the canvas: which source it shows,
// the track as coloured lines over it, the slope shading as a tile overlay, and the
// conversions between its camera and the canvas's. GUI thread only; the map view reports
// its camera through `onCameraChanged` on that thread.
class AppleMapLayer {
public:
    static constexpr double kLineAlpha = 0.95;
    static constexpr double kCasingWhite = 0.1;
    static constexpr double kCasingAlpha = 0.55;
    // The map's distance is this many view heights of ground pixels: the same factor both ways.
    static constexpr double kDistanceViewHeights = 1.5;
    static constexpr double kMaxPitchRadians = 2.0943951023931953;
    static constexpr int kPlanMaxLevel = 19;
    static constexpr int kSatelliteMaxLevel = 15;
    static constexpr int kSlopesMaxLevel = 17;

    // One line of the track on the map.
    struct TrackLine {
        std::vector<platform::MapCoordinate> coordinates;
        platform::MapColor color {1.0, 0.36, 0.05, kLineAlpha};
        bool isCasing = false;
        bool operator==(const TrackLine&) const = default;
    };

    // The slope-shading tiles, each URL built by the layer.
    struct SlopesOverlay {
        static platform::MapTileSource make(const AppleMapLayer& layer);
    };

    // Where the tiles come from: the hosts of the two sources and of the slopes, and the
    // relay the slope tiles may go through (none: straight upstream).
    struct Sources {
        ServiceHosts hosts;
        std::shared_ptr<TileRelay> relay;
    };

    AppleMapLayer(std::shared_ptr<platform::MapView> mapView, Sources sources);
    AppleMapLayer(const AppleMapLayer&) = delete;
    AppleMapLayer& operator=(const AppleMapLayer&) = delete;

    // The map's camera and whether the user moves it: every change, and once more, not
    // moving, when it comes to rest.
    std::function<void(const platform::MapCamera&, bool userMoving)> onCameraChanged;

    platform::MapView& mapView() const { return *mapView_; }
    Basemap basemap() const { return basemap_; }
    const std::vector<TrackLine>& trackLines() const { return trackLines_; }
    bool showsSlopes() const { return showsSlopes_; }

    // Shows that world basemap, with the current choice of shops and services.
    void apply(Basemap basemap);
    // Shops and services shown or not; a change applies the configuration again. Raster
    // tiles carry no such categories, so nothing on the map changes.
    bool showsCommerce() const { return showsCommerce_; }
    void setShowsCommerce(bool on);
    // The track as lines, one run per travel mode, casings under the colours; fewer than
    // two points draw none.
    void setTrack(const std::vector<TrackDisplayPoint>& points);
    void setSlopes(bool on);
    // The walker's position, or none.
    void setPosition(std::optional<WorldPoint> position);

    // The relayed URL of a slope tile, or "about:blank" when none can be formed.
    std::string slopesTileURL(int64_t x, int64_t y, int z) const;
    // The colour of a run's lines by its travel mode.
    static platform::MapColor color(std::optional<TravelMode> mode);
    static platform::MapCoordinate coordinate(WorldPoint point);

    static platform::MapCamera mapCamera(const Camera& camera);
    static Camera camera(const platform::MapCamera& camera, Camera::Size viewSize);

private:
    static std::string slopesTileURL(const Sources& sources, int64_t x, int64_t y, int z);

    std::shared_ptr<platform::MapView> mapView_;
    Sources sources_;
    std::vector<TrackLine> trackLines_;
    bool showsSlopes_ = false;
    Basemap basemap_ = Basemap::applePlan;
    bool showsCommerce_ = false;
};

} // namespace velorin
