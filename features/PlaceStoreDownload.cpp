#include "features/PlaceStore.h"

#include "map-data/MediaURLs.h"

#include "platform/AtomicWrite.h"
#include "platform/Log.h"

#include <fmt/format.h>

#include <system_error>

namespace velorin {

namespace {

constexpr int kStatusOK = 200;

} // namespace

void PlaceStore::downloadDatabase(std::string_view code)
{
    const auto url = mediaURL(hosts_, fmt::format("places/places-{}.bin", code));
    if (!url)
        return;
    // Beside its final place: a rename across file systems would fail.
    auto temporary = directory_ / fmt::format("places-{}.sqlite.download", code);
    auto request = platform::HttpRequest::get(*url);
    request.destination = temporary;
    request.maxBodyBytes = kMaxDatabaseBytes;
    {
        std::lock_guard guard(lock_);
        downloading_.insert(std::string(code));
    }
    // The store cancels the transfer before it goes, so the completion always finds it.
    auto task = session_.start(std::move(request), worker_,
        [this, code = std::string(code), temporary](platform::HttpResult result) {
            finishDownload(code, temporary, result);
        });
    platform::HttpTask previous;
    {
        std::lock_guard guard(lock_);
        previous = std::exchange(transfers_[std::string(code)], std::move(task));
    }
}

void PlaceStore::finishDownload(const std::string& code, const std::filesystem::path& temporary,
    const platform::HttpResult& result)
{
    const bool ready = installDownload(code, temporary, result);
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    {
        std::lock_guard guard(lock_);
        downloading_.erase(code);
        if (!ready)
            failedAt_.insert_or_assign(code, clock_.now());
    }
    platform::Log::info(platform::logcat::places, "base {} : {}", code, ready ? "prête" : "échec");
    if (!ready)
        return;
    mainQueue_.post([this, alive = std::weak_ptr(lifetime_)] {
        if (alive.lock() && onChange)
            onChange();
    });
}

bool PlaceStore::installDownload(const std::string& code, const std::filesystem::path& temporary,
    const platform::HttpResult& result)
{
    if (!result.response || result.response->status != kStatusOK)
        return false;
    const std::filesystem::path file = databaseFile(code);
    try {
        platform::flushFile(temporary);
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        std::filesystem::rename(temporary, file);
        platform::flushFolderOf(file);
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
    return openDatabase(code, true) == Opened::yes;
}

} // namespace velorin
