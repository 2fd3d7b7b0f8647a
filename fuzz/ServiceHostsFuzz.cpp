// The hosts file that VELORIN_HOSTS names: a JSON object overriding the built-in hosts. What
// it accepts holds only hosts a URL can take as they are, and written back as JSON it reads
// as the same hosts.

#include "fuzz/FuzzCheck.h"
#include "map-data/ServiceHosts.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using velorin::ServiceHosts;

namespace {

bool isPlainHost(std::string_view host)
{
    return !host.empty() && host.find_first_of("/?#@ \\%") == std::string_view::npos;
}

nlohmann::json optional(const std::optional<std::string>& value)
{
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json encode(const ServiceHosts& hosts)
{
    return {
        {"scheme", hosts.scheme},
        {"ignHost", hosts.ignHost},
        {"openTopoHost", hosts.openTopoHost},
        {"swisstopoHost", hosts.swisstopoHost},
        {"spainHost", hosts.spainHost},
        {"austriaHost", hosts.austriaHost},
        {"osmTileHost", hosts.osmTileHost},
        {"satelliteTileHost", hosts.satelliteTileHost},
        {"terrariumHost", hosts.terrariumHost},
        {"relayHost", optional(hosts.relayHost)},
        {"relayToken", optional(hosts.relayToken)},
        {"mediaHost", optional(hosts.mediaHost)},
        {"accountHost", optional(hosts.accountHost)},
        {"updateHost", optional(hosts.updateHost)},
        {"googleAccountsHost", hosts.googleAccountsHost},
        {"googleTokenHost", hosts.googleTokenHost},
        {"googleClientId", hosts.googleClientId},
        {"googleClientSecret", hosts.googleClientSecret},
    };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ServiceHosts hosts;
    try {
        hosts = ServiceHosts::fromJSON(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const ServiceHosts::Invalid&) {
        return 0;
    }
    FUZZ_CHECK(hosts.scheme == "https" || hosts.scheme == "http");
    FUZZ_CHECK(hosts.relayHost.has_value() == hosts.relayToken.has_value());
    for (const auto& host : hosts.relayedHosts())
        FUZZ_CHECK(isPlainHost(host));
    for (const auto* host : {&hosts.osmTileHost, &hosts.satelliteTileHost, &hosts.googleAccountsHost,
             &hosts.googleTokenHost})
        FUZZ_CHECK(isPlainHost(*host));
    for (const auto* host : {&hosts.relayHost, &hosts.mediaHost, &hosts.accountHost, &hosts.updateHost})
        FUZZ_CHECK(!*host || isPlainHost(**host));
    if (hosts.relayToken)
        FUZZ_CHECK(hosts.relayToken->size() == 32);
    FUZZ_CHECK(hosts.origin(hosts.ignHost) == hosts.scheme + "://" + hosts.ignHost);

    FUZZ_CHECK(ServiceHosts::fromJSON(encode(hosts).dump()) == hosts);
    return 0;
}
