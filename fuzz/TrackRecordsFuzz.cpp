// The track files: a line of the points file and a track's "meta.json". A point that reads
// has finite coordinates on the globe; a record that reads encodes and reads again to the
// same value, and a point line written in the stored form reads back through the fast path
// just as through the general parser.

#include "fuzz/FuzzCheck.h"
#include "platform/Uuid.h"
#include "recordings/JsonRecord.h"
#include "recordings/TrackMetadata.h"
#include "recordings/TrackPoint.h"

#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace velorin;

void checkPoint(std::string_view line)
{
    const auto point = decodeTrackPointLine(line);
    if (!point)
        return;
    FUZZ_CHECK(std::isfinite(point->latitude) && std::abs(point->latitude) <= 90);
    FUZZ_CHECK(std::isfinite(point->longitude) && std::abs(point->longitude) <= 180);
    FUZZ_CHECK(!point->altitude || std::isfinite(*point->altitude));
    FUZZ_CHECK(std::isfinite(point->horizontalAccuracy));

    const std::string encoded = json_record::encode(*point);
    FUZZ_CHECK(encoded.find('\n') == std::string::npos);
    const auto again = decodeTrackPointLine(encoded);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->latitude == point->latitude && again->longitude == point->longitude);
    FUZZ_CHECK(again->altitude == point->altitude && again->horizontalAccuracy == point->horizontalAccuracy);
    FUZZ_CHECK(again->mode == point->mode);
    // The stored form keeps whole seconds.
    FUZZ_CHECK(again->timestamp == std::chrono::floor<std::chrono::seconds>(point->timestamp));
    FUZZ_CHECK(json_record::decode<TrackPoint>(encoded) == again);
}

void checkMetadata(std::string_view text)
{
    const auto metadata = json_record::decode<TrackMetadata>(text);
    if (!metadata)
        return;
    FUZZ_CHECK(platform::isUuid(metadata->id));
    for (char c : metadata->id)
        FUZZ_CHECK(!std::islower(static_cast<unsigned char>(c)));

    // Names read from JSON are UTF-8 already, so nothing but the dates' fractions of a
    // second is lost.
    TrackMetadata stored = *metadata;
    stored.startedAt = std::chrono::floor<std::chrono::seconds>(stored.startedAt);
    if (stored.endedAt)
        stored.endedAt = std::chrono::floor<std::chrono::seconds>(*stored.endedAt);
    FUZZ_CHECK(json_record::decode<TrackMetadata>(json_record::encode(*metadata)) == stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkPoint(text);
    checkMetadata(text);
    return 0;
}
