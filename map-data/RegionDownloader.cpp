#include "map-data/RegionDownloader.h"

#include "map-data/FranceBasemapKeys.h"
#include "map-data/TileLoaderEngine.h"
#include "map-data/ZoneList.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/MappedFile.h"
#include "platform/NumberFormat.h"
#include "platform/Uuid.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace velorin {

namespace {

// 2001-01-01 00:00:00 UTC, the origin of zone dates, in Unix seconds.
constexpr double kReferenceDateUnixSeconds = 978307200;

constexpr std::string_view kZoneIncompleteNotice
    = "Certaines cartes n'ont pas pu être téléchargées : la zone n'est pas enregistrée. Réessayez avec une connexion.";
constexpr std::string_view kBasemapIncompleteNotice
    = "Le fond de carte n'a pas pu être téléchargé en entier. Réessayez avec une connexion.";

// A server that answered it has no such tiles will not have them on the next try either.
std::string basemapUnavailableNotice(std::size_t unavailable)
{
    const std::string count = platform::frenchNumber(double(unavailable), 0);
    return unavailable == 1
        ? "Le fond de carte n'a pas pu être téléchargé en entier : 1 tuile n'est pas disponible sur ce serveur."
        : "Le fond de carte n'a pas pu être téléchargé en entier : " + count
            + " tuiles ne sont pas disponibles sur ce serveur.";
}

// A sheet name from the zone list names one folder of the offline root, nothing more.
bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

} // namespace

std::shared_ptr<RegionDownloader> RegionDownloader::make(Services services)
{
    std::shared_ptr<RegionDownloader> downloader(new RegionDownloader(std::move(services)));
    downloader->load();
    downloader->refreshSizes();
    return downloader;
}

RegionDownloader::RegionDownloader(Services services)
    : services_(std::move(services))
{
    if (!services_.utilityQueue)
        services_.utilityQueue = std::make_shared<platform::DispatchQueue>("com.vask.velorin.offline");
    if (!services_.now)
        services_.now = [] { return std::chrono::system_clock::now(); };
}

RegionDownloader::~RegionDownloader()
{
    cancelFlag_->store(true);
}

void RegionDownloader::load()
{
    if (auto file = platform::MappedFile::open(services_.store->offlineRoot() / kZonesFileName)) {
        if (auto zones = decodeZoneList(file->bytes()))
            zones_ = std::move(*zones);
    }
    std::ranges::stable_sort(zones_, std::ranges::greater {}, &Zone::createdAt);
    std::error_code error;
    hasBaseMap_ = std::filesystem::exists(services_.store->offlineRoot() / kBasemapDoneFileName, error);
}

void RegionDownloader::saveZones()
{
    const auto text = encodeZoneList(zones_);
    try {
        services_.store->writeNow(std::as_bytes(std::span(text.data(), text.size())), kZonesFileName, true);
    } catch (const std::filesystem::filesystem_error& error) {
        platform::Log::warning(platform::logcat::offline, "écriture {} : {}", kZonesFileName, error.what());
    }
}

int RegionDownloader::observe(std::function<void()> callback)
{
    observers_.emplace(++lastObserver_, std::move(callback));
    return lastObserver_;
}

void RegionDownloader::stopObserving(int observer)
{
    observers_.erase(observer);
}

void RegionDownloader::changed()
{
    // A copy: an observer may stop observing, or start, while being told.
    auto observers = observers_;
    for (const auto& [id, callback] : observers)
        callback();
}

void RegionDownloader::onMain(std::function<void(RegionDownloader&)> step) const
{
    services_.mainQueue->post([weak = weak_from_this(), step = std::move(step)] {
        if (auto downloader = std::const_pointer_cast<RegionDownloader>(weak.lock()))
            step(*downloader);
    });
}

