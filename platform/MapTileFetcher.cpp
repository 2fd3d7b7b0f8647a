#include "platform/MapTileFetcher.h"

#include "platform/AtomicWrite.h"
#include "platform/Log.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <span>
#include <unordered_set>

namespace platform {

namespace {

constexpr std::string_view kLogCategory = "MapTiles";
constexpr std::string_view kExpiresPrefix = "expires ";

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// How long the response may be kept: its max-age, else its Expires against its Date.
std::optional<double> declaredLifetime(const HttpResponse& response)
{
    if (const auto control = response.header("cache-control")) {
        const auto at = control->find("max-age=");
        if (at != std::string::npos) {
            try {
                return std::stod(control->substr(at + 8));
            } catch (const std::exception&) {
            }
        }
    }
    const auto expires = response.header("expires");
    if (!expires)
        return std::nullopt;
    const time_t until = curl_getdate(expires->c_str(), nullptr);
    if (until < 0)
        return std::nullopt;
    const auto date = response.header("date");
    const time_t from = date ? curl_getdate(date->c_str(), nullptr) : -1;
    return double(until) - (from >= 0 ? double(from) : wallSeconds());
}

std::span<const std::byte> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

} // namespace

std::shared_ptr<MapTileFetcher> MapTileFetcher::make(
    std::filesystem::path cacheFolder, std::shared_ptr<Clock> clock, std::shared_ptr<Executor> main)
{
    return std::shared_ptr<MapTileFetcher>(new MapTileFetcher(std::move(cacheFolder), std::move(clock), std::move(main)));
}

MapTileFetcher::MapTileFetcher(std::filesystem::path cacheFolder, std::shared_ptr<Clock> clock, std::shared_ptr<Executor> main)
    : cacheFolder_(std::move(cacheFolder))
    , clock_(std::move(clock))
    , main_(std::move(main))
    , session_(HttpSessionOptions {kTransfersPerHost, 16, 20, {}, false, {}})
{
}

MapTileFetcher::~MapTileFetcher()
{
    pending_.clear();
}

std::string MapTileFetcher::hostOf(const std::string& url)
{
    const auto scheme = url.find("://");
    if (scheme == std::string::npos)
        return {};
    const auto start = scheme + 3;
    return url.substr(start, url.find_first_of("/?#", start) - start);
}

void MapTileFetcher::onMain(const Context& context, std::function<void(MapTileFetcher&)> task)
{
    context.main->post([weak = context.fetcher, task = std::move(task)] {
        if (auto self = weak.lock())
            task(*self);
    });
}

void MapTileFetcher::want(const std::vector<Request>& requests)
{
    std::unordered_set<std::string> wanted;
    for (const Request& request : requests)
        wanted.insert(request.key);
    // Dropping a task cancels its transfer.
    std::erase_if(pending_, [&wanted](const auto& entry) { return !wanted.contains(entry.first); });
    const double now = clock_->now();
    std::erase_if(failedUntil_, [now](const auto& entry) { return entry.second <= now; });
    std::erase_if(heldUntil_, [now](const auto& entry) { return entry.second <= now; });
    for (const Request& request : requests) {
        if (pending_.contains(request.key) || failedUntil_.contains(request.key))
            continue;
        if (!request.url.starts_with("http://") && !request.url.starts_with("https://"))
            continue;
        if (heldUntil_.contains(hostOf(request.url)))
            continue;
        pending_.emplace(request.key, HttpTask {});
        lookUp(request.key, request.url);
    }
}

void MapTileFetcher::lookUp(const std::string& key, const std::string& url)
{
    if (cacheFolder_.empty()) {
        download(key, url);
        return;
    }
    worker_.async([context = Context {weak_from_this(), main_, cacheFolder_}, path = cacheFolder_ / key, key, url] {
        std::ifstream file(path, std::ios::binary);
        std::string contents {std::istreambuf_iterator<char>(file), {}};
        std::optional<Image> image;
        if (contents.starts_with(kExpiresPrefix)) {
            const auto end = contents.find('\n');
            double expires = 0;
            try {
                expires = std::stod(contents.substr(kExpiresPrefix.size(), end - kExpiresPrefix.size()));
            } catch (const std::exception&) {
            }
            if (end != std::string::npos && wallSeconds() < expires)
                image = decodeImage(bytesOf(std::string_view(contents).substr(end + 1)), {kMaxTilePixels, 0});
        }
        onMain(context, [key, url, image = std::move(image)](MapTileFetcher& self) mutable {
            if (!self.pending_.contains(key))
                return;
            if (image)
                self.deliver(key, std::move(image));
            else
                self.download(key, url);
        });
    });
}

void MapTileFetcher::download(const std::string& key, const std::string& url)
{
    HttpRequest request = HttpRequest::get(url);
    request.maxBodyBytes = kMaxTileBytes;
    // The completion runs on the worker: decoding and writing stay off the GUI thread. It
    // never holds the fetcher, whose last owner is the GUI thread.
    auto task = session_.start(std::move(request), worker_,
        [context = Context {weak_from_this(), main_, cacheFolder_}, key, url](HttpResult result) {
            received(context, key, url, std::move(result));
        });
    const auto entry = pending_.find(key);
    if (entry != pending_.end())
        entry->second = std::move(task);
}

void MapTileFetcher::received(const Context& context, const std::string& key, const std::string& url, HttpResult result)
{
    const int status = result.response ? result.response->status : 0;
    if (status == 429 || status >= 500) {
        onMain(context, [host = hostOf(url), key](MapTileFetcher& self) {
            self.pending_.erase(key);
            self.hold(host);
        });
        return;
    }
    std::optional<Image> image;
    if (result.isSuccess())
        image = decodeImage(bytesOf(result.response->body), {kMaxTilePixels, 0});
    if (!image) {
        Log::info(kLogCategory, "tuile {} inutilisable (statut {})", url, status);
        onMain(context, [key](MapTileFetcher& self) { self.failed(key); });
        return;
    }
    if (!context.cacheFolder.empty()) {
        const double lifetime = std::max(kMinFreshSeconds, declaredLifetime(*result.response).value_or(0));
        std::string contents = std::string(kExpiresPrefix) + std::to_string(std::int64_t(wallSeconds() + lifetime)) + "\n";
        contents += result.response->body;
        try {
            atomicWrite(context.cacheFolder / key, std::string_view(contents));
        } catch (const std::filesystem::filesystem_error& error) {
            Log::error(kLogCategory, "écriture {} : {}", key, error.code().message());
        }
    }
    onMain(context, [key, image = std::move(image)](MapTileFetcher& self) mutable { self.deliver(key, std::move(image)); });
}

void MapTileFetcher::deliver(const std::string& key, std::optional<Image> image)
{
    if (!pending_.erase(key) || !image)
        return;
    if (onTile)
        onTile(key, std::move(*image));
}

void MapTileFetcher::failed(const std::string& key)
{
    if (pending_.erase(key))
        failedUntil_[key] = clock_->now() + kFailedRetrySeconds;
}

void MapTileFetcher::hold(const std::string& host)
{
    if (heldUntil_.contains(host))
        return;
    heldUntil_[host] = clock_->now() + kHostHoldSeconds;
    Log::info(kLogCategory, "serveur {} en pause pour {} s", host, kHostHoldSeconds);
    clock_->after(kHostHoldSeconds, [weak = weak_from_this(), main = main_] {
        main->post([weak] {
            if (auto self = weak.lock(); self && self->onRetryDue)
                self->onRetryDue();
        });
    });
}

} // namespace platform
