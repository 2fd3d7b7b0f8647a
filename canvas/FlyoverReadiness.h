#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

// How far along its path a flyover's preload has made everything ready: the extra
// downloads (elevations, forest, aerial photos, buildings) come first, then the map tiles
// in the order the samples along the path need them. Turns the loader's progress into a
// distance. A plain value; any thread.
struct FlyoverReadiness {
    // A sample along the path and how many map tiles the samples up to it need.
    struct Checkpoint {
        double distance = 0;
        std::int64_t count = 0;

        bool operator==(const Checkpoint&) const = default;
    };

    // The flyover the preload serves: reports for another one are ignored.
    std::string flyoverId;
    std::int64_t extraCount = 0;
    // In path order.
    std::vector<Checkpoint> checkpoints;

    // Metres of path whose tiles are ready once `done` of `total` items are: all of it
    // (+∞) once every item is; otherwise up to the last checkpoint whose tiles are all done,
    // or 0 before the first.
    double readyDistance(std::int64_t done, std::int64_t total) const;

    bool operator==(const FlyoverReadiness&) const = default;
};

} // namespace velorin
