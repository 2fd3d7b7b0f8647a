#include "map-data/TileLoaderEngine.h"

#include "platform/Crypto.h"
#include "platform/Log.h"

#include <algorithm>
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

FetchResult TileLoaderEngine::fetchSync(const std::string& url, const FetchProgress& progress)
{
    platform::HttpSession::ProgressHandler onProgress;
    if (progress) {
        onProgress = [progress](platform::HttpProgress figures) {
            double fraction = figures.expected > 0 ? double(figures.received) / double(figures.expected) : 0;
            progress(std::min(fraction, 1.0), figures.received, figures.expected);
        };
    }
    const platform::HttpResult result
        = blocking_.fetch(platform::HttpRequest::get(url), kBlockingWaitSeconds, std::move(onProgress))
              .value_or(platform::HttpResult{});

    post(queues_.queue, [result](TileLoaderEngine& engine) { engine.noteTransport(result.isSuccess(), result); });

    FetchResult fetched;
    if (result.isSuccess())
        fetched.data = toBytes(result.response->body);
    if (result.response)
        fetched.status = result.response->status;
    fetched.error = result.error;
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
    fetchAnswer(url, [completion = std::move(completion)](std::optional<std::vector<std::byte>> body, bool) {
        completion(std::move(body));
    });
}

void TileLoaderEngine::fetchAnswer(const std::string& url, AnswerCompletion completion)
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
            const bool unavailable = result.response && (result.response->status == 404 || result.response->status == 410);
            engine->post(engine->queues_.decode,
                [completion = std::move(completion), data = std::move(data), unavailable](TileLoaderEngine&) mutable {
                    completion(std::move(data), unavailable);
                });
            std::lock_guard lock(engine->dataTasksMutex_);
            engine->dataTasks_.erase(id);
        });
    dataTasks_.emplace(id, std::move(task));
}

} // namespace velorin
