#include "map-data/ZoneList.h"

#include "platform/JsonText.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace velorin {

std::optional<std::vector<RegionDownloader::Zone>> decodeZoneList(std::span<const std::byte> bytes)
{
    auto json = nlohmann::json::parse(
        reinterpret_cast<const char*>(bytes.data()), reinterpret_cast<const char*>(bytes.data()) + bytes.size(), nullptr,
        false);
    if (!json.is_array())
        return std::nullopt;
    std::vector<RegionDownloader::Zone> zones;
    for (const auto& item : json) {
        if (!item.is_object() || !item.contains("id") || !item["id"].is_string() || !item.contains("name")
            || !item["name"].is_string() || !item.contains("sheetNames") || !item["sheetNames"].is_array()
            || !item.contains("createdAt") || !item["createdAt"].is_number())
            return std::nullopt;
        RegionDownloader::Zone zone;
        zone.id = item["id"].get<std::string>();
        zone.name = item["name"].get<std::string>();
        zone.createdAt = item["createdAt"].get<double>();
        if (!std::isfinite(zone.createdAt))
            return std::nullopt;
        for (const auto& name : item["sheetNames"]) {
            if (!name.is_string())
                return std::nullopt;
            zone.sheetNames.push_back(name.get<std::string>());
        }
        zones.push_back(std::move(zone));
    }
    return zones;
}

std::string encodeZoneList(const std::vector<RegionDownloader::Zone>& zones)
{
    auto json = nlohmann::json::array();
    for (const auto& zone : zones)
        json.push_back({ { "id", zone.id }, { "name", zone.name }, { "sheetNames", zone.sheetNames },
            { "createdAt", zone.createdAt } });
    return platform::jsonText(json);
}

} // namespace velorin
