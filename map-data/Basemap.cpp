#include "map-data/Basemap.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace velorin {

namespace {

struct Description {
    std::string_view rawValue;
    std::string_view title;
    std::string_view symbolName;
    int minLevel;
    int maxLevel;
    // Source pixels that cover 256 screen points at the tile's own level: photographic
    // sources use 128 so that they are requested one level finer. 0 for the sheet layer,
    // whose levels do not follow the screen scale.
    double tilePixelFactor;
    double zoomCeiling;
    bool isPhoto;
    bool isApple;
    std::optional<std::string_view> attribution;
};

constexpr std::string_view kIgnCredit = "© IGN — Géoplateforme";

// In case order.
const std::array<Description, Basemap::kCaseCount> kDescriptions { {
    { "top25", "Cartes IGN TOP25", "map", 5, 10, 0, 17.5, false, false, std::nullopt },
    { "planIGN", "Plan IGN", "map.fill", 2, 19, 256, 19, false, false, kIgnCredit },
    { "orthophoto", "Photo aérienne", "photo", 2, 19, 128, 19, true, false,
        "© IGN — Géoplateforme ; aux frontières, PNOA cedido por © Instituto Geográfico Nacional, "
        "© swisstopo, © basemap.at" },
    { "openTopo", "OpenTopoMap", "mountain.2", 2, 17, 256, 17, false, false,
        "© OpenTopoMap (CC-BY-SA) — données OpenStreetMap" },
    { "slopes", "Carte des pentes", "angle", 2, 17, 256, 17, false, false, kIgnCredit },
    // The two world maps keep their stored names; the map view that draws them shows
    // OpenStreetMap and the Sentinel-2 mosaic.
    { "applePlan", "OpenStreetMap", "globe.europe.africa", 2, 20, 256, 20, false, true,
        "© les contributeurs d'OpenStreetMap" },
    { "appleSatellite", "Satellite Sentinel-2", "globe.europe.africa.fill", 2, 20, 256, 20, true, true,
        "Sentinel-2 cloudless – s2maps.eu by EOX IT Services GmbH (Contains modified Copernicus Sentinel data 2016)" },
    { "swissImage", "Photo aérienne Suisse", "photo.artframe", 8, 20, 128, 20, true, false,
        "© swisstopo ; hors de Suisse, © IGN — Géoplateforme" },
    { "spainImage", "Photo aérienne Espagne", "photo.on.rectangle", 2, 20, 128, 20, true, false,
        "PNOA cedido por © Instituto Geográfico Nacional ; en France, © IGN — Géoplateforme" },
    { "austriaImage", "Photo aérienne Autriche", "photo.stack", 2, 19, 128, 19, true, false,
        "© basemap.at ; hors d'Autriche, © IGN — Géoplateforme" },
} };

const Description& describe(Basemap basemap)
{
    return kDescriptions[static_cast<std::size_t>(basemap.index())];
}

} // namespace

const std::array<Basemap, Basemap::kCaseCount> Basemap::allCases { top25, planIGN, orthophoto, openTopo,
    slopes, applePlan, appleSatellite, swissImage, spainImage, austriaImage };

const std::array<Basemap, 8> Basemap::selectable { planIGN, orthophoto, openTopo, applePlan,
    appleSatellite, swissImage, spainImage, austriaImage };

std::optional<Basemap> Basemap::fromRawValue(std::string_view rawValue)
{
    for (auto basemap : allCases) {
        if (describe(basemap).rawValue == rawValue)
            return basemap;
    }
    return std::nullopt;
}

std::optional<Basemap> Basemap::fromIndex(int64_t index)
{
    if (index < 0 || index >= static_cast<int64_t>(kCaseCount))
        return std::nullopt;
    return allCases[static_cast<std::size_t>(index)];
}

std::string_view Basemap::rawValue() const { return describe(*this).rawValue; }
std::string_view Basemap::title() const { return describe(*this).title; }
std::string_view Basemap::symbolName() const { return describe(*this).symbolName; }
std::optional<std::string_view> Basemap::attribution() const { return describe(*this).attribution; }
bool Basemap::isPhoto() const { return describe(*this).isPhoto; }
bool Basemap::isApple() const { return describe(*this).isApple; }
int Basemap::minLevel() const { return describe(*this).minLevel; }
int Basemap::maxLevel() const { return describe(*this).maxLevel; }

double Basemap::scaleOffset(double scale) const
{
    const double factor = describe(*this).tilePixelFactor;
    if (factor == 0 || !(scale > 0))
        return 0;
    return std::log2(scale * factor / 256.0);
}

int Basemap::tileLevel(double zoom, double scale) const
{
    // Clamped while still a double, so a zoom that is not finite gives a level in range
    // instead of an undefined conversion.
    const double level = std::round(zoom - scaleOffset(scale));
    if (!(level >= minLevel()))
        return minLevel();
    return static_cast<int>(std::min(level, static_cast<double>(maxLevel())));
}

double Basemap::maxCameraZoom(double scale) const
{
    return scaleOffset(scale) + describe(*this).zoomCeiling;
}

} // namespace velorin

velorin::Basemap nlohmann::adl_serializer<velorin::Basemap>::from_json(const nlohmann::json& json)
{
    const auto& rawValue = json.get_ref<const std::string&>();
    auto decoded = velorin::Basemap::fromRawValue(rawValue);
    if (!decoded)
        throw nlohmann::json::type_error::create(302, "unknown basemap \"" + rawValue + "\"", &json);
    return *decoded;
}

void nlohmann::adl_serializer<velorin::Basemap>::to_json(nlohmann::json& json, velorin::Basemap basemap)
{
    json = std::string(basemap.rawValue());
}

velorin::Basemap::Case nlohmann::adl_serializer<velorin::Basemap::Case>::from_json(const nlohmann::json& json)
{
    return adl_serializer<velorin::Basemap>::from_json(json);
}

void nlohmann::adl_serializer<velorin::Basemap::Case>::to_json(nlohmann::json& json, velorin::Basemap::Case basemap)
{
    adl_serializer<velorin::Basemap>::to_json(json, basemap);
}
