// The feature service's side of the place names: the GetFeature requests of a cell, the
// GeoJSON they answer, the spot heights and the disk cache.

#include "features/PlaceSuggestionText.h"
#include "features/ToponymService.h"

#include "platform/JsonText.h"
#include "platform/Log.h"
#include "platform/NumberFormat.h"
#include "platform/PercentEncoding.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace velorin {

namespace {

constexpr int kStatusOK = 200;
constexpr int kBoxDecimals = 6;
constexpr std::string_view kBadServerResponse = "réponse incorrecte du serveur";

double latitudeOfRow(double row)
{
    return std::atan(std::sinh(std::numbers::pi * (1 - 2 * row / ToponymService::kCellsAcross))) * 180
        / std::numbers::pi;
}

double longitudeOfColumn(double column)
{
    return column / ToponymService::kCellsAcross * 360 - 180;
}

bool isPosition(const nlohmann::json& array)
{
    return array.size() >= 2 && std::all_of(array.begin(), array.end(), [](const auto& v) { return v.is_number(); });
}

// Every position below `coordinates`, walked to kMaxAnchorDepth levels.
void collectPositions(const nlohmann::json& coordinates, int depth, std::vector<std::pair<double, double>>& positions)
{
    if (!coordinates.is_array() || depth > ToponymService::kMaxAnchorDepth)
        return;
    if (isPosition(coordinates)) {
        const double longitude = coordinates[0].get<double>();
        const double latitude = coordinates[1].get<double>();
        if (std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90
            && std::abs(longitude) <= 180)
            positions.emplace_back(latitude, longitude);
        return;
    }
    for (const auto& element : coordinates)
        collectPositions(element, depth + 1, positions);
}

// A decimal integer with an optional sign, within 64 bits; kUnknownImportance otherwise.
std::int64_t importanceOf(const nlohmann::json& properties)
{
    const auto found = properties.find("importance");
    if (found == properties.end() || !found->is_string())
        return ToponymService::kUnknownImportance;
    std::string_view text = found->get_ref<const std::string&>();
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return ToponymService::kUnknownImportance;
    const std::string digits = (negative ? "-" : "") + std::string(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size())
        return ToponymService::kUnknownImportance;
    return value;
}

const std::string* stringMember(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? &found->get_ref<const std::string&>() : nullptr;
}

// The names of an answer; nothing when it holds no readable list of features.
std::optional<std::vector<Toponym>> parseLayer(std::string_view body)
{
    const auto json = nlohmann::json::parse(body, nullptr, false);
    if (!json.is_object())
        return std::nullopt;
    const auto features = json.find("features");
    if (features == json.end() || !features->is_array()
        || !std::all_of(features->begin(), features->end(), [](const auto& f) { return f.is_object(); }))
        return std::nullopt;
    std::vector<Toponym> toponyms;
    for (const auto& feature : *features)
        if (auto toponym = ToponymService::parseFeature(feature))
            toponyms.push_back(std::move(*toponym));
    return toponyms;
}

} // namespace

const std::array<ToponymService::Layer, 4>& ToponymService::layers()
{
    static const std::array<Layer, 4> table{{
        {"detail_orographique", {"Sommet", "Pic", "Col", "Montagne", "Cr\u00eate", "Rochers"}},
        {"zone_d_activite_ou_d_interet", {"Refuge", "Abri de montagne", "Point de vue"}},
        {"lieu_dit_non_habite", {"Lieu-dit non habit\u00e9"}},
        {"zone_d_habitation", {"Lieu-dit habit\u00e9"}},
    }};
    return table;
}

