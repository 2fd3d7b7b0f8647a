// GPX import over expat: every track a file gives holds only finite points on the globe
// with the imported accuracy, and each written back as GPX imports again as one track with
// the same points, to the precision the writer keeps, and times unknown again when they were.

#include "fuzz/FuzzCheck.h"
#include "recordings/GPXImporter.h"
#include "recordings/GPXWriter.h"

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace {

using namespace velorin;

// Half a unit of the writer's last digit, and a little for the conversions.
constexpr double kCoordinateTolerance = 5.1e-8;
constexpr double kAltitudeTolerance = 0.051;

bool close(double a, double b, double tolerance)
{
    return std::abs(a - b) <= tolerance * std::max(1.0, std::abs(a));
}

bool wholeSeconds(platform::SystemTime time)
{
    return time == std::chrono::floor<std::chrono::seconds>(time);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const platform::SystemTime baseDate{std::chrono::seconds(1'700'000'000)};
    const auto imported = GPXImporter::parse(std::as_bytes(std::span(data, size)), baseDate);
    FUZZ_CHECK(!imported.name || !imported.name->empty());
    for (const GPXImporter::FileTrack& read : imported.tracks) {
        FUZZ_CHECK(!read.points.empty());
        FUZZ_CHECK(!read.name || !read.name->empty());
        for (const TrackPoint& point : read.points) {
            FUZZ_CHECK(std::isfinite(point.latitude) && std::abs(point.latitude) <= 90);
            FUZZ_CHECK(std::isfinite(point.longitude) && std::abs(point.longitude) <= 180);
            FUZZ_CHECK(!point.altitude || std::isfinite(*point.altitude));
            FUZZ_CHECK(point.horizontalAccuracy == GPXImporter::kImportedAccuracyMeters && !point.mode);
            FUZZ_CHECK(!read.timesUnknown || point.timestamp == baseDate);
        }

        Track track;
        track.metadata.name = read.name.value_or("");
        track.metadata.startedAt = read.points.front().timestamp;
        track.metadata.timesUnknown = read.timesUnknown;
        track.points = read.points;
        const auto document = GPXWriter::data(track);
        const auto again = GPXImporter::parse(document, baseDate);
        FUZZ_CHECK(again.tracks.size() == 1 && again.tracks[0].points.size() == read.points.size());
        FUZZ_CHECK(again.tracks[0].timesUnknown == read.timesUnknown);
        for (std::size_t i = 0; i < read.points.size(); ++i) {
            const TrackPoint& before = read.points[i];
            const TrackPoint& after = again.tracks[0].points[i];
            FUZZ_CHECK(close(before.latitude, after.latitude, kCoordinateTolerance));
            FUZZ_CHECK(close(before.longitude, after.longitude, kCoordinateTolerance)
                || close(std::abs(before.longitude), 180, kCoordinateTolerance));
            FUZZ_CHECK(before.altitude.has_value() == after.altitude.has_value());
            FUZZ_CHECK(!before.altitude || close(*before.altitude, *after.altitude, kAltitudeTolerance));
            FUZZ_CHECK(!wholeSeconds(before.timestamp) || before.timestamp == after.timestamp);
        }
    }
    return 0;
}
