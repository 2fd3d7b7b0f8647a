#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class Clock;

// The camera of a 2D map: where it looks, from how far, how tilted and turned. Degrees
// and metres.
struct MapCamera {
    double latitude = 0;
    double longitude = 0;
    // From the eye to the ground point at the centre of the view.
    double distance = 0;
    // 0 looks straight down.
    double pitch = 0;
    // Clockwise from north.
    double heading = 0;

    bool isFinite() const
    {
        return std::isfinite(latitude) && std::isfinite(longitude) && std::isfinite(distance) && std::isfinite(pitch)
            && std::isfinite(heading);
    }
    bool operator==(const MapCamera&) const = default;
};

struct MapCoordinate {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const MapCoordinate&) const = default;
};

// A place in the map view, in its points, from the top left.
struct MapViewPoint {
    double x = 0;
    double y = 0;
    bool operator==(const MapViewPoint&) const = default;
};

// Straight (not premultiplied) components in [0, 1].
struct MapColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    bool operator==(const MapColor&) const = default;
};

// Web-Mercator raster tiles: the URL of each, the deepest level the server has (deeper
// views enlarge its tiles) and the credit the picture must show.
struct MapTileSource {
    // Names the source in the disk cache; letters, digits and "-" only.
    std::string name;
    std::function<std::optional<std::string>(int z, int64_t x, int64_t y)> url;
    int maxLevel = 19;
};

// A line over the map; a casing is drawn wider, under the lines.
struct MapPolyline {
    std::vector<MapCoordinate> coordinates;
    MapColor color;
    bool isCasing = false;
};

// What a map view needs from its host: where its tiles are kept between runs, and time.
struct MapViewSetup {
    std::filesystem::path cacheFolder;
    std::shared_ptr<Clock> clock;
};

// A 2D map with its own gestures: tiles from a source, one tile overlay, lines and the
// position dot over them, and its camera read, set and reported. Setting the camera
// reports the change (`onCameraChanged`) before it returns, as the user's moves do; a
// gesture or an animation reports once more through `onRegionChanged` when it ends.
// GUI thread only.
class MapView {
public:
    virtual ~MapView() = default;

    virtual MapCamera camera() const = 0;
    // A camera holding a value that is not finite is ignored; the pitch stops at the map's
    // ceiling.
    virtual void setCamera(const MapCamera& camera, bool animated) = 0;
    // The ground under a view point; none above the horizon.
    virtual std::optional<MapCoordinate> coordinate(MapViewPoint point) const = 0;
    // Where a coordinate shows; none behind the eye.
    virtual std::optional<MapViewPoint> point(MapCoordinate coordinate) const = 0;

    virtual void setTileSource(MapTileSource source) = 0;
    // Drawn over the tiles and under the lines; none removes it.
    virtual void setTileOverlay(std::optional<MapTileSource> overlay) = 0;
    // Drawn in order: casings first when they come first.
    virtual void setPolylines(std::vector<MapPolyline> lines) = 0;
    virtual void setPositionDot(std::optional<MapCoordinate> position) = 0;

    // A gesture of the user moves the map now.
    virtual bool isUserMoving() const = 0;

    // Every change of the camera, and whether the user is moving the map.
    std::function<void(const MapCamera&, bool userMoving)> onCameraChanged;
    // The camera once a change has come to rest.
    std::function<void(const MapCamera&)> onRegionChanged;
};

} // namespace platform
