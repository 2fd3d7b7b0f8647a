#pragma once

#include "features/Place.h"
#include "features/PlaceDatabase.h"
#include "features/Toponym.h"
#include "map-data/ServiceHosts.h"
#include "map-data/WorldPoint.h"
#include "map-data/WorldRect.h"

#include "platform/Clock.h"
#include "platform/DispatchQueue.h"
#include "platform/HttpSession.h"
#include "platform/MainQueue.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// The place databases of France, Switzerland, Austria and Spain: one read-only SQLite file
// per country in the "Places" folder, opened when it is there and downloaded from the
// maker's media host when it is not (never without one). They answer the place search and
// give the map its labels outside France. `ensureDatabase` and `prefetchCountries` belong
// to the GUI thread; `labelsInCell` and `placeSearch` run on any thread, the lock being
// held only to look up a connection. Downloads finish on the store's own worker.
class PlaceStore {
public:
    // A country's box, in degrees; bounds are inclusive.
    struct Range {
        double lower;
        double upper;
    };

    struct Country {
        // Two lower-case letters, naming the database files.
        std::string_view code;
        Range latitudes;
        Range longitudes;
        // The country's map labels come from its database.
        bool labelsMap;

        // Whether the rectangle meets the box; touching an edge counts.
        bool intersects(const WorldRect& rect) const;
    };

    // Every loop over countries follows this order.
    static constexpr std::array<Country, 4> countries{{
        {"fr", {41.3, 51.2}, {-5.3, 9.7}, false},
        {"ch", {45.7, 47.9}, {5.8, 10.6}, true},
        {"at", {46.3, 49.1}, {9.4, 17.2}, true},
        {"es", {35.9, 43.8}, {-9.4, 3.4}, true},
    }};

    // After a failed download, or a file found damaged again after it was fetched anew, the
    // country is left alone this long.
    static constexpr double kRetryAfterFailureSeconds = 300;
    // The largest database a download may bring.
    static constexpr int64_t kMaxDatabaseBytes = int64_t(1) << 30;
    static constexpr int kSearchLimit = 25;

    // The session, clock and main queue outlive the store. The folder is made if missing;
    // nothing is opened yet.
    PlaceStore(platform::HttpSession& session, ServiceHosts hosts, std::filesystem::path directory,
        platform::Clock& clock, platform::MainQueue& mainQueue);
    // Cancels the downloads, waiting for one that is finishing; then closes the databases
    // that no query holds any more.
    ~PlaceStore();
    PlaceStore(const PlaceStore&) = delete;
    PlaceStore& operator=(const PlaceStore&) = delete;

    // Called on the GUI thread each time a download has made a database available.
    std::function<void()> onChange;

    // `ensureDatabase` for each country whose box meets `rect`, in table order.
    void prefetchCountries(const WorldRect& rect);
    // Makes the country's database available now (from disk) or later (by a download),
    // unless it is open, downloading, or failed less than five minutes ago.
    void ensureDatabase(std::string_view code);

    // The label places of zoom-11 cell (x, y) from the open databases of the countries
    // whose labels they give and whose box meets the cell: countries in table order, rows
    // in the order SQLite gives them. Starts no download. A query that finds its file
    // damaged sets it aside, as every query does.
    std::vector<Toponym> labelsInCell(int x, int y);
    // The full-text search of every open database: at most `limit` places, by importance,
    // then by nearness to `point`. Nothing for a query without a searchable word.
    std::vector<Place> placeSearch(std::string_view query, const WorldPoint& point, int limit);

    // Whether a media host is configured, so that missing databases can be downloaded.
    bool canDownload() const { return hosts_.mediaHost.has_value(); }
    bool hasOpenDatabase() const;
    bool isOpen(std::string_view code) const;
    bool isDownloading(std::string_view code) const;

    // The folder that holds the databases.
    const std::filesystem::path& directory() const { return directory_; }
    // "places-<code>.sqlite" in the store's folder, and where a damaged one is set aside.
    std::filesystem::path databaseFile(std::string_view code) const;
    std::filesystem::path setAsideFile(std::string_view code) const;

private:
    enum class Opened { yes, absent, damaged };

    // Opens the country's file when it is a database of the right version (deleting one of
    // another version); a damaged file is set aside.
    Opened openDatabase(std::string_view code, bool verify);
    // The country's file was found damaged and set aside: it is downloaded again at once, the
    // first time; after that, or without a media host, the country fails.
    void replaceDamaged(std::string_view code);
    void downloadDatabase(std::string_view code);
    // On the worker: puts the downloaded file in place and opens it, or fails the country.
    void finishDownload(const std::string& code, const std::filesystem::path& temporary,
        const platform::HttpResult& result);
    bool installDownload(const std::string& code, const std::filesystem::path& temporary,
        const platform::HttpResult& result);
    std::shared_ptr<PlaceDatabase> database(std::string_view code) const;
    // A query found `database` damaged: it is replaced, unless another query saw it first.
    void queryFoundDamage(std::string_view code, const std::shared_ptr<PlaceDatabase>& database);
    // Moves the country's file aside as "….bad" and says so in the log.
    void setAside(std::string_view code);

    platform::HttpSession& session_;
    const ServiceHosts hosts_;
    const std::filesystem::path directory_;
    platform::Clock& clock_;
    platform::MainQueue& mainQueue_;

    // Guards the maps and sets below and the download handles; never held across SQLite, a
    // file operation, a transfer or a callback.
    mutable std::mutex lock_;
    std::map<std::string, std::shared_ptr<PlaceDatabase>, std::less<>> databases_;
    std::set<std::string, std::less<>> downloading_;
    // On `clock_`.
    std::map<std::string, double, std::less<>> failedAt_;
    // The countries whose damaged file was fetched anew: damage again fails them.
    std::set<std::string, std::less<>> replacedAfterDamage_;
    std::atomic<bool> saidNoMediaHost_{false};

    // Where downloads finish: before the handles, which must go first.
    platform::DispatchQueue worker_;
    std::map<std::string, platform::HttpTask, std::less<>> transfers_;
    // What a posted `onChange` checks on the GUI thread, where the store is destroyed.
    std::shared_ptr<bool> lifetime_ = std::make_shared<bool>(true);
};

} // namespace velorin