std::optional<std::string> ToponymService::featureRequest(const Layer& layer, const Cell& cell) const
{
    if (layer.natures.empty())
        return std::nullopt;
    const double west = longitudeOfColumn(cell.x);
    const double east = longitudeOfColumn(cell.x + 1);
    const double north = latitudeOfRow(cell.y);
    const double south = latitudeOfRow(cell.y + 1);
    const std::string box = fmt::format("BBOX(geometrie,{},{},{},{},'EPSG:4326')", platform::cNumber(west, kBoxDecimals),
        platform::cNumber(south, kBoxDecimals), platform::cNumber(east, kBoxDecimals),
        platform::cNumber(north, kBoxDecimals));
    std::string natures;
    for (std::string_view nature : layer.natures)
        natures += (natures.empty() ? "'" : ",'") + std::string(nature) + "'";
    const platform::QueryItem items[] = {
        {"SERVICE", "WFS"},
        {"VERSION", "2.0.0"},
        {"REQUEST", "GetFeature"},
        {"TYPENAMES", "BDTOPO_V3:" + std::string(layer.name)},
        {"CQL_FILTER", box + " AND nature IN (" + natures + ")"},
        {"PROPERTYNAME", "nature,toponyme,importance,geometrie"},
        {"COUNT", std::to_string(kFeatureCount)},
        {"SORTBY", "importance"},
        {"OUTPUTFORMAT", "application/json"},
    };
    return hosts_.origin(hosts_.ignHost) + "/wfs/ows" + platform::queryString(items);
}

ToponymService::Fetched ToponymService::fetch(const Cell& cell) const
{
    std::vector<Toponym> found;
    // Where each id stands in `found`: a later feature of the same id takes its place.
    std::unordered_map<std::string, std::size_t> positions;
    bool answered = false;
    bool complete = true;
    std::optional<platform::HttpError> lastError;
    for (const Layer& layer : layers()) {
        const auto url = featureRequest(layer, cell);
        if (!url)
            continue;
        auto request = platform::HttpRequest::get(*url);
        request.overallTimeoutSeconds = kLayerTimeoutSeconds;
        const auto result = fetches_.fetch(std::move(request));
        if (!result || !result->response || result->response->status != kStatusOK) {
            complete = false;
            if (result && result->error)
                lastError = result->error;
            continue;
        }
        answered = true;
        auto toponyms = parseLayer(result->response->body);
        if (!toponyms)
            complete = false;
        for (Toponym& toponym : toponyms.value_or(std::vector<Toponym>{})) {
            const auto [at, inserted] = positions.try_emplace(toponym.id, found.size());
            if (inserted)
                found.push_back(std::move(toponym));
            else
                found[at->second] = std::move(toponym);
        }
    }
    if (!answered) {
        Fetched failed;
        failed.error = lastError.value_or(platform::HttpError{platform::HttpErrorKind::badResponse,
            std::string(kBadServerResponse)});
        return failed;
    }
    SpotHeights::Result heights = spotHeights_.fetchAltitudes(std::move(found));
    return {std::move(heights.toponyms), complete, heights.complete, std::nullopt};
}

std::vector<Toponym> ToponymService::parseFeatures(std::string_view body)
{
    return parseLayer(body).value_or(std::vector<Toponym>{});
}

std::optional<Toponym> ToponymService::parseFeature(const nlohmann::json& feature)
{
    if (!feature.is_object())
        return std::nullopt;
    const auto properties = feature.find("properties");
    if (properties == feature.end() || !properties->is_object())
        return std::nullopt;
    const std::string* nature = stringMember(*properties, "nature");
    const auto kind = nature ? Toponym::kindFromNature(*nature) : std::nullopt;
    const std::string* rawName = stringMember(*properties, "toponyme");
    if (!kind || !rawName)
        return std::nullopt;
    std::string name = PlaceSuggestionText::trimmed(*rawName);
    if (name.empty())
        return std::nullopt;
    const auto geometry = feature.find("geometry");
    if (geometry == feature.end())
        return std::nullopt;
    const auto position = anchor(*geometry);
    if (!position)
        return std::nullopt;
    Toponym toponym;
    toponym.latitude = position->first;
    toponym.longitude = position->second;
    if (const std::string* id = stringMember(feature, "id"))
        toponym.id = *id;
    else
        toponym.id = name + "|" + platform::cNumberShortest(toponym.latitude) + "|"
            + platform::cNumberShortest(toponym.longitude);
    toponym.name = std::move(name);
    toponym.kind = *kind;
    toponym.importance = importanceOf(*properties);
    return toponym;
}

