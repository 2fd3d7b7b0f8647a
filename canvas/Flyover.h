#pragma once

#include "canvas/FlyoverMode.h"
#include "map-data/WorldPoint.h"

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// A camera flight along a recorded walk: the smoothed path, how far along it the camera
// has flown, how far behind and how high above the followed point it flies, its side sweep,
// and what holds it back (tiles not yet fetched, photos to show, a pause). The canvas steps
// it once a frame. A plain value; GUI thread only.
struct Flyover {
    // How a mode flies: the distance behind the followed point it starts at (metres), the
    // least height above that point as a share of that distance, the amplitude its side
    // sweep tends to (radians), and the bearing offsets of the cameras its preload looks
    // through.
    struct Style {
        double startBehind = 0;
        double heightFactor = 0;
        double swingAmplitude = 0;
        std::vector<double> preloadBearingOffsets;
    };

    // Where along the path a photo is shown: metres from the start, and the photo's index
    // in the canvas's photos.
    struct PhotoStop {
        double distance = 0;
        int index = 0;

        bool operator==(const PhotoStop&) const = default;
    };

    // The path's heading is taken between the points this far before and after.
    static constexpr double kHeadingSpanMeters = 20;

    static const Style& style(FlyoverMode mode);

    std::vector<WorldPoint> path;
    // Metres from the first point, one per point; the last is the path's length.
    std::vector<double> distances;
    // Metres a second at full speed.
    double speed = 0;
    FlyoverMode mode = FlyoverMode::follow;
    // Metres from the camera back to the followed point, and a distance it eases towards.
    double behind = 0;
    std::optional<double> targetBehind;
    // Metres above the followed point.
    double height = 0;
    // The side sweep, radians.
    double swingAmplitude = 0;
    double swingPhase = 0;
    // The preload has not yet made the first stretch ready: the camera does not move.
    bool preparing = false;
    // Media time when the preparation began.
    std::optional<double> preparingSince;
    // The preload kept the flyover waiting too long: it flies on without waiting for it.
    bool preloadGivenUp = false;
    // Metres along the path up to which the preloaded tiles are ready.
    double readyDistance = std::numeric_limits<double>::infinity();
    bool departed = false;
    // Media times: when waiting to depart began, and when the current stall began.
    std::optional<double> waitStart;
    std::optional<double> stalledSince;
    // The share of `speed` flown now, eased.
    double speedFactor = 1;
    bool paused = false;
    // Sorted by distance.
    std::vector<PhotoStop> photoStops;
    // The next stop not yet reached.
    std::size_t nextPhoto = 0;
    // Media times until which the last photo keeps the camera slow, and before which tiles
    // missing near the eye do not stop it.
    double photoShownUntil = 0;
    double ignoreStallsUntil = 0;
    double travelled = 0;
    // The media time of the last frame that moved or held the camera.
    std::optional<double> lastTime;
    // Tells this flyover's preload reports from those of the one it replaced.
    std::string id;

    double totalLength() const { return distances.empty() ? 0 : distances.back(); }
    // The point `distance` metres along the path, the distance clamped to the path.
    WorldPoint point(double distance) const;
    // Radians clockwise from north, from kHeadingSpanMeters before to as far after
    // `distance`; nothing where the path stands still.
    std::optional<double> heading(double distance) const;
    // The index of the first photo stop beyond `distance`, or their count.
    std::size_t stopAfter(double distance) const;
};

} // namespace velorin
