#include "map-data/TileLoader.h"

#include "map-data/FranceBasemapKeys.h"
#include "map-data/MediaURLs.h"
#include "map-data/TileLoaderEngine.h"
#include "platform/DispatchQueue.h"
#include "platform/OperationQueue.h"

namespace velorin {

struct TileLoader::OwnedQueues {
    std::shared_ptr<platform::Executor> queue;
    std::shared_ptr<platform::Executor> decode;
    std::shared_ptr<platform::Executor> mosaic;
    std::shared_ptr<platform::Executor> slice;

    ~OwnedQueues()
    {
        // The pools and the slice queue post to the loader's queue: they go first.
        decode.reset();
        mosaic.reset();
        slice.reset();
        queue.reset();
    }
};

platform::HttpSessionOptions TileLoader::sessionOptions()
{
    platform::HttpSessionOptions options;
    options.maxConnectionsPerHost = kMaxConnectionsPerHost;
    options.maxTransfers = kMaxTransfers;
    // The session's own 20 s idle timeout stays for the other downloads it carries, the
    // elevation grids among them: only tile transfers wait a minute.
    return options;
}

TileLoader::TileLoader(Dependencies dependencies)
    : ownedQueues_(std::make_unique<OwnedQueues>())
    , cache_(dependencies.cache)
{
    auto& owned = *ownedQueues_;
    owned.queue = dependencies.queue ? dependencies.queue
                                     : std::make_shared<platform::DispatchQueue>("com.vask.velorin.loader");
    owned.decode = dependencies.decodeQueue ? dependencies.decodeQueue
                                            : std::make_shared<platform::OperationQueue>("com.vask.velorin.decode");
    owned.mosaic = dependencies.mosaicQueue
        ? dependencies.mosaicQueue
        : std::make_shared<platform::OperationQueue>("com.vask.velorin.mosaic", kMosaicWidth);
    owned.slice = dependencies.sliceQueue ? dependencies.sliceQueue
                                          : std::make_shared<platform::DispatchQueue>("com.vask.velorin.slice");
    engine_ = TileLoaderEngine::make(dependencies, { *owned.queue, *owned.decode, *owned.mosaic, *owned.slice });
    preloadServices_ = { dependencies.store, dependencies.session, dependencies.clock, dependencies.mainQueue };
}

TileLoader::~TileLoader()
{
    engine_->stop();
    engine_.reset();
    ownedQueues_.reset();
}

void TileLoader::setOnTileReady(std::function<void()> callback)
{
    engine_->setOnTileReady(std::move(callback));
}

void TileLoader::setOnStatusChange(std::function<void(const Status&)> callback)
{
    engine_->setOnStatusChange(std::move(callback));
}

void TileLoader::setDesired(std::vector<TileKey> keys)
{
    engine_->setDesired(std::move(keys));
}

void TileLoader::retryNow()
{
    engine_->retryNow();
}

TileLoader::Status TileLoader::status() const
{
    return engine_->status();
}

std::unique_ptr<FileBatchDownload> TileLoader::preload(const std::vector<TileKey>& keys,
    std::vector<FileBatchDownload::Item> extra, FileBatchDownload::Progress progress)
{
    auto items = std::move(extra);
    for (const auto& key : keys) {
        if (auto item = preloadItem(key))
            items.push_back(std::move(*item));
    }
    return std::make_unique<FileBatchDownload>(std::move(items), preloadServices_, std::move(progress));
}

std::optional<FileBatchDownload::Item> TileLoader::download(const TileKey& key) const
{
    auto diskKey = key.relativePath(engine_->catalog().sheets());
    auto url = fetchURL(key, engine_->catalog(), engine_->hosts(), engine_->relayed());
    if (!diskKey || !url)
        return std::nullopt;
    return FileBatchDownload::Item { std::move(*diskKey), std::move(*url) };
}

std::optional<FileBatchDownload::Item> TileLoader::preloadItem(const TileKey& key) const
{
    // Sub-tiles come from slicing their sheet, never one by one.
    if (std::holds_alternative<TileKey::Subtile>(key.value))
        return std::nullopt;
    return download(key);
}

FetchResult TileLoader::fetchSync(const std::string& url, const FetchProgress& progress)
{
    return engine_->fetchSync(url, progress);
}

std::optional<std::vector<std::byte>> TileLoader::fetchCached(const std::string& url)
{
    return engine_->fetchCached(url);
}

void TileLoader::fetchData(const std::string& url, DataCompletion completion)
{
    engine_->fetchData(url, std::move(completion));
}

void TileLoader::downloadKeys(std::vector<TileKey> keys, KeysCancelled isCancelled, KeysProgress progress,
    KeysDone done)
{
    engine_->downloadKeys(std::move(keys), std::move(isCancelled), std::move(progress), std::move(done));
}

void TileLoader::prepareOffline(const Sheet& sheet, std::function<void(double)> progress, KeysCancelled isCancelled,
    std::function<void()> done)
{
    engine_->prepareOffline(sheet, std::move(progress), std::move(isCancelled), std::move(done));
}

void TileLoader::downloadFranceBasemap(KeysProgress progress, KeysCancelled isCancelled, KeysDone done)
{
    engine_->downloadKeys(franceBasemapKeys(engine_->catalog()), std::move(isCancelled), std::move(progress),
        std::move(done));
}

const SheetCatalog& TileLoader::catalog() const
{
    return engine_->catalog();
}

const ServiceHosts& TileLoader::hosts() const
{
    return engine_->hosts();
}

} // namespace velorin
