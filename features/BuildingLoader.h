#pragma once

#include "features/BlockingFetch.h"
#include "map-data/DiskStore.h"
#include "map-data/ServiceHosts.h"
#include "platform/Clock.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"
#include "platform/OperationQueue.h"
#include "renderer/BuildingService.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace velorin {

// The 3D buildings of the map's zoom-15 tiles, made from the national building footprints
// kept on disk or fetched from the IGN feature service. It loads the tiles nearest the
// view's centre a few at a time, keeps the most recently built and holds a failed tile off
// for a minute. The table, requests and `onChange` belong to the GUI thread; loads run on
// the loader's own workers and hand their results back through the main queue, holding
// the loader weakly.
class BuildingLoader final : public BuildingService {
public:
    using Key = ForestService::Key;

    static constexpr std::size_t kMaxTiles = 64;
    // A view over more tiles than this gets no buildings: it is too wide.
    static constexpr std::size_t kMaxCover = 25;
    static constexpr std::size_t kMaxLoads = 3;
    static constexpr double kRetryAfterFailureSeconds = 60;
    static constexpr int kMaxFeatures = 10000;

    // The store, session, main queue and clock outlive the loader.
    BuildingLoader(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts, platform::MainQueue& mainQueue,
        platform::Clock& clock);
    // Stops the downloads and waits for the running loads; their results are dropped.
    ~BuildingLoader() override;
    BuildingLoader(const BuildingLoader&) = delete;
    BuildingLoader& operator=(const BuildingLoader&) = delete;

    const ForestService::Table<std::vector<Vertex>>& tiles() const override { return tiles_; }
    void request(const WorldRect& rect) override;
    // The tile's disk key and feature service request.
    FileBatchDownload::Item download(const Key& key) const override;

    // Tiles being loaded now.
    std::size_t loadCount() const { return loading_.size(); }

    // Where a tile's footprints are kept in the disk store.
    static std::string diskKey(std::int64_t z, std::int64_t x, std::int64_t y);
    // The feature service's request for the footprints of a tile; never relayed.
    static std::string buildingQueryURL(const ServiceHosts& hosts, std::int64_t z, std::int64_t x, std::int64_t y);

private:
    // What a load needs, shared with the workers, which never touch the loader itself.
    struct Work {
        Work(DiskStore& store, ServiceHosts hosts, platform::HttpSession& session)
            : store(store)
            , hosts(std::move(hosts))
            , fetch(session, nullptr)
        {
        }

        DiskStore& store;
        ServiceHosts hosts;
        BlockingFetch fetch;

        std::optional<std::vector<Vertex>> load(const Key& key);
    };

    void finish(const Key& key, std::optional<std::vector<Vertex>> vertices);

    platform::MainQueue& mainQueue_;
    platform::Clock& clock_;
    ForestService::Table<std::vector<Vertex>> tiles_;
    // The keys of `tiles_`, least recently stored first.
    std::deque<Key> recent_;
    std::unordered_set<Key, ForestService::KeyHash> loading_;
    ForestService::Table<double> failedAt_;
    const std::shared_ptr<Work> work_;
    // Loads hold it weakly and report only while the loader stands.
    std::shared_ptr<BuildingLoader*> lifetime_;
    // Last: destroyed first, waiting for the loads still running.
    platform::OperationQueue queue_;
};

} // namespace velorin
