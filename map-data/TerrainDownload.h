#pragma once

// One elevation grid on its way from the network: the IGN or Terrarium download, its
// decoding, masking and filling from Terrarium, then the result handed back to the
// service on the main queue. Started on the main thread; runs on the service's work
// queue; `cancel` may be called from any thread.

#include "map-data/TerrainService.h"

#include <mutex>

namespace velorin {

class TerrainDownload : public std::enable_shared_from_this<TerrainDownload> {
public:
    TerrainDownload(TerrainService& service, TerrainService::Key key);

    // Fetches the key's grid from its provider.
    void start();
    // Completes a grid read from disk whose holes still need Terrarium heights.
    void startFilling(ElevationGrid partial);
    // No transfer starts from now on and nothing is reported.
    void cancel();

private:
    void fetch(const std::string& url, std::function<void(platform::HttpResult)> then);
    void primaryArrived(platform::HttpResult result);
    void fill(ElevationGrid grid);
    void fillArrived(ElevationGrid grid, platform::HttpResult result);
    void succeed(ElevationGrid grid);
    void fail(int status);
    void report(std::optional<ElevationGrid> grid, int failedStatus);

    const TerrainService::Key key_;
    DiskStore& store_;
    platform::HttpSession& session_;
    TileRelay* const relay_;
    const ServiceHosts hosts_;
    platform::MainQueue& mainQueue_;
    platform::Executor& work_;
    const std::weak_ptr<TerrainService*> service_;

    std::mutex mutex_;
    bool cancelled_ = false;
    platform::HttpTask transfer_;
};

} // namespace velorin
