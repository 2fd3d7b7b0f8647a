#include "recordings/GPXImporter.h"

#include "recordings/GPXImporterReader.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

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

} // namespace

std::optional<platform::SystemTime> parseDate(std::string_view text)
{
    return platform::parseIso8601(text);
}

std::optional<Result> parse(std::span<const std::byte> bytes, platform::SystemTime baseDate)
{
    if (bytes.size() > kMaximumFileBytes)
        return std::nullopt;

    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate(nullptr), &XML_ParserFree);
    if (!parser)
        return std::nullopt;
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
    const auto& raw = !reader.track().empty() ? reader.track() : reader.route();
    if (raw.empty())
        return std::nullopt;
    Result result{reader.name(), {}};
    result.points.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        result.points.push_back({raw[i].latitude, raw[i].longitude, raw[i].altitude,
            raw[i].time.value_or(baseDate + std::chrono::seconds(i)), kImportedAccuracyMeters, std::nullopt});
    }
    return result;
}

} // namespace velorin::GPXImporter
