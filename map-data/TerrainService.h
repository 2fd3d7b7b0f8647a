#pragma once

// Elevation under every point of the map: IGN's high-resolution grid inside France,
// Terrarium tiles elsewhere and in the grid's holes, cached on disk and in memory.
// Main thread only, except `elevationAt` and `elevations`, which worker threads may also call
// while the main thread waits for them, and the static functions, which are pure and run
// anywhere.

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/ElevationGridCache.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TerrainKey.h"
#include "map-data/TileRelay.h"
#include "map-data/WorldRect.h"

#include "platform/Clock.h"
#include "platform/DispatchQueue.h"
#include "platform/HttpSession.h"
#include "platform/Image.h"
#include "platform/MainQueue.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace velorin {

class TerrainDownload;

class TerrainService {
public:
    using Key = TerrainKey;

    // Grids kept in memory (256 KiB each): 384 MiB on a desktop.
    static constexpr std::size_t kElevationBudgetGrids = 1536;
    static constexpr std::size_t kMaxConcurrentDownloads = 6;
    static constexpr double kRetryAfterRateLimitSeconds = 2;
    static constexpr double kRetryAfterFailureSeconds = 60;

    // The store, session, main queue, clock and relay outlive the service. Downloads go
    // through the relay while it is on; without one they go straight upstream.
    TerrainService(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts,
        platform::MainQueue& mainQueue, platform::Clock& clock, TileRelay* relay = nullptr,
        std::size_t budgetGrids = kElevationBudgetGrids);
    // Cancels the downloads; their results are dropped.
    ~TerrainService();

    TerrainService(const TerrainService&) = delete;
    TerrainService& operator=(const TerrainService&) = delete;

    // Called after each grid enters the memory cache.
    std::function<void()> onChange;

    // Metres at a world point from the deepest cached grid, searching from level
    // min(zoom, 16) up to six levels coarser; 0 when none is cached. Never downloads and
    // never allocates.
    double elevationAt(double x, double y, int zoom) const { return tiles_.elevationAt(x, y, zoom); }
    // `elevationAt` of each point, written to the height of the same index; quicker than one
    // call a point for points close together.
    void elevations(std::span<const WorldPoint> points, int zoom, std::span<double> out) const
    {
        tiles_.elevations(points, zoom, out);
    }

    // Makes sure the key's grid will become available: from disk at once when it is
    // whole there, else by a download (at most six at a time; a later call tries again).
    // Keys cached, loading or waiting out a retry delay are left alone. Returns at once.
    void load(const Key& key);
    // Whether the key's grid is in the memory cache.
    bool contains(const Key& key) const { return tiles_.contains(key); }
    // `load` for every key of `tileKeys(zoom, rect)`, in order.
    void prefetch(int zoom, const WorldRect& rect);

    // The grids covering a rectangle at a zoom clamped to 0…16, sorted by level, row and
    // column; empty when there would be more than 64. From zoom 16 on, tiles outside the
    // France box take their level-15 parent, Terrarium's deepest level.
    static std::vector<Key> tileKeys(int zoom, const WorldRect& rect);

    // Whether the tile takes IGN's grid: level 9 or deeper with its centre in the box
    // around mainland France and Corsica.
    static bool usesIGN(int z, int x, int y);

    // Where the tile's raw elevation bytes live in the disk store's cache root.
    static std::string diskKey(int z, int x, int y);
    static std::string terrariumDiskKey(int z, int x, int y);

    // The WMS request of IGN's grid for the tile, as 32-bit float BIL. Both URLs name the
    // provider; a download sends them through the relay.
    static std::string ignElevationURL(const ServiceHosts& hosts, const Key& key);
    static std::string terrariumURL(const ServiceHosts& hosts, const Key& key);

    // A BIL grid (exactly 262,144 bytes not starting with the PNG signature) or a
    // 256 × 256 Terrarium image; nothing for anything else.
    static std::optional<ElevationGrid> decodeTerrarium(std::span<const std::byte> bytes);

    // 65,536 little-endian 32-bit floats. No-data values (below −100 m, above 9,000 m or
    // not finite) and their eight neighbours become NaN, since the cells next to a hole
    // carry the provider's interpolation artefacts.
    static std::optional<ElevationGrid> decodeBIL(std::span<const std::byte> bytes);

    // Heights of a decoded Terrarium image: R·256 + G + B/256 − 32768 metres. Nothing
    // unless it is 256 × 256.
    static std::optional<ElevationGrid> terrariumHeights(const platform::Image& image);

    // For an IGN tile, the cells outside France's outline become NaN, to be filled from
    // Terrarium; other grids are returned as they are.
    static ElevationGrid franceMasked(ElevationGrid grid, int z, int x, int y);

    // The Terrarium tile that fills a grid's holes: the key itself down to level 15,
    // its level-15 ancestor deeper (Terrarium stops there).
    static Key terrariumFillKey(const Key& key);

    // The grid with each NaN cell read from the matching spot of `terrarium`, the grid of
    // `terrariumFillKey(key)`.
    static ElevationGrid filledFromTerrarium(ElevationGrid grid, const ElevationGrid& terrarium, const Key& key);

private:
    friend class TerrainDownload;

    // Main thread: the end of a download, with its grid or the HTTP status that failed
    // it (0 for a transport error or bad data).
    void finished(const Key& key, std::optional<ElevationGrid> grid, int failedStatus);
    void storeGrid(const Key& key, ElevationGrid grid);

    DiskStore& store_;
    platform::HttpSession& session_;
    const ServiceHosts hosts_;
    platform::MainQueue& mainQueue_;
    platform::Clock& clock_;
    TileRelay* const relay_;
    ElevationGridCache tiles_;
    std::unordered_map<Key, double> retryAt_;
    // Decoding, masking and filling run here, off the main thread. Declared before the
    // downloads, so that their transfers are cancelled before it goes.
    platform::DispatchQueue work_;
    std::unordered_map<Key, std::shared_ptr<TerrainDownload>> loading_;
    // Downloads hold it weakly and report only while the service stands.
    std::shared_ptr<TerrainService*> lifetime_;
};

} // namespace velorin
