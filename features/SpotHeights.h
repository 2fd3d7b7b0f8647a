#pragma once

#include "features/Toponym.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TileRelay.h"

#include "platform/BlockingFetches.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velorin {

// Spot heights for the summits, cols and refuges of freshly fetched place names: IGN's
// altimetry service in batches of up to 100 points, then, for the points still without a
// height, Terrarium elevation tiles at zoom 13 through the tile relay. A call blocks its
// caller's worker, one request at a time, waiting through `fetches` (whose owner may stop
// them); never call it on the GUI thread. It keeps nothing between calls. Thread-safe; the
// fetches and the relay outlive it and every call.
class SpotHeights {
public:
    static constexpr std::size_t kBatchPoints = 100;
    static constexpr int kTileZoom = 13;
    // Heights strictly between these are stored; the service's no-data values lie far below.
    static constexpr double kLowestValidMeters = -1000;
    static constexpr double kHighestValidMeters = 9000;
    // A request that has not ended by then counts as failed.
    static constexpr double kRequestTimeoutSeconds = 30;

    struct Result {
        // The list given, same length and order, with the heights found.
        std::vector<Toponym> toponyms;
        // False when a request failed (transport error, a status other than 200, an answer
        // that cannot be read, a tile that does not decode, a wait that was stopped): worth
        // asking again later.
        bool complete = true;
    };

    SpotHeights(ServiceHosts hosts, TileRelay* relay, platform::BlockingFetches& fetches);

    Result fetchAltitudes(std::vector<Toponym> toponyms) const;

    // Pixel offsets sampled around a place at zoom 13: a 3×3 block for a summit, whose
    // height is the highest sample; the point itself for a col or a refuge; nothing for the
    // kinds that get no height.
    static std::vector<int> altitudeOffsets(Toponym::Kind kind);
    // The altimetry request for points given by their longitudes and latitudes.
    std::string altimetryURL(std::span<const double> longitudes, std::span<const double> latitudes) const;

private:
    void askAltimetry(std::vector<Toponym>& toponyms, const std::vector<std::size_t>& selected, bool& complete) const;
    void sampleTerrarium(std::vector<Toponym>& toponyms, const std::vector<std::size_t>& selected,
        bool& complete) const;
    // Waits for the answer.
    platform::HttpResult get(const std::string& url) const;

    const ServiceHosts hosts_;
    TileRelay* const relay_;
    platform::BlockingFetches& fetches_;
};

} // namespace velorin
