#include "features/Toponym.h"

#include <utf8proc.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

namespace velorin {

namespace {

// The natures of the national topographic database that the map labels, in composed form.
constexpr std::array<std::pair<std::string_view, Toponym::Kind>, 11> kNatures{{
    {"Sommet", Toponym::Kind::summit},
    {"Pic", Toponym::Kind::summit},
    {"Montagne", Toponym::Kind::place},
    {"Col", Toponym::Kind::col},
    {"Cr\u00eate", Toponym::Kind::ridge},
    {"Rochers", Toponym::Kind::ridge},
    {"Refuge", Toponym::Kind::refuge},
    {"Abri de montagne", Toponym::Kind::refuge},
    {"Point de vue", Toponym::Kind::viewpoint},
    {"Lieu-dit non habit\u00e9", Toponym::Kind::place},
    {"Lieu-dit habit\u00e9", Toponym::Kind::place},
}};

std::optional<Toponym::Kind> natureKind(std::string_view text)
{
    for (const auto& [nature, kind] : kNatures)
        if (nature == text)
            return kind;
    return std::nullopt;
}

// The canonical composition of UTF-8 text; nothing for text that is not UTF-8.
std::optional<std::string> composed(std::string_view text)
{
    const std::string terminated(text);
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> result(
        utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(terminated.c_str())), &std::free);
    if (!result || terminated.find('\0') != std::string::npos)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(result.get()));
}

bool takesAltitude(Toponym::Kind kind)
{
    return kind == Toponym::Kind::summit || kind == Toponym::Kind::col || kind == Toponym::Kind::refuge;
}

void requireFinite(double value, const char* key)
{
    if (!std::isfinite(value))
        throw std::domain_error(std::string(key) + " is not a finite number");
}

const nlohmann::json& number(const nlohmann::json& json, const char* key)
{
    const auto& value = json.at(key);
    if (!value.is_number())
        throw nlohmann::json::type_error::create(302, std::string(key) + " is not a number", &json);
    return value;
}

} // namespace

std::string_view Toponym::rawValue(Kind kind)
{
    switch (kind) {
    case Kind::summit:
        return "summit";
    case Kind::col:
        return "col";
    case Kind::ridge:
        return "ridge";
    case Kind::refuge:
        return "refuge";
    case Kind::viewpoint:
        return "viewpoint";
    case Kind::place:
        return "place";
    }
    return "place";
}

std::optional<Toponym::Kind> Toponym::kindFromRawValue(std::string_view text)
{
    for (Kind kind : kinds)
        if (rawValue(kind) == text)
            return kind;
    return std::nullopt;
}

std::optional<Toponym::Kind> Toponym::kindFromNature(std::string_view nature)
{
    if (auto kind = natureKind(nature))
        return kind;
    // Only text beyond ASCII can have another canonical form.
    if (std::all_of(nature.begin(), nature.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::nullopt;
    const auto text = composed(nature);
    return text ? natureKind(*text) : std::nullopt;
}

std::string Toponym::labelText() const
{
    if (!altitude || !takesAltitude(kind))
        return name;
    return fmt::format("{} {} m", name, static_cast<long long>(std::round(*altitude)));
}

void to_json(nlohmann::ordered_json& json, const Toponym& toponym)
{
    // Checked before the object is built, so that nothing half made is left behind.
    requireFinite(toponym.latitude, "latitude");
    requireFinite(toponym.longitude, "longitude");
    requireFinite(toponym.altitude.value_or(0), "altitude");
    json = nlohmann::ordered_json::object();
    json["id"] = toponym.id;
    json["name"] = toponym.name;
    json["kind"] = std::string(Toponym::rawValue(toponym.kind));
    json["latitude"] = toponym.latitude;
    json["longitude"] = toponym.longitude;
    json["importance"] = toponym.importance;
    if (toponym.altitude)
        json["altitude"] = *toponym.altitude;
}

void from_json(const nlohmann::json& json, Toponym& toponym)
{
    if (!json.is_object())
        throw nlohmann::json::type_error::create(302, "a toponym is an object", &json);
    Toponym decoded;
    decoded.id = json.at("id").get<std::string>();
    decoded.name = json.at("name").get<std::string>();
    const auto kind = Toponym::kindFromRawValue(json.at("kind").get_ref<const std::string&>());
    if (!kind)
        throw nlohmann::json::other_error::create(501, "unknown kind", &json);
    decoded.kind = *kind;
    decoded.latitude = number(json, "latitude").get<double>();
    decoded.longitude = number(json, "longitude").get<double>();
    const auto& importance = json.at("importance");
    if (!importance.is_number_integer()
        || (importance.is_number_unsigned() && importance.get<uint64_t>() > uint64_t(INT64_MAX)))
        throw nlohmann::json::type_error::create(302, "importance is not an integer", &json);
    decoded.importance = importance.get<int64_t>();
    if (auto found = json.find("altitude"); found != json.end() && !found->is_null())
        decoded.altitude = number(json, "altitude").get<double>();
    toponym = std::move(decoded);
}

} // namespace velorin
