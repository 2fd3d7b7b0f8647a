#include "features/SpotHeights.h"

#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "map-data/TileSources.h"
#include "map-data/WorldPoint.h"

#include "platform/PercentEncoding.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

namespace velorin {

namespace {

constexpr int kStatusOK = 200;
constexpr double kTilesAcross = 1 << SpotHeights::kTileZoom;

bool isValid(double meters)
{
    return meters > SpotHeights::kLowestValidMeters && meters < SpotHeights::kHighestValidMeters;
}

bool takesHeight(Toponym::Kind kind)
{
    return kind == Toponym::Kind::summit || kind == Toponym::Kind::col || kind == Toponym::Kind::refuge;
}

// The heights of an accepted altimetry answer: exactly one number a point.
std::optional<std::vector<double>> elevations(const platform::HttpResult& result, std::size_t points)
{
    if (!result.response || result.response->status != kStatusOK)
        return std::nullopt;
    const auto json = nlohmann::json::parse(result.response->body, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    const auto found = json.find("elevations");
    if (found == json.end() || !found->is_array() || found->size() != points)
        return std::nullopt;
    std::vector<double> heights;
    for (const auto& value : *found) {
        if (!value.is_number())
            return std::nullopt;
        heights.push_back(value.get<double>());
    }
    return heights;
}

// Where a place falls in the zoom-13 tile grid: the tile and the fraction across it.
struct TilePosition {
    TerrainService::Key key;
    double fx;
    double fy;
};

TilePosition tilePosition(double latitude, double longitude)
{
    const double phi = std::clamp(latitude, -kMaxMercatorLatitudeDegrees, kMaxMercatorLatitudeDegrees)
        * std::numbers::pi / 180;
    // The east edge and the southern clamp land on the grid's far border: keep the last tile.
    const double tx = std::clamp((longitude + 180) / 360 * kTilesAcross, 0.0, kTilesAcross);
    const double ty = std::clamp((1 - std::log(std::tan(phi) + 1 / std::cos(phi)) / std::numbers::pi) / 2
            * kTilesAcross, 0.0, kTilesAcross);
    const int column = std::min(int(tx), int(kTilesAcross) - 1);
    const int row = std::min(int(ty), int(kTilesAcross) - 1);
    return {{SpotHeights::kTileZoom, column, row}, tx - column, ty - row};
}

} // namespace

SpotHeights::SpotHeights(ServiceHosts hosts, TileRelay* relay, platform::BlockingFetches& fetches)
    : hosts_(std::move(hosts))
    , relay_(relay)
    , fetches_(fetches)
{
}

std::vector<int> SpotHeights::altitudeOffsets(Toponym::Kind kind)
{
    if (kind == Toponym::Kind::summit)
        return {-1, 0, 1};
    if (takesHeight(kind))
        return {0};
    return {};
}

std::string SpotHeights::altimetryURL(std::span<const double> longitudes, std::span<const double> latitudes) const
{
    return hosts_.origin(hosts_.ignHost) + "/altimetrie/1.0/calcul/alti/rest/elevation.json?lon="
        + platform::percentEncode(pipeJoined(longitudes)) + "&lat=" + platform::percentEncode(pipeJoined(latitudes))
        + "&resource=ign_rge_alti_wld&zonly=true";
}

SpotHeights::Result SpotHeights::fetchAltitudes(std::vector<Toponym> toponyms) const
{
    Result result;
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < toponyms.size(); ++i) {
        const Toponym& toponym = toponyms[i];
        if (takesHeight(toponym.kind) && std::isfinite(toponym.latitude) && std::isfinite(toponym.longitude))
            selected.push_back(i);
    }
    askAltimetry(toponyms, selected, result.complete);
    sampleTerrarium(toponyms, selected, result.complete);
    result.toponyms = std::move(toponyms);
    return result;
}

void SpotHeights::askAltimetry(std::vector<Toponym>& toponyms, const std::vector<std::size_t>& selected,
    bool& complete) const
{
    for (std::size_t start = 0; start < selected.size(); start += kBatchPoints) {
        const std::size_t end = std::min(start + kBatchPoints, selected.size());
        std::vector<double> longitudes;
        std::vector<double> latitudes;
        for (std::size_t i = start; i < end; ++i) {
            longitudes.push_back(toponyms[selected[i]].longitude);
            latitudes.push_back(toponyms[selected[i]].latitude);
        }
        const auto heights = elevations(get(altimetryURL(longitudes, latitudes)), end - start);
        if (!heights) {
            complete = false;
            continue;
        }
        for (std::size_t i = start; i < end; ++i)
            if (isValid((*heights)[i - start]))
                toponyms[selected[i]].altitude = (*heights)[i - start];
    }
}

void SpotHeights::sampleTerrarium(std::vector<Toponym>& toponyms, const std::vector<std::size_t>& selected,
    bool& complete) const
{
    std::unordered_map<TerrainService::Key, ElevationGrid> tiles;
    // A tile that failed once is not asked again within the call.
    std::unordered_set<TerrainService::Key> failed;
    for (std::size_t index : selected) {
        Toponym& toponym = toponyms[index];
        if (toponym.altitude)
            continue;
        const TilePosition position = tilePosition(toponym.latitude, toponym.longitude);
        auto tile = tiles.find(position.key);
        if (tile == tiles.end() && !failed.contains(position.key)) {
            const std::string url = TerrainService::terrariumURL(hosts_, position.key);
            const auto answer = get(relay_ ? relay_->relayedURL(url) : url);
            std::optional<ElevationGrid> grid;
            if (answer.response && answer.response->status == kStatusOK) {
                const auto& body = answer.response->body;
                grid = TerrainService::decodeTerrarium(std::as_bytes(std::span(body.data(), body.size())));
            }
            if (grid) {
                tile = tiles.emplace(position.key, std::move(*grid)).first;
            } else {
                failed.insert(position.key);
                complete = false;
            }
        }
        if (tile == tiles.end())
            continue;
        const auto offsets = altitudeOffsets(toponym.kind);
        double highest = -std::numeric_limits<double>::infinity();
        for (int dx : offsets) {
            for (int dy : offsets) {
                const double sample = sampleHeight(tile->second, float(dx + position.fx * kElevationGridSide - 0.5),
                    float(dy + position.fy * kElevationGridSide - 0.5));
                highest = std::max(highest, sample);
            }
        }
        if (isValid(highest))
            toponym.altitude = highest;
    }
}

platform::HttpResult SpotHeights::get(const std::string& url) const
{
    auto request = platform::HttpRequest::get(url);
    request.overallTimeoutSeconds = kRequestTimeoutSeconds;
    return fetches_.fetch(std::move(request)).value_or(platform::HttpResult{});
}

} // namespace velorin
