#pragma once

#include "map-data/DiskStore.h"
#include "map-data/Sheet.h"
#include "map-data/TileLoader.h"
#include "platform/Executor.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// The walker's offline zones (named sets of TOP25 sheets kept in the offline root) and the
// France base map: downloads them through the tile loader, one job at a time, lists and
// deletes zones, and measures the disk use of both roots. Main thread only; its disk work
// runs on a utility queue and its state changes are announced through `onChange`.
class RegionDownloader : public std::enable_shared_from_this<RegionDownloader> {
public:
    struct Zone {
        std::string id; // UUID text
        std::string name;
        std::vector<std::string> sheetNames;
        // Seconds since 2001-01-01 00:00:00 UTC.
        double createdAt = 0;

        bool operator==(const Zone&) const = default;
    };

    struct Job {
        std::string title;
        std::int64_t completed = 0; // sheets done
        std::int64_t total = 0; // sheets in the job
        double progress = 0; // 0…1
        bool isCancelling = false;

        bool operator==(const Job&) const = default;
    };

    struct Services {
        std::shared_ptr<DiskStore> store;
        // Must outlive the downloader.
        TileLoader* loader = nullptr;
        std::shared_ptr<platform::Executor> mainQueue;
        // Disk measures, deletions and checks. Null: a serial queue of the downloader's own.
        std::shared_ptr<platform::Executor> utilityQueue;
        // Empty: the system clock.
        std::function<std::chrono::system_clock::time_point()> now;
    };

    static constexpr std::string_view kZonesFileName = "zones.json";
    static constexpr std::string_view kBasemapDoneFileName = "basemap.done";
    static constexpr std::string_view kBasemapJobTitle = "Fond de carte France";
    static constexpr std::int64_t kThumbnailSizes[] = { 256, 1024 };

    // Reads the zone list and the base-map marker, then measures the roots.
    static std::shared_ptr<RegionDownloader> make(Services services);
    // Tells the loader's work in flight to stop starting anything new.
    ~RegionDownloader();

    RegionDownloader(const RegionDownloader&) = delete;
    RegionDownloader& operator=(const RegionDownloader&) = delete;

    const std::vector<Zone>& zones() const { return zones_; }
    const std::optional<Job>& job() const { return job_; }
    std::uintmax_t offlineSize() const { return offlineSize_; }
    std::uintmax_t cacheSize() const { return cacheSize_; }
    bool hasBaseMap() const { return hasBaseMap_; }
    // Why the last job ended without completing, in French; cleared when a job starts.
    const std::optional<std::string>& notice() const { return notice_; }
    bool cancelRequested() const { return cancelFlag_->load(); }
    // Sheets and base-map tiles come from the media host: without one no download can work.
    bool hasMediaHost() const { return services_.loader->hosts().mediaHost.has_value(); }
    // The walker has read the notice: it goes until another job ends incomplete.
    void dismissNotice();

    // `callback` runs on the main thread after any of the above changed, until
    // `stopObserving` is given the number returned.
    int observe(std::function<void()> callback);
    void stopObserving(int observer);

    // Prepares `sheets` and keeps them as a zone named `title` once every one of them is in
    // the offline root. Does nothing while a job runs or without sheets.
    void downloadZone(std::string title, std::vector<Sheet> sheets);
    // Downloads the France base map; "basemap.done" is written once every tile is in the
    // offline root. Does nothing while a job runs.
    void downloadBasemap();
    // The running job stops starting new work and ends once what is in flight has ended.
    void cancel();
    // Forgets the zone and removes from the offline root the sheets no other zone lists.
    void deleteZone(const std::string& id);
    // Empties the cache root off the main thread, then measures the roots again. Does
    // nothing while a job runs.
    void clearCache();
    // Measures the disk use of both roots off the main thread.
    void refreshSizes();

private:
    explicit RegionDownloader(Services services);

    void load();
    void saveZones();
    void changed();
    // Posts `step` to the main queue, holding the downloader weakly.
    void onMain(std::function<void(RegionDownloader&)> step) const;
    std::function<void(double)> progressReporter(std::int64_t completed) const;
    void prepareSheet(std::shared_ptr<std::vector<Sheet>> sheets, std::size_t index, bool allComplete);
    void zoneEnded(const std::vector<Sheet>& sheets, bool allComplete);
    void basemapEnded(bool complete, std::size_t unavailable);

    // Last to go of what the queued work may reach: the utility queue it owns, if any,
    // finishes its blocks first.
    Services services_;
    // Shared with the loader's work: set by `cancel` and when the downloader goes away.
    std::shared_ptr<std::atomic<bool>> cancelFlag_ = std::make_shared<std::atomic<bool>>(false);

    std::vector<Zone> zones_;
    std::optional<Job> job_;
    std::uintmax_t offlineSize_ = 0;
    std::uintmax_t cacheSize_ = 0;
    bool hasBaseMap_ = false;
    std::optional<std::string> notice_;
    std::map<int, std::function<void()>> observers_;
    int lastObserver_ = 0;
};

} // namespace velorin
