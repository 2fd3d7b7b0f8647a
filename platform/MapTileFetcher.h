#pragma once

#include "platform/Clock.h"
#include "platform/DispatchQueue.h"
#include "platform/Executor.h"
#include "platform/HttpSession.h"
#include "platform/Image.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

// Brings a 2D map the raster tiles it shows now, and no others: from its disk cache while
// they are fresh, else from their server, two transfers at a time per host, a host held
// back 30 s after it answered 429 or 5xx. Tiles no longer wanted are cancelled; nothing is
// fetched ahead. Decoded under a size cap off the GUI thread; an undecodable tile is never
// kept. `want` and the callbacks run on the GUI thread (the `main` executor's).
class MapTileFetcher : public std::enable_shared_from_this<MapTileFetcher> {
public:
    // A tile is kept at least this long, or as long as its response says if longer.
    static constexpr double kMinFreshSeconds = 7 * 24 * 3600;
    static constexpr double kHostHoldSeconds = 30;
    // A tile that failed otherwise is asked for again after this long.
    static constexpr double kFailedRetrySeconds = 30;
    static constexpr int kTransfersPerHost = 2;
    static constexpr int64_t kMaxTileBytes = 4 << 20;
    static constexpr int64_t kMaxTilePixels = 1024 * 1024;

    // A tile under its cache key (a relative path of plain names) and its URL.
    struct Request {
        std::string key;
        std::string url;
    };

    // `cacheFolder` may be empty: then nothing is kept on disk.
    static std::shared_ptr<MapTileFetcher> make(
        std::filesystem::path cacheFolder, std::shared_ptr<Clock> clock, std::shared_ptr<Executor> main);
    ~MapTileFetcher();

    // The tiles wanted now: those not yet coming are asked for, the others cancelled.
    void want(const std::vector<Request>& requests);
    // A wanted tile came.
    std::function<void(const std::string& key, Image image)> onTile;
    // A held host may be asked again: the map should say what it wants.
    std::function<void()> onRetryDue;

    // The HTTP host of a URL ("127.0.0.1:8080"); empty when it has none.
    static std::string hostOf(const std::string& url);

private:
    MapTileFetcher(std::filesystem::path cacheFolder, std::shared_ptr<Clock> clock, std::shared_ptr<Executor> main);

    // What the worker's blocks carry instead of the fetcher itself.
    struct Context {
        std::weak_ptr<MapTileFetcher> fetcher;
        std::shared_ptr<Executor> main;
        std::filesystem::path cacheFolder;
    };

    void lookUp(const std::string& key, const std::string& url);
    void download(const std::string& key, const std::string& url);
    static void received(const Context& context, const std::string& key, const std::string& url, HttpResult result);
    void deliver(const std::string& key, std::optional<Image> image);
    void failed(const std::string& key);
    void hold(const std::string& host);
    // Runs on the main executor while the fetcher lives.
    static void onMain(const Context& context, std::function<void(MapTileFetcher&)> task);

    const std::filesystem::path cacheFolder_;
    const std::shared_ptr<Clock> clock_;
    const std::shared_ptr<Executor> main_;
    // Disk reads, decoding and cache writes; outlives the session, which delivers to it.
    DispatchQueue worker_ {"map-tiles"};
    HttpSession session_;
    // GUI thread: the tiles on their way (a disk look-up has no task yet), and the holds.
    std::unordered_map<std::string, HttpTask> pending_;
    std::unordered_map<std::string, double> heldUntil_;
    std::unordered_map<std::string, double> failedUntil_;
};

} // namespace platform
