#include "map-data/TileLoaderEngine.h"

#include "platform/Crypto.h"
#include "platform/Log.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>

namespace velorin {

namespace {

constexpr int kStatusBadRequest = 400;
constexpr int kStatusNotFound = 404;
constexpr std::size_t kFetchKeyFolderDigits = 2;

std::vector<std::byte> toBytes(const std::string& body)
{
    auto bytes = std::as_bytes(std::span(body.data(), body.size()));
    return { bytes.begin(), bytes.end() };
}

} // namespace

// What one blocking fetch has heard so far. It lives on the heap, shared with the
// transfer's callbacks and the timeout, so that an answer arriving after the caller gave
// up writes into live memory.
struct TileLoaderEngine::BlockingFetch {
    std::mutex mutex;
    std::condition_variable changed;
    bool answered = false;
    // The wait is over without an answer: timed out, or the loader is stopping.
    bool givenUp = false;
    platform::HttpResult result;

    void giveUp()
    {
        std::lock_guard lock(mutex);
        givenUp = true;
        changed.notify_all();
    }
};

void TileLoaderEngine::giveUp(const std::vector<std::weak_ptr<BlockingFetch>>& fetches)
{
    for (const auto& fetch : fetches) {
        if (auto state = fetch.lock())
            state->giveUp();
    }
}

FetchResult TileLoaderEngine::fetchSync(const std::string& url, const FetchProgress& progress)
{
    auto state = std::make_shared<BlockingFetch>();
    {
        std::lock_guard lock(postMutex_);
        if (stopped_)
            return {};
        std::erase_if(blockingFetches_, [](const auto& fetch) { return fetch.expired(); });
        blockingFetches_.push_back(state);
    }
    platform::HttpSession::ProgressHandler onProgress;
    if (progress) {
        onProgress = [progress](platform::HttpProgress figures) {
            double fraction = figures.expected > 0 ? double(figures.received) / double(figures.expected) : 0;
            progress(std::min(fraction, 1.0), figures.received, figures.expected);
        };
    }
    auto task = session_->start(
        platform::HttpRequest::get(url), inline_,
        [state](platform::HttpResult result) {
            std::lock_guard lock(state->mutex);
            state->result = std::move(result);
            state->answered = true;
            state->changed.notify_all();
        },
        std::move(onProgress));
    clock_->after(kBlockingWaitSeconds, [weak = std::weak_ptr(state)] {
        if (auto state = weak.lock())
            state->giveUp();
    });

    platform::HttpResult result;
    {
        std::unique_lock lock(state->mutex);
        state->changed.wait(lock, [&] { return state->answered || state->givenUp; });
    }
    // A transfer given up on is stopped; once `cancel` returns, none of its callbacks runs.
    task.cancel();
    {
        std::lock_guard lock(state->mutex);
        result = std::move(state->result);
    }

    post(queues_.queue, [result](TileLoaderEngine& engine) { engine.noteTransport(result.isSuccess(), result); });

    FetchResult fetched;
    if (result.isSuccess())
        fetched.data = toBytes(result.response->body);
    if (result.response)
        fetched.status = result.response->status;
    fetched.error = std::move(result.error);
    return fetched;
}

std::string TileLoaderEngine::fetchCacheKey(std::string_view url)
{
    auto digest = platform::sha256Hex(url);
    return "fetch/" + digest.substr(0, kFetchKeyFolderDigits) + "/" + digest;
}

std::optional<std::vector<std::byte>> TileLoaderEngine::fetchCached(const std::string& url)
{
    auto key = fetchCacheKey(url);
    if (auto file = store_->read(key)) {
        if (file->empty())
            return std::nullopt;
        return std::vector<std::byte>(file->bytes().begin(), file->bytes().end());
    }
    auto fetched = fetchSync(url);
    try {
        if (fetched.data) {
            store_->writeNow(*fetched.data, key);
            return fetched.data;
        }
        if (fetched.status == kStatusBadRequest || fetched.status == kStatusNotFound)
            store_->writeNow({}, key);
    } catch (const std::filesystem::filesystem_error& error) {
        platform::Log::warning(platform::logcat::diskStore, "écriture {} : {}", key, error.what());
    }
    return fetched.data;
}

void TileLoaderEngine::fetchData(const std::string& url, DataCompletion completion)
{
    std::lock_guard lock(dataTasksMutex_);
    auto id = ++lastDataTaskId_;
    // The answer comes on the loader's queue, where the handle may be dropped; the caller's
    // work on it runs on the decode queue.
    auto task = session_->start(platform::HttpRequest::get(url), transferInbox_,
        [weak = weak_from_this(), id, completion = std::move(completion)](platform::HttpResult result) mutable {
            auto engine = weak.lock();
            if (!engine)
                return;
            std::optional<std::vector<std::byte>> data;
            if (result.isSuccess())
                data = toBytes(result.response->body);
            engine->post(engine->queues_.decode,
                [completion = std::move(completion), data = std::move(data)](TileLoaderEngine&) mutable {
                    completion(std::move(data));
                });
            std::lock_guard lock(engine->dataTasksMutex_);
            engine->dataTasks_.erase(id);
        });
    dataTasks_.emplace(id, std::move(task));
}

} // namespace velorin
