// The offline zones' list file "zones.json": a list that decodes encodes again to a file
// that decodes to the same zones.

#include "fuzz/FuzzCheck.h"
#include "map-data/ZoneList.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto zones = velorin::decodeZoneList(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (!zones)
        return 0;
    for (const auto& zone : *zones)
        FUZZ_CHECK(std::isfinite(zone.createdAt));
    const auto text = velorin::encodeZoneList(*zones);
    const auto again = velorin::decodeZoneList(std::as_bytes(std::span(text)));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *zones);
    return 0;
}
