#pragma once

#include "features/SpotHeights.h"
#include "features/Toponym.h"
#include "map-data/DiskStore.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TileRelay.h"
#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"

#include "platform/BlockingFetches.h"
#include "platform/Clock.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace velorin {

class PlaceStore;

// The place names of the map, kept in zoom-11 cells: a cell is loaded the first time the
// map shows it, from the place databases and, inside France, from the disk cache or the
// IGN feature service with spot heights; the map then asks which names are worth a label
// at its zoom. `request`, `visibleToponyms`, `reload` and `setOnChange` belong to the GUI
// thread. Cell loads run on the service's own pool of four, which the destructor stops
// (cancelling their transfers) and waits for, so no load outlives the service; the lock
// guarding the cells is never held across a query, a file, a transfer or a callback.
class ToponymService {
public:
    // A zoom-11 Web Mercator tile: x eastwards, y southwards from the north-west corner.
    struct Cell {
        int x = 0;
        int y = 0;

        // Its rectangle in world units.
        WorldRect rect() const;
        bool operator==(const Cell&) const = default;
    };

    // A layer of the national topographic database and the natures asked of it.
    struct Layer {
        std::string_view name;
        std::vector<std::string_view> natures;
    };

    // What the feature service and the spot heights gave for a cell.
    struct Fetched {
        std::vector<Toponym> toponyms;
        // Every layer answered 200 with readable features: the cell may be cached.
        bool complete = false;
        // Every spot height request was answered; otherwise the heights are asked for again
        // when the cell is next read from the cache.
        bool heightsComplete = false;
        // No layer answered 200: the last transport error, else a bad server response.
        std::optional<platform::HttpError> error;
    };

    struct Dependencies {
        // The toponym cache ("toponyms/v4/…").
        std::shared_ptr<DiskStore> store;
        // For the feature service, the altimetry service and the elevation tiles.
        std::shared_ptr<platform::HttpSession> session;
        ServiceHosts hosts;
        // Null: elevation tiles come straight from their provider.
        std::shared_ptr<TileRelay> relay;
        // The labels of the place databases; null for none. Must outlive the service.
        PlaceStore* places = nullptr;
        // Measures the hold-off after a failed cell.
        std::shared_ptr<platform::Clock> clock;
        // Runs `onChange`.
        std::shared_ptr<platform::MainQueue> mainQueue;
    };

    static constexpr int kCellZoom = 11;
    static constexpr int kCellsAcross = 1 << kCellZoom;
    // Below this camera zoom nothing is requested and nothing is labelled.
    static constexpr double kMinZoom = 13;
    // A failed cell is left alone this long.
    static constexpr double kRetryDelaySeconds = 60;
    static constexpr int kMaxConcurrentLoads = 4;
    // Features asked of each layer for a cell, the most important first.
    static constexpr int kFeatureCount = 800;
    // A layer's answer that has not ended by then counts as a transport failure.
    static constexpr double kLayerTimeoutSeconds = 60;
    // Geometries nested deeper than this give no more positions.
    static constexpr int kMaxAnchorDepth = 8;
    // Each importance class beyond the second shows this many zoom levels later.
    static constexpr double kZoomPerImportance = 0.5;
    static constexpr std::int64_t kUnknownImportance = 6;

    // The layers asked, in query order.
    static const std::array<Layer, 4>& layers();
    // The zoom from which a kind of place shows with importance 1 or 2, and its rank in
    // the order labels are tried (lower first).
    static double baseZoom(Toponym::Kind kind);
    static int kindOrder(Toponym::Kind kind);

    explicit ToponymService(Dependencies dependencies);
    ~ToponymService();
    ToponymService(const ToponymService&) = delete;
    ToponymService& operator=(const ToponymService&) = delete;

    // Called on the GUI thread, asynchronously, after a cell was stored or the cells were
    // emptied; replaces the callback set before.
    void setOnChange(std::function<void()> callback);

    // The cells that cover a rectangle, column by column, clamped to the world; none for a
    // rectangle outside it or with a NaN side.
    static std::vector<Cell> cellsCovering(double minX, double minY, double maxX, double maxY);
    // The cells that meet a convex area (its corners in order round it), nearest `from`
    // first, column by column among cells as near.
    static std::vector<Cell> cellsMeeting(std::span<const WorldPoint> area, WorldPoint from);
    // Below kMinZoom nothing; otherwise prepares the place databases of the countries the
    // area meets and starts loading every cell meeting it that is neither loaded, loading
    // nor failed within the last minute, nearest `from` first; a loaded cell whose heights
    // did not all come asks for them again a minute later. The map passes the ground on
    // which its labels can stand, so that no cell is asked for whose names it cannot show.
    // Returns at once.
    void request(std::span<const WorldPoint> area, double zoom, WorldPoint from);
    // The same for a rectangle, nearest its centre first.
    void request(const WorldRect& rect, double zoom);
    // The names worth a label at `zoom`, in the order labels are tried: by kind order, then
    // importance, then id. Nothing below kMinZoom.
    std::vector<Toponym> visibleToponyms(double zoom) const;
    // Empties the loaded cells, so that they are built again at the next request (a place
    // database became available); loads under way still store their result. Then `onChange`.
    void reload();
    // Blocks until no cell load is queued or running; for callers that need the loads done.
    void waitForLoads();

