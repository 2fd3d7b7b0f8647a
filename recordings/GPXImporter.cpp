#include "recordings/GPXImporter.h"

#include "recordings/GPXImporterReader.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace velorin::GPXImporter {

namespace {

// Fed in pieces, so a declaration that stops the parse stops it early.
constexpr std::size_t kChunkBytes = 1 << 20;

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep their C1 code
// points, as browsers read them.
constexpr std::array<int, 32> kWindows1252High = {0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178};

bool sameLetters(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

int XMLCALL unknownEncoding(void*, const XML_Char* name, XML_Encoding* info)
{
    const std::string_view encoding(name);
    if (!sameLetters(encoding, "windows-1252") && !sameLetters(encoding, "cp1252"))
        return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte)
        info->map[byte] = byte >= 0x80 && byte < 0xA0 ? kWindows1252High[static_cast<std::size_t>(byte - 0x80)] : byte;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

struct Session {
    XML_Parser parser;
    Reader reader;
};

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes)
{
    static_cast<Session*>(data)->reader.didStart(name, attributes);
}

void XMLCALL endElement(void* data, const XML_Char* name)
{
    static_cast<Session*>(data)->reader.didEnd(name);
}

void XMLCALL characters(void* data, const XML_Char* text, int length)
{
    static_cast<Session*>(data)->reader.foundCharacters({text, static_cast<std::size_t>(length)});
}

// Entities are how billion-laughs and external-file attacks start; a GPX file has none.
void XMLCALL entityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
    const XML_Char*, const XML_Char*, const XML_Char*)
{
    XML_StopParser(static_cast<Session*>(data)->parser, XML_FALSE);
}

// The points of one list, every one of them timed.
FileTrack fileTrack(const Reader::List& list, platform::SystemTime baseDate)
{
    FileTrack track{list.name, {}, false};
    track.points.reserve(list.points.size());
    for (const RawPoint& raw : list.points) {
        track.points.push_back({raw.latitude, raw.longitude, raw.altitude, raw.time.value_or(baseDate),
            kImportedAccuracyMeters, std::nullopt});
    }
    const auto timed = [&](std::size_t i) { return list.points[i].time.has_value(); };
    std::vector<std::size_t> known;
    for (std::size_t i = 0; i < list.points.size(); ++i) {
        if (timed(i))
            known.push_back(i);
    }
    if (known.empty()) {
        track.timesUnknown = true;
        return track;
    }
    // Distance walked from the first point to each.
    std::vector<double> walked(track.points.size(), 0.0);
    for (std::size_t i = 1; i < track.points.size(); ++i)
        walked[i] = walked[i - 1] + track.points[i - 1].distance(track.points[i]);
    for (std::size_t i = 0; i < known.front(); ++i)
        track.points[i].timestamp = track.points[known.front()].timestamp;
    for (std::size_t i = known.back() + 1; i < track.points.size(); ++i)
        track.points[i].timestamp = track.points[known.back()].timestamp;
    for (std::size_t k = 1; k < known.size(); ++k) {
        const std::size_t before = known[k - 1], after = known[k];
        const double span = walked[after] - walked[before];
        const auto from = track.points[before].timestamp;
        const std::chrono::duration<double> elapsed = track.points[after].timestamp - from;
        for (std::size_t i = before + 1; i < after; ++i) {
            const double share = span > 0 ? (walked[i] - walked[before]) / span : double(i - before) / double(after - before);
            track.points[i].timestamp = from + std::chrono::round<platform::SystemTime::duration>(elapsed * share);
        }
    }
    return track;
}

} // namespace

std::optional<platform::SystemTime> parseDate(std::string_view text)
{
    if (auto date = platform::parseIso8601(text))
        return date;
    // Without a zone designator the time is in UTC; a text that had one fails again.
    return platform::parseIso8601(std::string(text) + "Z");
}

Result parse(std::span<const std::byte> bytes, platform::SystemTime baseDate)
{
    Result result;
    if (bytes.size() > kMaximumFileBytes)
        return result;

    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate(nullptr), &XML_ParserFree);
    if (!parser)
        return result;
    Session session{parser.get(), {}};
    XML_SetUserData(parser.get(), &session);
    XML_SetUnknownEncodingHandler(parser.get(), unknownEncoding, nullptr);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetEntityDeclHandler(parser.get(), entityDeclaration);
    XML_SetElementHandler(parser.get(), startElement, endElement);
    XML_SetCharacterDataHandler(parser.get(), characters);

    const char* data = reinterpret_cast<const char*>(bytes.data());
    std::size_t left = bytes.size();
    do {
        const std::size_t chunk = std::min(left, kChunkBytes);
        left -= chunk;
        if (XML_Parse(parser.get(), data, static_cast<int>(chunk), left == 0) != XML_STATUS_OK)
            break;
        data += chunk;
    } while (left > 0);

    const Reader& reader = session.reader;
    const auto hasPoints = [](const Reader::List& list) { return !list.points.empty(); };
    const auto& lists = std::any_of(reader.tracks().begin(), reader.tracks().end(), hasPoints) ? reader.tracks()
                                                                                               : reader.routes();
    result.name = reader.name();
    result.waypoints = reader.waypoints();
    for (const Reader::List& list : lists) {
        if (hasPoints(list))
            result.tracks.push_back(fileTrack(list, baseDate));
    }
    return result;
}

} // namespace velorin::GPXImporter
