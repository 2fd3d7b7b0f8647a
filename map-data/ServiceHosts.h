#pragma once

#include "map-data/GoogleClient.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Where the map's data comes from: the public providers' hosts (built in), the maker's
// tile relay with its access token, media host, account server and update feed (none by default: the
// features that need them are off), Google's sign-in endpoints and client, and the URL scheme. Tests point every host at a
// loopback server over plain http; the JSON file named by VELORIN_HOSTS overrides the
// built-in values on a user's machine. A plain value; any thread.
struct ServiceHosts {
    // A hosts file that cannot be used; the message is in French, for the log.
    class Invalid : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    static constexpr std::string_view kEnvironmentVariable = "VELORIN_HOSTS";

    // "https", or "http" for loopback servers in tests.
    std::string scheme = "https";
    // Hosts are authorities: a name or address, with a port where needed ("127.0.0.1:8080").
    // IGN Géoplateforme: WMTS, WMS, WFS and altimetry.
    std::string ignHost = "data.geopf.fr";
    std::string openTopoHost = "a.tile.opentopomap.org";
    std::string swisstopoHost = "wmts.geo.admin.ch";
    std::string spainHost = "www.ign.es";
    std::string austriaHost = "mapsneu.wien.gv.at";
    // The two world maps' raster tiles: OpenStreetMap's standard style and Sentinel-2
    // cloudless imagery. Never relayed.
    std::string osmTileHost = "tile.openstreetmap.org";
    std::string satelliteTileHost = "tiles.maps.eox.at";
    // The cloud storage serving the Terrarium elevation tiles.
    std::string terrariumHost = "s3.amazonaws.com";
    // The tile relay and its access token (32 lower-case hex digits) come together.
    std::optional<std::string> relayHost;
    std::optional<std::string> relayToken;
    std::optional<std::string> mediaHost;
    std::optional<std::string> accountHost;
    // Serves the update feed "/velorin/appcast.json"; none: no update check on this computer.
    std::optional<std::string> updateHost;
    // Google's OAuth 2.0 authorisation and token endpoints.
    std::string googleAccountsHost = "accounts.google.com";
    std::string googleTokenHost = "oauth2.googleapis.com";
    // The Desktop client of the Google sign-in and its secret, which Google wants in the code
    // exchange; built in from the configure-time values, empty when none was given: then
    // there is no Google sign-in.
    std::string googleClientId = kBuiltInGoogleClientId;
    std::string googleClientSecret = kBuiltInGoogleClientSecret;

    // The built-in values overridden by the file that VELORIN_HOSTS names, if any. A file
    // that cannot be used is logged and changes nothing.
    static ServiceHosts fromEnvironment();
    // The built-in values overridden by the keys of a JSON object (the field names above;
    // null clears an optional host). Throws `Invalid` for unreadable JSON, unknown keys,
    // values of the wrong type, malformed hosts, tokens or client values, or half a relay.
    static ServiceHosts fromFile(const std::filesystem::path& file);
    static ServiceHosts fromJSON(std::string_view text);

    // scheme + "://" + host.
    std::string origin(std::string_view host) const;
    // The providers whose tiles the relay mirrors.
    std::vector<std::string> relayedHosts() const;
    bool hasRelay() const { return relayHost.has_value() && relayToken.has_value(); }

    bool operator==(const ServiceHosts&) const = default;
};

} // namespace velorin
