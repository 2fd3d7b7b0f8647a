#include "features/PlaceStore.h"

#include "map-data/WorldPoint.h"

#include "platform/Log.h"

#include <fmt/format.h>

#include <cmath>
#include <numbers>
#include <system_error>
#include <utility>

namespace velorin {

namespace {

// Zoom-11 cells: 2^11 columns and rows across the world square.
constexpr double kCellsAcross = 2048;

double latitudeOf(double y)
{
    return std::atan(std::sinh(std::numbers::pi * (1 - 2 * y))) * 180 / std::numbers::pi;
}

double longitudeOf(double x)
{
    return 360 * x - 180;
}

} // namespace

bool PlaceStore::Country::intersects(const WorldRect& rect) const
{
    const double north = latitudeOf(rect.minY);
    const double south = latitudeOf(rect.maxY);
    const double west = longitudeOf(rect.minX);
    const double east = longitudeOf(rect.maxX);
    return south <= latitudes.upper && latitudes.lower <= north && west <= longitudes.upper
        && longitudes.lower <= east;
}

PlaceStore::PlaceStore(platform::HttpSession& session, ServiceHosts hosts, std::filesystem::path directory,
    platform::Clock& clock, platform::MainQueue& mainQueue)
    : session_(session)
    , hosts_(std::move(hosts))
    , directory_(std::move(directory))
    , clock_(clock)
    , mainQueue_(mainQueue)
    , worker_("com.vask.velorin.places")
{
    std::error_code ignored;
    std::filesystem::create_directories(directory_, ignored);
}

PlaceStore::~PlaceStore()
{
    std::map<std::string, platform::HttpTask, std::less<>> transfers;
    {
        std::lock_guard guard(lock_);
        transfers.swap(transfers_);
    }
    // A completion already running is waited for; none starts afterwards.
    transfers.clear();
}

std::filesystem::path PlaceStore::databaseFile(std::string_view code) const
{
    return directory_ / fmt::format("places-{}.sqlite", code);
}

std::filesystem::path PlaceStore::setAsideFile(std::string_view code) const
{
    return directory_ / fmt::format("places-{}.sqlite.bad", code);
}

void PlaceStore::prefetchCountries(const WorldRect& rect)
{
    for (const Country& country : countries)
        if (country.intersects(rect))
            ensureDatabase(country.code);
}

void PlaceStore::ensureDatabase(std::string_view code)
{
    {
        std::lock_guard guard(lock_);
        if (databases_.contains(code) || downloading_.contains(code))
            return;
        if (auto failed = failedAt_.find(code);
            failed != failedAt_.end() && clock_.now() - failed->second < kRetryAfterFailureSeconds)
            return;
    }
    switch (openDatabase(code, false)) {
    case Opened::yes:
        return;
    case Opened::damaged:
        replaceDamaged(code);
        return;
    case Opened::absent:
        break;
    }
    if (canDownload()) {
        downloadDatabase(code);
        return;
    }
    if (!saidNoMediaHost_.exchange(true))
        platform::Log::info(platform::logcat::places, "aucun hôte média : les bases de lieux absentes ne sont pas téléchargées");
}

PlaceStore::Opened PlaceStore::openDatabase(std::string_view code, bool verify)
{
    const std::filesystem::path file = databaseFile(code);
    auto opening = PlaceDatabase::open(file, verify);
    switch (opening.outcome) {
    case PlaceDatabase::Outcome::opened: {
        std::lock_guard guard(lock_);
        databases_.insert_or_assign(std::string(code), std::move(opening.database));
        return Opened::yes;
    }
    case PlaceDatabase::Outcome::unavailable:
        return Opened::absent;
    case PlaceDatabase::Outcome::otherVersion: {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        return Opened::absent;
    }
    case PlaceDatabase::Outcome::damaged:
        setAside(code);
        return Opened::damaged;
    }
    return Opened::absent;
}

void PlaceStore::replaceDamaged(std::string_view code)
{
    {
        std::lock_guard guard(lock_);
        if (downloading_.contains(code))
            return;
        const bool first = replacedAfterDamage_.emplace(code).second;
        if (!first || !canDownload()) {
            failedAt_.insert_or_assign(std::string(code), clock_.now());
            return;
        }
    }
    downloadDatabase(code);
}

void PlaceStore::setAside(std::string_view code)
{
    // Replaces an older set-aside file.
    std::error_code ignored;
    std::filesystem::rename(databaseFile(code), setAsideFile(code), ignored);
    platform::Log::error(platform::logcat::places, "base {} : fichier endommagé, mis de côté", code);
}

std::shared_ptr<PlaceDatabase> PlaceStore::database(std::string_view code) const
{
    std::lock_guard guard(lock_);
    auto found = databases_.find(code);
    return found == databases_.end() ? nullptr : found->second;
}

void PlaceStore::queryFoundDamage(std::string_view code, const std::shared_ptr<PlaceDatabase>& database)
{
    {
        std::lock_guard guard(lock_);
        auto found = databases_.find(code);
        if (found == databases_.end() || found->second != database)
            return;
        databases_.erase(found);
    }
    setAside(code);
    replaceDamaged(code);
}

bool PlaceStore::hasOpenDatabase() const
{
    std::lock_guard guard(lock_);
    return !databases_.empty();
}

bool PlaceStore::isOpen(std::string_view code) const
{
    std::lock_guard guard(lock_);
    return databases_.contains(code);
}

bool PlaceStore::isDownloading(std::string_view code) const
{
    std::lock_guard guard(lock_);
    return downloading_.contains(code);
}

std::vector<Toponym> PlaceStore::labelsInCell(int x, int y)
{
    const WorldRect cell{x / kCellsAcross, y / kCellsAcross, (x + 1) / kCellsAcross, (y + 1) / kCellsAcross};
    std::vector<Toponym> labels;
    for (const Country& country : countries) {
        if (!country.labelsMap || !country.intersects(cell))
            continue;
        auto connection = database(country.code);
        if (!connection)
            continue;
        auto rows = connection->labels(x, y, country.code);
        if (rows.damaged)
            queryFoundDamage(country.code, connection);
        for (const Place& place : rows.places)
            labels.push_back(place.toponym());
    }
    return labels;
}

} // namespace velorin
