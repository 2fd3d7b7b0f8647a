#pragma once

#include "map-data/DiskStore.h"
#include "map-data/FetchResult.h"
#include "map-data/FileBatchDownload.h"
#include "map-data/ServiceHosts.h"
#include "map-data/SheetCatalog.h"
#include "map-data/TextureCache.h"
#include "map-data/FetchURL.h"
#include "map-data/TileKey.h"
#include "map-data/TileLoaderPhase.h"
#include "map-data/TileLoaderStatus.h"
#include "map-data/TileRelay.h"
#include "platform/Clock.h"
#include "platform/Executor.h"
#include "platform/HttpSession.h"
#include "platform/gpu/Texture.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace velorin {

class TileLoaderEngine;

// Turns the renderer's ordered wish list of tile keys into textures in the texture cache:
// disk hits are decoded, misses downloaded (16 at a time), failures held off, and a
// status published for the status indicator. Its scheduling runs on its own serial queue;
// `setDesired`, `retryNow`, `status` and `preload` may be called from any thread; the
// callbacks are set and called on the main queue. Destroy it on the main thread.
class TileLoader {
public:
    using Status = TileLoaderStatus;
    using Phase = TileLoaderPhase;
    // The texture of a tile's bytes, or null when they do not decode.
    using Decoder = std::function<std::shared_ptr<gpu::Texture>(std::span<const std::byte>)>;

    struct Dependencies {
        SheetCatalog catalog;
        std::shared_ptr<DiskStore> store;
        std::shared_ptr<TextureCache> cache;
        // The tile session: see `sessionOptions`.
        std::shared_ptr<platform::HttpSession> session;
        ServiceHosts hosts;
        std::shared_ptr<platform::Clock> clock;
        // Runs `onTileReady` and `onStatusChange`.
        std::shared_ptr<platform::Executor> mainQueue;
        // Empty: decodeTexture.
        Decoder decode;
        // Null: tiles always come straight from their providers.
        std::shared_ptr<TileRelay> relay;
        // Where the loader's work runs. Empty ones are made by the loader: the serial
        // queue "com.vask.velorin.loader", the decode pool as wide as the processors, the
        // mosaic pool of 16 and the serial sheet-slicing queue. Tests pass executors that
        // they run by hand; `queue` and `sliceQueue` must be serial.
        std::shared_ptr<platform::Executor> queue;
        std::shared_ptr<platform::Executor> decodeQueue;
        std::shared_ptr<platform::Executor> mosaicQueue;
        std::shared_ptr<platform::Executor> sliceQueue;
    };

    // (fraction 0…1, bytes received, bytes expected; below 1 while unknown).
    using FetchProgress = std::function<void(double, std::int64_t, std::int64_t)>;
    using DataCompletion = std::function<void(std::optional<std::vector<std::byte>>)>;
    using KeysCancelled = std::function<bool()>;
    using KeysProgress = std::function<void(double)>;
    // Called once a key download is over with the number of its keys that the server
    // answered it does not have (404 or 410).
    using KeysDone = std::function<void(std::size_t unavailable)>;

    static constexpr int kMaxConnectionsPerHost = 16;
    static constexpr int kMaxTransfers = 16;
    // A tile transfer's own idle timeout; other requests on the session keep its default.
    static constexpr double kTransferIdleTimeoutSeconds = 60;
    static constexpr int kMosaicWidth = 16;

    // The options of the tile session the application makes for the loader.
    static platform::HttpSessionOptions sessionOptions();

    explicit TileLoader(Dependencies dependencies);
    // Drops the transfers and the queued work; work already running finishes first.
    ~TileLoader();

    TileLoader(const TileLoader&) = delete;
    TileLoader& operator=(const TileLoader&) = delete;

    // Main thread. Called after a texture enters the cache.
    void setOnTileReady(std::function<void()> callback);
    // Main thread. Called with each published status.
    void setOnStatusChange(std::function<void(const Status&)> callback);

    // Any thread; only copies the list. Replaces the wish list, most wanted first, on the
    // loader's queue: transfers of keys no longer wanted are cancelled, and a pass runs.
    void setDesired(std::vector<TileKey> keys);
    // Any thread. Forgets every hold-off, sets the transport failures to 0 (published at
    // once when that changes the status) and runs a pass.
    void retryNow();
    // Any thread. The latest status, published or not.
    Status status() const;
    // Any thread. The cache the loader fills.
    const std::shared_ptr<TextureCache>& cache() const { return cache_; }

    // Main thread. Downloads into the disk store, twelve at a time, the files of `keys`
    // (sub-tiles excepted) after the caller's `extra` items, skipping those already on
    // disk; destroying the handle cancels it.
    std::unique_ptr<FileBatchDownload> preload(const std::vector<TileKey>& keys,
        std::vector<FileBatchDownload::Item> extra, FileBatchDownload::Progress progress);
    // Any thread. Where the loader keeps a key's file and fetches it from (through the relay
    // while it is on); nothing for a key outside the catalogue or the basemaps.
    std::optional<FileBatchDownload::Item> download(const TileKey& key) const;
    // Any thread. The item `preload` fetches for a key: its download, except for sub-tiles,
    // which come from slicing their sheet.
    std::optional<FileBatchDownload::Item> preloadItem(const TileKey& key) const;

    // Blocking downloads, for the slice and mosaic queues only, never the main thread:
    // see TileLoaderEngine.
    FetchResult fetchSync(const std::string& url, const FetchProgress& progress = {});
    std::optional<std::vector<std::byte>> fetchCached(const std::string& url);
    // Any thread; see TileLoaderEngine.
    void fetchData(const std::string& url, DataCompletion completion);
    void downloadKeys(std::vector<TileKey> keys, KeysCancelled isCancelled, KeysProgress progress, KeysDone done);

    // Any thread. Puts the sheet's two thumbnails and all its sub-tiles into the offline
    // root; `progress` (0…1: a tenth for the thumbnails) and `isCancelled` run on the
    // loader's worker queues, and `done` once when it is over. Nothing is called once the
    // loader is gone.
    void prepareOffline(const Sheet& sheet, std::function<void(double)> progress, KeysCancelled isCancelled,
        std::function<void()> done);
    // Any thread. Downloads the `franceBasemapKeys` missing from the offline root into it,
    // as `downloadKeys` does.
    void downloadFranceBasemap(KeysProgress progress, KeysCancelled isCancelled, KeysDone done);

    const SheetCatalog& catalog() const;
    // Where its tiles, sheets and the base map come from.
    const ServiceHosts& hosts() const;

private:
    // The queues the loader made; declared first so that they go last, once the engine
    // can no longer post to them.
    struct OwnedQueues;
    std::unique_ptr<OwnedQueues> ownedQueues_;
    std::shared_ptr<TileLoaderEngine> engine_;
    FileBatchDownload::Services preloadServices_;
    std::shared_ptr<TextureCache> cache_;
};

} // namespace velorin
