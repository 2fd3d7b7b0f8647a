#include "recordings/GPXWriter.h"

#include "platform/AtomicWrite.h"
#include "platform/NumberFormat.h"
#include "platform/Unicode.h"

#include <fmt/format.h>

#include <cmath>

namespace velorin {

namespace {

constexpr std::string_view kNamespace = "http://www.topografix.com/GPX/1/1";
constexpr std::string_view kFallbackStem = "trajet";
// NAME_MAX (255) less ".gpx" and the suffix of the temporary file written beside it.
constexpr std::size_t kMaximumStemBytes = 200;

// What XML 1.0 allows in text: no control characters but tab, line feed and carriage
// return, no U+FFFE or U+FFFF; bytes that are not UTF-8 have become U+FFFD.
std::string xmlCharacters(std::string_view text)
{
    std::u32string kept;
    for (char32_t c : platform::decodeUtf8(text)) {
        const bool control = c < 0x20 && c != '\t' && c != '\n' && c != '\r';
        if (!control && c != 0xFFFE && c != 0xFFFF)
            kept += c;
    }
    return platform::encodeUtf8(kept);
}

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string coordinate(double degrees)
{
    return platform::cNumber(degrees, 7);
}

// The schema's longitudes stop short of +180°; the same meridian is written as −180°.
std::string longitude(double degrees)
{
    std::string text = coordinate(degrees);
    return text == "180.0000000" ? "-180.0000000" : text;
}

bool writable(const TrackPoint& point)
{
    return std::isfinite(point.latitude) && std::isfinite(point.longitude) && std::abs(point.latitude) <= 90
        && std::abs(point.longitude) <= 180;
}

} // namespace

std::string GPXWriter::document(const Track& track)
{
    const std::string name = escaped(xmlCharacters(track.metadata.name));
    std::string gpx;
    gpx.reserve(256 + track.points.size() * 110);
    gpx += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    gpx += fmt::format("<gpx version=\"1.1\" creator=\"Velorin\" xmlns=\"{}\">\n", kNamespace);
    gpx += "  <metadata>\n";
    gpx += fmt::format("    <name>{}</name>\n", name);
    // A track whose times are unknown carries the import's date, which no file should claim.
    const bool timed = !track.metadata.timesUnknown;
    if (timed)
        gpx += fmt::format("    <time>{}</time>\n", platform::formatIso8601(track.metadata.startedAt));
    gpx += "  </metadata>\n";
    gpx += "  <trk>\n";
    gpx += fmt::format("    <name>{}</name>\n", name);
    gpx += "    <trkseg>\n";
    for (const TrackPoint& point : track.points) {
        if (!writable(point))
            continue;
        gpx += fmt::format("      <trkpt lat=\"{}\" lon=\"{}\">\n", coordinate(point.latitude), longitude(point.longitude));
        if (point.altitude && std::isfinite(*point.altitude))
            gpx += fmt::format("        <ele>{}</ele>\n", platform::cNumber(*point.altitude, 1));
        if (timed)
            gpx += fmt::format("        <time>{}</time>\n", platform::formatIso8601(point.timestamp));
        gpx += "      </trkpt>\n";
    }
    gpx += "    </trkseg>\n";
    gpx += "  </trk>\n";
    gpx += "</gpx>\n";
    return gpx;
}

std::vector<std::byte> GPXWriter::data(const Track& track)
{
    const std::string text = document(track);
    const auto bytes = std::as_bytes(std::span(text.data(), text.size()));
    return {bytes.begin(), bytes.end()};
}

std::string GPXWriter::fileName(const Track& track)
{
    const std::string name = xmlCharacters(track.metadata.name);
    std::vector<std::string_view> pieces;
    for (const auto& cluster : platform::textClusters(name))
        pieces.push_back(cluster.isLetterOrNumber ? cluster.text : std::string_view("-"));

    auto trimDashes = [&](std::size_t& begin, std::size_t& end) {
        while (begin < end && pieces[begin] == "-")
            ++begin;
        while (end > begin && pieces[end - 1] == "-")
            --end;
    };
    std::size_t begin = 0;
    std::size_t end = pieces.size();
    trimDashes(begin, end);
    // Whole characters only, so a cut never splits one.
    std::size_t bytes = 0;
    std::size_t fits = begin;
    while (fits < end && bytes + pieces[fits].size() <= kMaximumStemBytes)
        bytes += pieces[fits++].size();
    end = fits;
    trimDashes(begin, end);

    std::string stem;
    for (std::size_t i = begin; i < end; ++i)
        stem += pieces[i];
    if (stem.empty())
        stem = kFallbackStem;
    return stem + ".gpx";
}

std::filesystem::path gpxExportFolder(const platform::Folders& folders)
{
    return folders.cache / "VelorinExports";
}

std::optional<std::filesystem::path> exportGPXFile(const Track& track, const platform::Folders& folders)
{
    namespace fs = std::filesystem;
    const fs::path folder = gpxExportFolder(folders);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return std::nullopt;
    fs::permissions(folder, fs::perms::owner_all, error);
    if (error)
        return std::nullopt;
    const fs::path file = folder / GPXWriter::fileName(track);
    try {
        platform::atomicWrite(file, GPXWriter::document(track), fs::perms::owner_read | fs::perms::owner_write);
    } catch (const fs::filesystem_error&) {
        return std::nullopt;
    }
    return file;
}

} // namespace velorin