std::optional<std::pair<double, double>> ToponymService::anchor(const nlohmann::json& geometry)
{
    if (!geometry.is_object())
        return std::nullopt;
    const auto coordinates = geometry.find("coordinates");
    if (coordinates == geometry.end())
        return std::nullopt;
    std::vector<std::pair<double, double>> positions;
    collectPositions(*coordinates, 0, positions);
    if (positions.empty())
        return std::nullopt;
    const auto [south, north] = std::minmax_element(positions.begin(), positions.end(),
        [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto [west, east] = std::minmax_element(positions.begin(), positions.end(),
        [](const auto& a, const auto& b) { return a.second < b.second; });
    return std::pair{(south->first + north->first) / 2, (west->second + east->second) / 2};
}

std::string ToponymService::cacheKey(int x, int y)
{
    return fmt::format("toponyms/v4/{}_{}.json", x, y);
}

std::optional<std::vector<Toponym>> ToponymService::cachedToponyms(int x, int y) const
{
    const auto file = store_->read(cacheKey(x, y));
    if (!file)
        return std::nullopt;
    const auto bytes = file->bytes();
    const auto* text = reinterpret_cast<const char*>(bytes.data());
    const auto json = nlohmann::json::parse(text, text + bytes.size(), nullptr, false);
    if (!json.is_array())
        return std::nullopt;
    try {
        return json.get<std::vector<Toponym>>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::string ToponymService::heightsPendingKey(int x, int y)
{
    return fmt::format("toponyms/v4/{}_{}.heights", x, y);
}

void ToponymService::cacheFetched(const Cell& cell, const Fetched& fetched) const
{
    // A cell that some layer did not answer is asked for again at the next load.
    if (!fetched.complete)
        return;
    writeCache(cell, fetched.toponyms);
    if (!fetched.heightsComplete)
        store_->write({}, heightsPendingKey(cell.x, cell.y), false);
}

SpotHeights::Result ToponymService::completeHeights(const Cell& cell, std::vector<Toponym> cached) const
{
    std::vector<std::size_t> missing;
    std::vector<Toponym> asked;
    for (std::size_t i = 0; i < cached.size(); ++i) {
        if (!cached[i].altitude && !SpotHeights::altitudeOffsets(cached[i].kind).empty()) {
            missing.push_back(i);
            asked.push_back(cached[i]);
        }
    }
    SpotHeights::Result heights = spotHeights_.fetchAltitudes(std::move(asked));
    if (stopping_)
        return {std::move(cached), false};
    bool found = false;
    for (std::size_t k = 0; k < missing.size(); ++k) {
        if (heights.toponyms[k].altitude) {
            cached[missing[k]].altitude = heights.toponyms[k].altitude;
            found = true;
        }
    }
    if (found)
        writeCache(cell, cached);
    if (heights.complete)
        store_->removeCached(heightsPendingKey(cell.x, cell.y));
    return {std::move(cached), heights.complete};
}

void ToponymService::writeCache(const Cell& cell, const std::vector<Toponym>& toponyms) const
{
    std::string text;
    try {
        text = platform::jsonText(nlohmann::ordered_json(toponyms));
    } catch (const std::exception& error) {
        platform::Log::warning(platform::logcat::toponyms, "cellule {}/{} : cache non écrit : {}", cell.x, cell.y,
            error.what());
        return;
    }
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    store_->write({bytes.begin(), bytes.end()}, cacheKey(cell.x, cell.y), false);
}

} // namespace velorin
