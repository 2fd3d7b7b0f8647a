#pragma once

#include "features/BlockingFetch.h"
#include "features/ForestKind.h"
#include "map-data/DiskStore.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TileRelay.h"
#include "platform/Clock.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "renderer/ForestService.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace velorin {

// The trees and canopy grids of the map's zoom-15 tiles, made from the national forest
// inventory map and the aerial photos. Two pipelines, one per table: each loads the tiles
// nearest the view's centre a few at a time, keeps the most recently made and holds a
// failed tile off for a minute. The tables, requests and `onChange` belong to the GUI
// thread; loads run on the loader's own workers and hand their results back through the
// main queue, holding the loader weakly.
class ForestLoader final : public ForestService {
public:
    static constexpr std::size_t kMaxTreeTiles = 64;
    static constexpr std::size_t kMaxCanopyTiles = 16;
    // A view over more tiles than this gets no trees (or canopy): it is too wide.
    static constexpr std::size_t kMaxTreeCover = 25;
    static constexpr std::size_t kMaxCanopyCover = 16;
    static constexpr std::size_t kMaxTreeLoads = 3;
    static constexpr std::size_t kMaxCanopyLoads = 2;
    static constexpr double kRetryAfterFailureSeconds = 60;

    // The store, session, main queue, clock and relay (if any) outlive the loader.
    ForestLoader(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts, platform::MainQueue& mainQueue,
        platform::Clock& clock, TileRelay* relay = nullptr);
    // Stops the downloads and waits for the running loads; their results are dropped.
    ~ForestLoader() override;
    ForestLoader(const ForestLoader&) = delete;
    ForestLoader& operator=(const ForestLoader&) = delete;

    const Table<std::vector<Tree>>& tiles() const override { return trees_.table; }
    const Table<Canopy>& canopies() const override { return canopies_.table; }
    bool treesFailed(const Key& key) const override { return trees_.failedAt.contains(key); }
    bool canopyFailed(const Key& key) const override { return canopies_.failedAt.contains(key); }
    void request(const WorldRect& rect) override;
    void requestCanopy(const WorldRect& rect) override;
    // The inventory tile's disk key and address, through the relay while it is on and up.
    FileBatchDownload::Item download(const Key& key) const override;

    // Tiles being made now.
    std::size_t treeLoadCount() const { return trees_.loading.size(); }
    std::size_t canopyLoadCount() const { return canopies_.loading.size(); }

    // The inventory tile's WMTS address on the IGN host, before the relay.
    static std::string forestTileURL(const ServiceHosts& hosts, std::int64_t z, std::int64_t x, std::int64_t y);
    // Where the inventory tile is kept in the disk store's cache root.
    static std::string forestDiskKey(std::int64_t z, std::int64_t x, std::int64_t y);

private:
    template <typename Value>
    struct Pipeline {
        Table<Value> table;
        // The keys of `table`, least recently stored first.
        std::deque<Key> recent;
        std::unordered_set<Key, KeyHash> loading;
        Table<double> failedAt;
    };

    // What a load needs, shared with the workers, which never touch the loader itself.
    struct Work {
        Work(DiskStore& store, ServiceHosts hosts, platform::HttpSession& session, TileRelay* relay)
            : store(store)
            , hosts(std::move(hosts))
            , fetch(session, relay)
        {
        }

        DiskStore& store;
        ServiceHosts hosts;
        BlockingFetch fetch;

        std::optional<ForestKinds> kinds(const Key& key);
        std::optional<std::vector<Tree>> trees(const Key& key);
        std::optional<Canopy> canopy(const Key& key);
    };

    template <typename Value, typename Make>
    void start(Pipeline<Value>& pipeline, const WorldRect& rect, std::size_t maxCover, std::size_t maxLoads,
        std::size_t maxTiles, Make make);
    template <typename Value>
    void finish(Pipeline<Value>& pipeline, std::size_t maxTiles, const Key& key, std::optional<Value> result);

    platform::MainQueue& mainQueue_;
    platform::Clock& clock_;
    TileRelay* const relay_;
    Pipeline<std::vector<Tree>> trees_;
    Pipeline<Canopy> canopies_;
    const std::shared_ptr<Work> work_;
    // Loads hold it weakly and report only while the loader stands.
    std::shared_ptr<ForestLoader*> lifetime_;
    // Last: destroyed first, waiting for the loads still running.
    platform::OperationQueue queue_;
};

} // namespace velorin