    // The GetFeature request of a layer over a cell; nothing for a layer without natures.
    std::optional<std::string> featureRequest(const Layer& layer, const Cell& cell) const;
    // The layers of a cell one after another, then the spot heights of what they gave.
    // Blocks; never on the GUI thread.
    Fetched fetch(const Cell& cell) const;
    // The names of one answer, in feature order; nothing for unreadable features.
    static std::vector<Toponym> parseFeatures(std::string_view body);
    static std::optional<Toponym> parseFeature(const nlohmann::json& feature);
    // The middle of the extent of every position of a GeoJSON geometry: (latitude, longitude).
    static std::optional<std::pair<double, double>> anchor(const nlohmann::json& geometry);
    // The cell's cached names; nothing when the file is missing or does not decode.
    std::optional<std::vector<Toponym>> cachedToponyms(int x, int y) const;
    static std::string cacheKey(int x, int y);
    // Beside a cached cell whose spot heights could not all be asked for.
    static std::string heightsPendingKey(int x, int y);

private:
    struct CellHash {
        std::size_t operator()(const Cell& cell) const noexcept;
    };
    // A stored cell's names, sorted in label order; shared with `visibleToponyms` copies.
    using CellNames = std::shared_ptr<const std::vector<Toponym>>;
    using CellMap = std::unordered_map<Cell, CellNames, CellHash>;
    // Every name of some cells in label order, pointing into those cells' lists; made for
    // one version of `cells_`.
    struct Ordered {
        std::uint64_t version = 0;
        CellMap cells;
        std::vector<const Toponym*> names;
    };
    // `base` with the names of the cells of `cells` it lacks merged in; made anew from
    // `cells` when `base` holds a cell that `cells` no longer holds as it was.
    static std::shared_ptr<const Ordered> ordered(
        const std::shared_ptr<const Ordered>& base, CellMap cells, std::uint64_t version);

    // GUI thread: the lock step of a cell's load; the rest runs on the pool.
    void load(const Cell& cell);
    void loadOnPool(const Cell& cell, std::uint64_t generation);
    std::vector<Toponym> labels(const Cell& cell) const;
    void storeCell(const Cell& cell, std::vector<Toponym> found, std::vector<Toponym> labels, bool fromDisk,
        std::uint64_t generation);
    void markFailed(const Cell& cell, const platform::HttpError& error);
    void writeCache(const Cell& cell, const std::vector<Toponym>& toponyms) const;
    // Keeps the features of a freshly fetched cell, and notes when its heights are to be
    // asked for again.
    void cacheFetched(const Cell& cell, const Fetched& fetched) const;
    // A cached cell's names with the heights that were missing asked for once more, and
    // whether every request was answered; the cache is brought up to date with what came.
    // Blocks; never on the GUI thread.
    SpotHeights::Result completeHeights(const Cell& cell, std::vector<Toponym> cached) const;
    // The cell's missing heights are asked for again at the first request a minute from now.
    void heightsDueLater(const Cell& cell);
    void postChange(std::function<void()> callback);

    const std::shared_ptr<DiskStore> store_;
    const std::shared_ptr<platform::HttpSession> session_;
    const ServiceHosts hosts_;
    const std::shared_ptr<TileRelay> relay_;
    PlaceStore* const places_;
    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::MainQueue> mainQueue_;

    // Guards everything down to `onChange_`.
    mutable std::mutex lock_;
    CellMap cells_;
    std::unordered_set<Cell, CellHash> loading_;
    // On `clock_`.
    std::unordered_map<Cell, double, CellHash> failedAt_;
    // Loaded cells whose heights did not all come, and when to ask for them again; on `clock_`.
    std::unordered_map<Cell, double, CellHash> heightsDueAt_;
    // Raised by each `reload`: a load begun before it reads the labels again.
    std::uint64_t generation_ = 0;
    // Raised by every change of `cells_`.
    std::uint64_t cellsVersion_ = 0;
    // The order of the names of `cells_`, brought up to date at the next zoom change after
    // they change.
    mutable std::shared_ptr<const Ordered> ordered_;
    std::function<void()> onChange_;

    // What a posted `onChange` checks on the GUI thread, where the service is destroyed.
    std::shared_ptr<bool> lifetime_ = std::make_shared<bool>(true);
    std::atomic<bool> stopping_{false};
    // Thread-safe: the const fetch waits through it.
    mutable platform::BlockingFetches fetches_;
    const SpotHeights spotHeights_;
    // Last: destroyed first, once the fetches are stopped, waiting for the loads running.
    platform::OperationQueue pool_;
};

} // namespace velorin