std::function<void(double)> RegionDownloader::progressReporter(std::int64_t completed) const
{
    return [weak = weak_from_this(), mainQueue = services_.mainQueue, completed](double fraction) {
        // Runs on the loader's queues: only the main queue touches the downloader.
        mainQueue->post([weak, completed, fraction] {
            auto downloader = std::const_pointer_cast<RegionDownloader>(weak.lock());
            if (!downloader || !downloader->job_)
                return;
            auto& job = *downloader->job_;
            job.completed = std::min(completed, job.total);
            job.progress = job.total > 0 ? (double(completed) + fraction) / double(job.total) : fraction;
            downloader->changed();
        });
    };
}

void RegionDownloader::downloadZone(std::string title, std::vector<Sheet> sheets)
{
    if (job_ || sheets.empty())
        return;
    cancelFlag_->store(false);
    notice_.reset();
    job_ = Job { std::move(title), 0, std::int64_t(sheets.size()), 0, false };
    changed();
    prepareSheet(std::make_shared<std::vector<Sheet>>(std::move(sheets)), 0, true);
}

void RegionDownloader::prepareSheet(std::shared_ptr<std::vector<Sheet>> sheets, std::size_t index, bool allComplete)
{
    if (cancelFlag_->load() || index == sheets->size()) {
        zoneEnded(*sheets, allComplete);
        return;
    }
    const auto& sheet = (*sheets)[index];
    auto mark = services_.store->offlineRoot() / TileLoaderEngine::slicedMarkKey(sheet);
    auto weak = weak_from_this();
    auto mainQueue = services_.mainQueue;
    services_.loader->prepareOffline(
        sheet, progressReporter(std::int64_t(index)), [flag = cancelFlag_] { return flag->load(); },
        [weak, mainQueue, sheets, index, allComplete, mark] {
            // On the loader's queue: the check of the disk is done here, off the main thread.
            std::error_code error;
            bool complete = allComplete && std::filesystem::exists(mark, error);
            mainQueue->post([weak, sheets, index, complete] {
                if (auto downloader = weak.lock())
                    downloader->prepareSheet(sheets, index + 1, complete);
            });
        });
}

void RegionDownloader::zoneEnded(const std::vector<Sheet>& sheets, bool allComplete)
{
    if (!cancelFlag_->load()) {
        if (allComplete) {
            Zone zone;
            zone.id = platform::makeUuid();
            zone.name = job_ ? job_->title : std::string();
            for (const auto& sheet : sheets)
                zone.sheetNames.push_back(sheet.name);
            zone.createdAt = std::chrono::duration<double>(services_.now().time_since_epoch()).count()
                - kReferenceDateUnixSeconds;
            zones_.insert(zones_.begin(), std::move(zone));
            saveZones();
        } else {
            notice_ = std::string(kZoneIncompleteNotice);
            platform::Log::info(platform::logcat::offline, "zone {} incomplète", job_ ? job_->title : "");
        }
    }
    job_.reset();
    changed();
    refreshSizes();
}

void RegionDownloader::downloadBasemap()
{
    if (job_)
        return;
    cancelFlag_->store(false);
    notice_.reset();
    job_ = Job { std::string(kBasemapJobTitle), 0, 1, 0, false };
    changed();

    auto weak = weak_from_this();
    auto mainQueue = services_.mainQueue;
    auto progress = [weak, mainQueue](double fraction) {
        mainQueue->post([weak, fraction] {
            auto downloader = weak.lock();
            if (!downloader || !downloader->job_)
                return;
            downloader->job_->progress = fraction;
            downloader->changed();
        });
    };
    auto checkAndFinish = [weak, mainQueue, store = services_.store, utility = services_.utilityQueue,
                              keys = franceBasemapKeys(services_.loader->catalog()), flag = cancelFlag_](
                              std::size_t unavailable) {
        utility->post([weak, mainQueue, store, keys, flag, unavailable] {
            // Only a base map whose every tile is in the offline root is marked complete.
            bool complete = !flag->load();
            for (std::size_t i = 0; complete && i < keys.size(); ++i) {
                auto path = keys[i].relativePath({});
                std::error_code error;
                complete = path && std::filesystem::is_regular_file(store->offlineRoot() / *path, error);
            }
            if (complete) {
                try {
                    store->writeNow({}, kBasemapDoneFileName, true);
                } catch (const std::filesystem::filesystem_error& error) {
                    platform::Log::warning(platform::logcat::offline, "écriture {} : {}", kBasemapDoneFileName,
                        error.what());
                    complete = false;
                }
            }
            mainQueue->post([weak, complete, unavailable] {
                if (auto downloader = weak.lock())
                    downloader->basemapEnded(complete, unavailable);
            });
        });
    };
    services_.loader->downloadFranceBasemap(progress, [flag = cancelFlag_] { return flag->load(); }, checkAndFinish);
}

