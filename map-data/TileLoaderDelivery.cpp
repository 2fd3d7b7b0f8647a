#include "map-data/TileLoaderEngine.h"

#include "map-data/Basemap.h"

#include <filesystem>

namespace velorin {

void TileLoaderEngine::decodeFromDisk(const TileKey& key, const std::string& path)
{
    if (!isWanted(key)) {
        // Dropped from the wish list while queued. The pass that follows may schedule
        // keys it deferred while this one was counted in flight.
        post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, std::nullopt); });
        return;
    }
    auto file = store_->read(path);
    std::optional<std::span<const std::byte>> data;
    if (file)
        data = file->bytes();
    deliverTile(key, data, false, true, path);
}

void TileLoaderEngine::deliverTile(const TileKey& key, std::optional<std::span<const std::byte>> data,
    bool storeBytes, bool fromDisk, const std::string& path)
{
    if (data && goesToMosaic(key) && !isWanted(key)) {
        // Kept on disk for later, but only bytes that decode: a broken answer stored here
        // would be found again by every pass and never fetched anew.
        if (storeBytes && decode_(*data))
            store_->write({ data->begin(), data->end() }, path);
        post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, std::nullopt); });
        return;
    }

    if (data) {
        // A repaired photo replaces the tile on disk, wherever the original came from:
        // later loads then find it whole.
        if (auto repaired = repairedPhoto(key, *data)) {
            if (auto texture = decode_(*repaired)) {
                store_->write(std::move(*repaired), path);
                deliverTexture(key, std::move(texture));
                return;
            }
        }
    }

    auto texture = data ? decode_(*data) : nullptr;
    if (!texture) {
        // A broken cached file would be found and refused again forever: remove it so the
        // tile is fetched anew. An empty file is the mark of a tile missing upstream, and
        // the offline root holds what the walker prepared; both stay.
        if (fromDisk && data && !data->empty()) {
            std::error_code error;
            if (!std::filesystem::exists(store_->offlineRoot() / path, error))
                store_->removeCached(path);
        }
        post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, kRetryAfterFailureSeconds); });
        return;
    }
    if (storeBytes)
        store_->write({ data->begin(), data->end() }, path);
    deliverTexture(key, std::move(texture));
}

void TileLoaderEngine::deliverTexture(const TileKey& key, std::shared_ptr<gpu::Texture> texture)
{
    cache_->insert(std::move(texture), key);
    publisher_->change(false, [](TileLoaderStatus& status) { ++status.delivered; });
    post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, std::nullopt); });
    postToMain([](TileLoaderEngine& engine) {
        if (!engine.onTileReady_)
            return;
        auto callback = engine.onTileReady_;
        callback();
    });
}

std::optional<std::vector<std::byte>> TileLoaderEngine::repairedPhoto(const TileKey& key,
    std::span<const std::byte> data) const
{
    auto web = std::get_if<TileKey::WebTile>(&key.value);
    if (!web)
        return std::nullopt;
    switch (web->source) {
    case Basemap::orthophoto:
        return mosaic_.fillFromNeighbours(data, web->z, web->x, web->y);
    case Basemap::swissImage:
    case Basemap::spainImage:
    case Basemap::austriaImage:
        if (web->z < kFirstLevelWithFlatAreaRepair)
            return std::nullopt;
        return mosaic_.fillFlatAreas(data, web->z, web->x, web->y);
    default:
        return std::nullopt;
    }
}

void TileLoaderEngine::composeAfterMiss(const TileKey& key, const std::string& path)
{
    if (!isWanted(key)) {
        post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, std::nullopt); });
        return;
    }
    auto web = std::get<TileKey::WebTile>(key.value);
    auto substitute = mosaic_.substitutePhotoTile(web.z, web.x, web.y);
    if (!substitute) {
        // Nothing stands in for it: the tile waits an hour, without a mark, since the
        // provider or a neighbour may have it later.
        post(queues_.queue, [key](TileLoaderEngine& engine) { engine.finishKey(key, kRetryAfterMissingPhotoSeconds); });
        return;
    }
    deliverTile(key, std::span<const std::byte>(*substitute), true, false, path);
}

void TileLoaderEngine::finishKey(const TileKey& key, std::optional<double> holdOffSeconds)
{
    loading_.erase(key);
    if (holdOffSeconds)
        retryAfter_[key] = clock_->now() + *holdOffSeconds;
    schedulePump();
}

} // namespace velorin
