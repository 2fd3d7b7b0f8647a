#include "features/BuildingLoader.h"

#include "features/BuildingMesh.h"
#include "platform/NumberFormat.h"
#include "platform/PercentEncoding.h"
#include "renderer/TileCover.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr int kBoxDecimals = 6;

double longitudeOf(std::int64_t column, double n) { return double(column) / n * 360 - 180; }

double latitudeOf(std::int64_t row, double n)
{
    return std::atan(std::sinh(std::numbers::pi * (1 - 2 * double(row) / n))) * 180 / std::numbers::pi;
}

} // namespace

BuildingLoader::BuildingLoader(DiskStore& store, platform::HttpSession& session, ServiceHosts hosts,
    platform::MainQueue& mainQueue, platform::Clock& clock)
    : mainQueue_(mainQueue)
    , clock_(clock)
    , work_(std::make_shared<Work>(store, std::move(hosts), session))
    , lifetime_(std::make_shared<BuildingLoader*>(this))
    , queue_("com.vask.velorin.buildings", int(kMaxLoads))
{
}

BuildingLoader::~BuildingLoader()
{
    lifetime_.reset();
    work_->fetch.stop();
    queue_.cancelAll();
}

std::string BuildingLoader::diskKey(std::int64_t z, std::int64_t x, std::int64_t y)
{
    return fmt::format("buildings3/{}/{}_{}.json", z, x, y);
}

FileBatchDownload::Item BuildingLoader::download(const Key& key) const
{
    return {diskKey(key.z, key.x, key.y), buildingQueryURL(work_->hosts, key.z, key.x, key.y)};
}

std::string BuildingLoader::buildingQueryURL(const ServiceHosts& hosts, std::int64_t z, std::int64_t x, std::int64_t y)
{
    const double n = std::exp2(double(z));
    const auto degrees = [](double value) { return platform::cNumber(value, kBoxDecimals); };
    const platform::QueryItem items[] = {
        {"SERVICE", "WFS"},
        {"VERSION", "2.0.0"},
        {"REQUEST", "GetFeature"},
        {"TYPENAMES", "BDTOPO_V3:batiment"},
        {"CQL_FILTER",
            fmt::format("BBOX(geometrie,{},{},{},{},'EPSG:4326')", degrees(longitudeOf(x, n)), degrees(latitudeOf(y + 1, n)),
                degrees(longitudeOf(x + 1, n)), degrees(latitudeOf(y, n)))},
        {"PROPERTYNAME",
            "hauteur,altitude_minimale_toit,altitude_maximale_toit,materiaux_des_murs,materiaux_de_la_toiture,nature,"
            "usage_1,geometrie"},
        {"COUNT", std::to_string(kMaxFeatures)},
        {"OUTPUTFORMAT", "application/json"},
    };
    return hosts.origin(hosts.ignHost) + "/wfs/ows" + platform::queryString(items);
}

void BuildingLoader::request(const WorldRect& rect)
{
    if (tileCoverCount(rect) > kMaxCover)
        return;
    const double now = clock_.now();
    for (const Key& key : tileCoverNearestFirst(rect)) {
        if (tiles_.contains(key) || loading_.contains(key) || loading_.size() >= kMaxLoads)
            continue;
        if (const auto failed = failedAt_.find(key); failed != failedAt_.end() && now - failed->second < kRetryAfterFailureSeconds)
            continue;
        loading_.insert(key);
        queue_.add([work = work_, key, weak = std::weak_ptr(lifetime_), &mainQueue = mainQueue_] {
            auto vertices = work->load(key);
            mainQueue.post([weak, key, vertices = std::move(vertices)]() mutable {
                if (auto alive = weak.lock())
                    (*alive)->finish(key, std::move(vertices));
            });
        });
    }
}

void BuildingLoader::finish(const Key& key, std::optional<std::vector<Vertex>> vertices)
{
    loading_.erase(key);
    if (!vertices) {
        failedAt_[key] = clock_.now();
        return;
    }
    tiles_.insert_or_assign(key, std::move(*vertices));
    std::erase(recent_, key);
    recent_.push_back(key);
    if (recent_.size() > kMaxTiles) {
        tiles_.erase(recent_.front());
        recent_.pop_front();
    }
    if (onChange)
        onChange();
}

std::optional<std::vector<BuildingService::Vertex>> BuildingLoader::Work::load(const Key& key)
{
    const std::string file = diskKey(key.z, key.x, key.y);
    if (auto kept = store.read(file); kept && kept->size() > 0) {
        if (auto vertices = BuildingMesh::buildTile(kept->bytes(), int(key.z), key.x, key.y))
            return vertices;
        // A damaged copy is dropped and the tile asked for again.
        store.removeCached(file);
    }
    auto body = fetch.get(buildingQueryURL(hosts, key.z, key.x, key.y));
    if (!body)
        return std::nullopt;
    auto vertices = BuildingMesh::buildTile(*body, int(key.z), key.x, key.y);
    // Only a document that builds is kept: a bad answer would fail the tile at every retry.
    if (vertices)
        store.write(std::move(*body), file);
    return vertices;
}

} // namespace velorin
