#include "map-data/ServiceHosts.h"

#include "platform/Log.h"
#include "platform/MappedFile.h"

#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>

namespace velorin {

namespace {

constexpr std::size_t kRelayTokenLength = 32;

bool isValidHost(std::string_view host)
{
    // A name or an address with an optional port; anything that would change the
    // meaning of a URL (a path, a query, user information, spaces) is refused.
    return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
            || c == ':' || c == '[' || c == ']';
    });
}

bool isValidToken(std::string_view token)
{
    return token.size() == kRelayTokenLength && std::all_of(token.begin(), token.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

// Google's client identifiers and secrets: letters, digits and "-._~", nothing a URL or a
// form would have to escape.
bool isValidClientValue(std::string_view value)
{
    return std::all_of(value.begin(), value.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
            || c == '_' || c == '~';
    });
}

std::string readClientValue(const nlohmann::json& value, std::string_view key)
{
    if (!value.is_string() || !isValidClientValue(value.get<std::string>()))
        throw ServiceHosts::Invalid(fmt::format("« {} » doit être une chaîne de lettres, chiffres et « -._~ »", key));
    return value.get<std::string>();
}

std::string readHost(const nlohmann::json& value, std::string_view key)
{
    if (!value.is_string())
        throw ServiceHosts::Invalid(fmt::format("« {} » doit être une chaîne", key));
    auto host = value.get<std::string>();
    if (!isValidHost(host))
        throw ServiceHosts::Invalid(fmt::format("hôte « {} » invalide pour « {} »", host, key));
    return host;
}

std::optional<std::string> readOptionalHost(const nlohmann::json& value, std::string_view key)
{
    if (value.is_null())
        return std::nullopt;
    return readHost(value, key);
}

} // namespace

ServiceHosts ServiceHosts::fromJSON(std::string_view text)
{
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded())
        throw Invalid("JSON illisible");
    if (!json.is_object())
        throw Invalid("un objet JSON est attendu");

    ServiceHosts hosts;
    for (const auto& [key, value] : json.items()) {
        if (key == "scheme") {
            if (!value.is_string() || (value != "https" && value != "http"))
                throw Invalid("« scheme » doit valoir \"https\" ou \"http\"");
            hosts.scheme = value.get<std::string>();
        } else if (key == "ignHost") {
            hosts.ignHost = readHost(value, key);
        } else if (key == "openTopoHost") {
            hosts.openTopoHost = readHost(value, key);
        } else if (key == "swisstopoHost") {
            hosts.swisstopoHost = readHost(value, key);
        } else if (key == "spainHost") {
            hosts.spainHost = readHost(value, key);
        } else if (key == "austriaHost") {
            hosts.austriaHost = readHost(value, key);
        } else if (key == "osmTileHost") {
            hosts.osmTileHost = readHost(value, key);
        } else if (key == "satelliteTileHost") {
            hosts.satelliteTileHost = readHost(value, key);
        } else if (key == "terrariumHost") {
            hosts.terrariumHost = readHost(value, key);
        } else if (key == "relayHost") {
            hosts.relayHost = readOptionalHost(value, key);
        } else if (key == "relayToken") {
            if (value.is_null()) {
                hosts.relayToken.reset();
            } else if (!value.is_string() || !isValidToken(value.get<std::string>())) {
                throw Invalid("« relayToken » doit faire 32 chiffres hexadécimaux en minuscules");
            } else {
                hosts.relayToken = value.get<std::string>();
            }
        } else if (key == "mediaHost") {
            hosts.mediaHost = readOptionalHost(value, key);
        } else if (key == "accountHost") {
            hosts.accountHost = readOptionalHost(value, key);
        } else if (key == "updateHost") {
            hosts.updateHost = readOptionalHost(value, key);
        } else if (key == "googleAccountsHost") {
            hosts.googleAccountsHost = readHost(value, key);
        } else if (key == "googleTokenHost") {
            hosts.googleTokenHost = readHost(value, key);
        } else if (key == "googleClientId") {
            hosts.googleClientId = readClientValue(value, key);
        } else if (key == "googleClientSecret") {
            hosts.googleClientSecret = readClientValue(value, key);
        } else {
            throw Invalid(fmt::format("clé « {} » inconnue", key));
        }
    }
    if (hosts.relayHost.has_value() != hosts.relayToken.has_value())
        throw Invalid("« relayHost » et « relayToken » vont ensemble");
    return hosts;
}

ServiceHosts ServiceHosts::fromFile(const std::filesystem::path& file)
{
    auto mapped = platform::MappedFile::open(file);
    if (!mapped)
        throw Invalid(fmt::format("{} : fichier introuvable ou illisible", file.string()));
    auto bytes = mapped->bytes();
    try {
        return fromJSON(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const Invalid& invalid) {
        throw Invalid(fmt::format("{} : {}", file.string(), invalid.what()));
    }
}

ServiceHosts ServiceHosts::fromEnvironment()
{
    const char* file = std::getenv(std::string(kEnvironmentVariable).c_str());
    if (!file || !*file)
        return {};
    try {
        return fromFile(file);
    } catch (const Invalid& invalid) {
        platform::Log::error(platform::logcat::defaults, "hôtes de {} ignorés, valeurs intégrées conservées : {}",
            kEnvironmentVariable, invalid.what());
        return {};
    }
}

std::string ServiceHosts::origin(std::string_view host) const
{
    return fmt::format("{}://{}", scheme, host);
}

std::vector<std::string> ServiceHosts::relayedHosts() const
{
    return { ignHost, openTopoHost, swisstopoHost, spainHost, austriaHost, terrariumHost };
}

} // namespace velorin
