#include "map-data/TileLoaderEngine.h"

#include "map-data/AerialCoverage.h"
#include "map-data/Basemap.h"
#include "map-data/TextureDecoding.h"

#include <algorithm>
#include <map>

namespace velorin {

namespace {

RelayMapping relayMapping(std::shared_ptr<TileRelay> relay)
{
    if (!relay)
        return {};
    return [relay = std::move(relay)](const std::string& url) { return relay->relayedURL(url); };
}

} // namespace

std::shared_ptr<TileLoaderEngine> TileLoaderEngine::make(const TileLoader::Dependencies& dependencies, Queues queues)
{
    std::shared_ptr<TileLoaderEngine> engine(new TileLoaderEngine(dependencies, queues));
    engine->publisher_ = std::make_unique<TileStatusPublisher>(dependencies.clock, dependencies.mainQueue,
        [weak = std::weak_ptr(engine)](const TileLoaderStatus& status) {
            auto engine = weak.lock();
            if (!engine || !engine->onStatusChange_)
                return;
            auto callback = engine->onStatusChange_;
            engine.reset();
            callback(status);
        });
    return engine;
}

TileLoaderEngine::TileLoaderEngine(const TileLoader::Dependencies& dependencies, Queues queues)
    : catalog_(dependencies.catalog)
    , store_(dependencies.store)
    , cache_(dependencies.cache)
    , session_(dependencies.session)
    , hosts_(dependencies.hosts)
    , clock_(dependencies.clock)
    , mainQueue_(dependencies.mainQueue)
    , decode_(dependencies.decode ? dependencies.decode : TileLoader::Decoder(decodeTexture))
    , relayed_(relayMapping(dependencies.relay))
    , queues_(queues)
    , mosaic_(hosts_, relayed_, [this](const std::string& url) { return fetchCached(url); })
{
}

void TileLoaderEngine::post(platform::Executor& executor, std::function<void(TileLoaderEngine&)> step)
{
    std::lock_guard lock(postMutex_);
    if (stopped_)
        return;
    executor.post([weak = weak_from_this(), step = std::move(step)] {
        if (auto engine = weak.lock())
            step(*engine);
    });
}

void TileLoaderEngine::TransferInbox::post(Task task)
{
    std::lock_guard lock(engine_.postMutex_);
    if (!engine_.stopped_)
        engine_.queues_.queue.post(std::move(task));
}

void TileLoaderEngine::postToMain(std::function<void(TileLoaderEngine&)> step)
{
    post(*mainQueue_, std::move(step));
}

void TileLoaderEngine::stop()
{
    {
        std::lock_guard lock(postMutex_);
        stopped_ = true;
    }
    // A sheet download in flight would otherwise hold the loader's end for minutes.
    blocking_.stop();
}

bool TileLoaderEngine::isStopped()
{
    std::lock_guard lock(postMutex_);
    return stopped_;
}

void TileLoaderEngine::setDesired(std::vector<TileKey> keys)
{
    post(queues_.queue, [keys = std::move(keys)](TileLoaderEngine& engine) mutable {
        engine.applyDesired(std::move(keys));
    });
}

void TileLoaderEngine::retryNow()
{
    post(queues_.queue, [](TileLoaderEngine& engine) { engine.resetRetries(); });
}

void TileLoaderEngine::applyDesired(std::vector<TileKey> keys)
{
    std::unordered_set<TileKey> set(keys.begin(), keys.end());
    {
        std::lock_guard lock(desiredMutex_);
        desiredSnapshot_ = set;
    }
    desired_ = std::move(keys);
    desiredSet_ = std::move(set);
    // A cancelled transfer never completes, so its bookkeeping ends here.
    for (auto it = networkTasks_.begin(); it != networkTasks_.end();) {
        if (desiredSet_.contains(it->first)) {
            ++it;
            continue;
        }
        it->second.task.cancel();
        loading_.erase(it->first);
        it = networkTasks_.erase(it);
    }
    runPump();
}

void TileLoaderEngine::resetRetries()
{
    retryAfter_.clear();
    sheetRetryAfter_.clear();
    publisher_->change(true, [](TileLoaderStatus& status) { status.transportFailures = 0; });
    runPump();
}

void TileLoaderEngine::schedulePump()
{
    // Completions arrive in bursts; one pass after them sees them all.
    if (pumpScheduled_)
        return;
    pumpScheduled_ = true;
    post(queues_.queue, [](TileLoaderEngine& engine) {
        engine.pumpScheduled_ = false;
        engine.runPump();
    });
}

void TileLoaderEngine::wakeAt(double time)
{
    if (wakeAt_ && *wakeAt_ <= time)
        return;
    wakeAt_ = time;
    clock_->after(time - clock_->now(), [weak = weak_from_this(), time] {
        // On the clock's thread: only hop to the loader's queue.
        if (auto engine = weak.lock())
            engine->post(engine->queues_.queue, [time](TileLoaderEngine& engine) { engine.wakeUp(time); });
    });
}

void TileLoaderEngine::wakeUp(double time)
{
    // A wake replaced by an earlier one has had its pass already.
    if (wakeAt_ != time)
        return;
    wakeAt_.reset();
    runPump();
}

void TileLoaderEngine::runPump()
{
    double now = clock_->now();
    std::optional<double> nextRetry;
    std::int64_t budget = 0;
    int deferred = 0;
    std::int64_t retrying = 0;
    std::vector<int64_t> sheets;
    std::map<int64_t, std::vector<SubtileCell>> sheetCells;

    for (const auto& key : desired_) {
        auto cachedBytes = cache_->byteSize(key);
        auto size = cachedBytes.value_or(kMissingTileBytes);
        if (budget + size > cache_->byteLimit() || loading_.size() > kMaxKeysInFlight)
            break;
        budget += size;
        if (cachedBytes || loading_.contains(key))
            continue;
        if (auto retry = retryAfter_.find(key); retry != retryAfter_.end() && retry->second > now) {
            nextRetry = std::min(nextRetry.value_or(retry->second), retry->second);
            ++retrying;
            continue;
        }
        auto subtile = std::get_if<TileKey::Subtile>(&key.value);
        // A cell outside its sheet's grid is never cut: wanting it would fetch the sheet
        // again after every cut.
        if (subtile
            && (subtile->sheet < 0 || subtile->sheet >= int64_t(catalog_.sheets().size())
                || !catalog_.sheets()[std::size_t(subtile->sheet)].hasCell(subtile->column, subtile->row)))
            continue;
        auto path = key.relativePath(catalog_.sheets());
        if (!path)
            continue;
        bool onDisk = store_->exists(*path);
        if (subtile && slicedSheets_.contains(subtile->sheet) && !onDisk) {
            // A sliced sheet that lost a sub-tile (its cache was cleared) is cut again: a
            // sub-tile is never fetched on its own, its address is the whole sheet's.
            slicedSheets_.erase(subtile->sheet);
            staleSheets_.insert(subtile->sheet);
        }
        if (subtile && !slicedSheets_.contains(subtile->sheet)) {
            auto [cells, added] = sheetCells.try_emplace(subtile->sheet);
            if (added)
                sheets.push_back(subtile->sheet);
            cells->second.push_back({ subtile->column, subtile->row });
            continue;
        }
        if (onDisk) {
            loading_.insert(key);
            post(workQueue(key), [key, path = *path](TileLoaderEngine& engine) { engine.decodeFromDisk(key, path); });
        } else if (networkTasks_.size() >= std::size_t(TileLoader::kMaxTransfers)) {
            if (++deferred >= kMaxDeferredKeys)
                break;
        } else {
            startFetch(key, *path);
        }
    }

    std::erase_if(sheets, [&](int64_t sheet) {
        auto retry = sheetRetryAfter_.find(sheet);
        if (retry == sheetRetryAfter_.end() || retry->second <= now)
            return false;
        nextRetry = std::min(nextRetry.value_or(retry->second), retry->second);
        ++retrying;
        return true;
    });
    if (nextRetry)
        wakeAt(*nextRetry);
    if (!sheets.empty())
        startSheet(sheets.front(), sheetCells[sheets.front()]);
    auto queued = std::ranges::count_if(sheets, [&](int64_t sheet) { return !slicingSheets_.contains(sheet); });
    publisher_->change(false, [pending = std::int64_t(loading_.size()), retrying, queued](TileLoaderStatus& status) {
        status.pending = pending;
        status.retrying = retrying;
        status.queuedSheets = queued;
    });
}

bool TileLoaderEngine::isWanted(const TileKey& key) const
{
    std::lock_guard lock(desiredMutex_);
    return desiredSnapshot_.contains(key);
}

bool TileLoaderEngine::goesToMosaic(const TileKey& key) const
{
    constexpr int64_t kLastLevelWithoutRepair = 12;
    auto web = std::get_if<TileKey::WebTile>(&key.value);
    if (!web)
        return false;
    switch (web->source) {
    case Basemap::swissImage:
    case Basemap::spainImage:
    case Basemap::austriaImage:
        return true;
    case Basemap::orthophoto:
        return web->z > kLastLevelWithoutRepair || !coverageSources(web->z, web->x, web->y).empty();
    default:
        return false;
    }
}

platform::Executor& TileLoaderEngine::workQueue(const TileKey& key) const
{
    return goesToMosaic(key) ? queues_.mosaic : queues_.decode;
}

} // namespace velorin
