// The feature service's GeoJSON answer: every name it gives is trimmed and not empty, with a
// kind, an id and an anchor on the globe, and goes through the cell cache's JSON and back
// unchanged.

#include "features/ToponymService.h"
#include "fuzz/FuzzCheck.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velorin;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const std::vector<Toponym> toponyms = ToponymService::parseFeatures(body);
    for (const Toponym& toponym : toponyms) {
        FUZZ_CHECK(!toponym.name.empty() && !toponym.id.empty());
        FUZZ_CHECK(!std::isspace(static_cast<unsigned char>(toponym.name.front()))
            && !std::isspace(static_cast<unsigned char>(toponym.name.back())));
        FUZZ_CHECK(std::isfinite(toponym.latitude) && std::abs(toponym.latitude) <= 90);
        FUZZ_CHECK(std::isfinite(toponym.longitude) && std::abs(toponym.longitude) <= 180);
        FUZZ_CHECK(!toponym.altitude);
    }
    const std::string cached = nlohmann::ordered_json(toponyms).dump();
    const auto json = nlohmann::json::parse(cached, nullptr, false);
    FUZZ_CHECK(json.is_array());
    FUZZ_CHECK(json.get<std::vector<Toponym>>() == toponyms);
    return 0;
}
