#include "map-data/TileLoaderEngine.h"

#include "map-data/FranceBasemapKeys.h"
#include "map-data/MediaURLs.h"
#include "platform/Log.h"

#include <filesystem>

namespace velorin {

// One sheet being prepared for use without a network.
struct TileLoaderEngine::OfflineSheet {
    Sheet sheet;
    std::function<void(double)> progress;
    TileLoader::KeysCancelled isCancelled;
    std::function<void()> done;
};

bool TileLoaderEngine::copyIntoOfflineRoot(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_regular_file(store_->offlineRoot() / path, error))
        return true;
    // A file the cache holds is copied, not shared: clearing the cache must not take away
    // what was prepared for use without a network. An empty mark is not worth copying.
    auto cachedFile = platform::MappedFile::open(store_->cacheRoot() / path);
    if (!cachedFile || cachedFile->empty())
        return false;
    try {
        store_->writeNow(cachedFile->bytes(), path, true);
        return true;
    } catch (const std::filesystem::filesystem_error& failure) {
        platform::Log::warning(platform::logcat::diskStore, "écriture {} : {}", path, failure.what());
        return false;
    }
}

void TileLoaderEngine::prepareOffline(const Sheet& sheet, std::function<void(double)> progress,
    KeysCancelled isCancelled, std::function<void()> done)
{
    auto job = std::make_shared<OfflineSheet>();
    job->sheet = sheet;
    job->progress = std::move(progress);
    job->isCancelled = std::move(isCancelled);
    job->done = std::move(done);
    if (sheet.id < 0 || sheet.id >= std::int64_t(catalog_.sheets().size())) {
        job->done();
        return;
    }
    job->sheet = catalog_.sheets()[std::size_t(sheet.id)];
    post(queues_.decode, [job](TileLoaderEngine& engine) { engine.prepareThumbnails(job, 0); });
}

void TileLoaderEngine::prepareThumbnails(const std::shared_ptr<OfflineSheet>& job, std::size_t sizeIndex)
{
    for (; sizeIndex < std::size(kThumbnailSizes); ++sizeIndex) {
        if (job->isCancelled()) {
            job->done();
            return;
        }
        auto size = kThumbnailSizes[sizeIndex];
        auto path = TileKey::thumbnail(job->sheet.id, size).relativePath(catalog_.sheets());
        if (!path || copyIntoOfflineRoot(*path))
            continue;
        auto url = thumbnailMediaURL(hosts_, job->sheet, size);
        if (!url)
            continue;
        fetchData(*url,
            [weak = weak_from_this(), job, sizeIndex, path = *path](std::optional<std::vector<std::byte>> data) {
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
                engine->prepareThumbnails(job, sizeIndex + 1);
            });
        return;
    }
    job->progress(kThumbnailsShare);
    if (job->isCancelled()) {
        job->done();
        return;
    }
    post(queues_.slice, [job](TileLoaderEngine& engine) { engine.sliceOfflineSheet(job); });
}

void TileLoaderEngine::sliceOfflineSheet(const std::shared_ptr<OfflineSheet>& job)
{
    sliceSheet(job->sheet, subtileOrder(job->sheet, {}), true,
        [job](double fraction) { job->progress(kThumbnailsShare + (1 - kThumbnailsShare) * fraction); });
    job->done();
}

} // namespace velorin