void RegionDownloader::basemapEnded(bool complete, std::size_t unavailable)
{
    if (complete) {
        hasBaseMap_ = true;
    } else if (!cancelFlag_->load()) {
        notice_ = unavailable > 0 ? basemapUnavailableNotice(unavailable) : std::string(kBasemapIncompleteNotice);
        platform::Log::info(platform::logcat::offline, "fond de carte incomplet");
    }
    job_.reset();
    changed();
    refreshSizes();
}

void RegionDownloader::dismissNotice()
{
    if (!notice_)
        return;
    notice_.reset();
    changed();
}

void RegionDownloader::cancel()
{
    cancelFlag_->store(true);
    if (job_) {
        job_->isCancelling = true;
        changed();
    }
}

void RegionDownloader::deleteZone(const std::string& id)
{
    auto zone = std::ranges::find(zones_, id, &Zone::id);
    if (zone == zones_.end())
        return;
    auto sheetNames = zone->sheetNames;
    zones_.erase(zone);
    saveZones();
    changed();

    std::set<std::string> kept;
    for (const auto& other : zones_)
        kept.insert(other.sheetNames.begin(), other.sheetNames.end());
    std::vector<std::filesystem::path> doomed;
    auto root = services_.store->offlineRoot();
    for (const auto& name : sheetNames) {
        if (kept.contains(name) || !isPlainName(name))
            continue;
        doomed.push_back(root / "sub" / name);
        for (auto size : kThumbnailSizes)
            doomed.push_back(root / ("thumb" + std::to_string(size)) / (name + ".jpg"));
    }
    services_.utilityQueue->post([doomed = std::move(doomed), weak = weak_from_this(), mainQueue = services_.mainQueue] {
        for (const auto& path : doomed) {
            std::error_code error;
            std::filesystem::remove_all(path, error);
        }
        mainQueue->post([weak] {
            if (auto downloader = weak.lock())
                downloader->refreshSizes();
        });
    });
}

void RegionDownloader::clearCache()
{
    if (job_)
        return;
    services_.utilityQueue->post([store = services_.store, weak = weak_from_this(), mainQueue = services_.mainQueue] {
        try {
            store->clearCache();
        } catch (const std::filesystem::filesystem_error& error) {
            platform::Log::warning(platform::logcat::offline, "vidage du cache : {}", error.what());
        }
        mainQueue->post([weak] {
            if (auto downloader = weak.lock())
                downloader->refreshSizes();
        });
    });
}

void RegionDownloader::refreshSizes()
{
    services_.utilityQueue->post([store = services_.store, weak = weak_from_this(), mainQueue = services_.mainQueue] {
        auto offline = DiskStore::allocatedSize(store->offlineRoot());
        auto cache = DiskStore::allocatedSize(store->cacheRoot());
        mainQueue->post([weak, offline, cache] {
            auto downloader = weak.lock();
            if (!downloader)
                return;
            downloader->offlineSize_ = offline;
            downloader->cacheSize_ = cache;
            downloader->changed();
        });
    });
}

} // namespace velorin
