#include "map-data/TileLoaderEngine.h"

#include "platform/Log.h"

#include <filesystem>

namespace velorin {

// One run of `downloadKeys`; touched only on the loader's queue.
struct TileLoaderEngine::KeyDownload {
    std::vector<TileKey> keys;
    TileLoader::KeysCancelled isCancelled;
    TileLoader::KeysProgress progress;
    TileLoader::KeysDone done;
    std::size_t next = 0;
    std::size_t running = 0;
    std::size_t ended = 0;
    // Keys the server answered it does not have.
    std::size_t unavailable = 0;
    bool stopped = false;
};

void TileLoaderEngine::downloadKeys(std::vector<TileKey> keys, KeysCancelled isCancelled, KeysProgress progress,
    KeysDone done)
{
    auto download = std::make_shared<KeyDownload>();
    download->keys = std::move(keys);
    download->isCancelled = std::move(isCancelled);
    download->progress = std::move(progress);
    download->done = std::move(done);
    post(queues_.queue, [download](TileLoaderEngine& engine) { engine.startNextKeys(download); });
}

void TileLoaderEngine::startNextKeys(const std::shared_ptr<KeyDownload>& download)
{
    while (!download->stopped && download->running < kMaxKeyDownloads && download->next < download->keys.size()) {
        if (download->isCancelled()) {
            download->stopped = true;
            break;
        }
        ++download->running;
        post(queues_.decode, [download, key = download->keys[download->next++]](TileLoaderEngine& engine) {
            engine.downloadKey(download, key);
        });
    }
    if (download->running == 0 && (download->stopped || download->next == download->keys.size())) {
        download->stopped = true;
        if (auto done = std::exchange(download->done, nullptr))
            done(download->unavailable);
    }
}

void TileLoaderEngine::downloadKey(const std::shared_ptr<KeyDownload>& download, const TileKey& key)
{
    auto ended = [download](TileLoaderEngine& engine) { engine.keyEnded(download, false); };
    auto path = key.relativePath(catalog_.sheets());
    if (!path) {
        post(queues_.queue, ended);
        return;
    }
    if (copyIntoOfflineRoot(*path)) {
        post(queues_.queue, ended);
        return;
    }
    auto url = fetchURL(key, catalog_, hosts_, relayed_);
    if (!url) {
        post(queues_.queue, ended);
        return;
    }
    fetchAnswer(*url, [weak = weak_from_this(), path = *path, download](std::optional<std::vector<std::byte>> data,
                          bool unavailable) {
        auto engine = weak.lock();
        if (!engine)
            return;
        if (data) {
            try {
                engine->store_->writeNow(*data, path, true);
            } catch (const std::filesystem::filesystem_error& failure) {
                platform::Log::warning(platform::logcat::diskStore, "écriture {} : {}", path, failure.what());
            }
        }
        engine->post(engine->queues_.queue,
            [download, unavailable](TileLoaderEngine& engine) { engine.keyEnded(download, unavailable); });
    });
}

void TileLoaderEngine::keyEnded(const std::shared_ptr<KeyDownload>& download, bool unavailable)
{
    --download->running;
    ++download->ended;
    download->unavailable += unavailable ? 1 : 0;
    download->progress(double(download->ended) / double(download->keys.size()));
    startNextKeys(download);
}

} // namespace velorin
