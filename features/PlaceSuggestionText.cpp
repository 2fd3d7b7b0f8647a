#include "features/PlaceSuggestionText.h"

#include "features/PlaceStore.h"

#include "platform/Unicode.h"

#include <fmt/format.h>

#include <cmath>

namespace velorin {

namespace {

constexpr int64_t kLocalityBelowImportance = 5;
constexpr std::size_t kShortestSearch = 2;
constexpr std::string_view kSeparator = " · ";
constexpr std::string_view kEllipsis = "…";

bool isWhiteSpace(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680
        || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u32string trimmedCodePoints(std::u32string_view text)
{
    while (!text.empty() && isWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back()))
        text.remove_suffix(1);
    return std::u32string(text);
}

// Every "(…)" with the white space before it, as the pattern \s*\([^)]*\) removes them:
// an opening parenthesis without a closing one after it stays.
std::u32string withoutParentheses(std::u32string_view text)
{
    std::u32string kept;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find(U'(', at);
        const std::size_t close = open == std::u32string_view::npos ? open : text.find(U')', open);
        if (close == std::u32string_view::npos) {
            kept += text.substr(at);
            break;
        }
        std::size_t start = open;
        while (start > at && isWhiteSpace(text[start - 1]))
            --start;
        kept += text.substr(at, start - at);
        at = close + 1;
    }
    return kept;
}

} // namespace

std::string PlaceSuggestionText::trimmed(std::string_view text)
{
    return platform::encodeUtf8(trimmedCodePoints(platform::decodeUtf8(text)));
}

std::string PlaceSuggestionText::stripParentheses(std::string_view name, std::size_t maxCharacters)
{
    const std::string title = platform::encodeUtf8(trimmedCodePoints(withoutParentheses(platform::decodeUtf8(name))));
    const auto characters = platform::textClusters(title);
    if (characters.size() <= maxCharacters)
        return title;
    std::string cut;
    for (std::size_t i = 0; i < maxCharacters; ++i)
        cut += characters[i].text;
    return trimmed(cut) + std::string(kEllipsis);
}

std::string_view PlaceSuggestionText::kindWord(Toponym::Kind kind, int64_t importance)
{
    switch (kind) {
    case Toponym::Kind::summit:
        return "Sommet";
    case Toponym::Kind::col:
        return "Col";
    case Toponym::Kind::ridge:
        return "Crête";
    case Toponym::Kind::refuge:
        return "Refuge";
    case Toponym::Kind::viewpoint:
        return "Point de vue";
    case Toponym::Kind::place:
        return importance < kLocalityBelowImportance ? "Localité" : "Lieu-dit";
    }
    return "Lieu-dit";
}

std::string_view PlaceSuggestionText::kindSymbol(Toponym::Kind kind)
{
    switch (kind) {
    case Toponym::Kind::summit:
        return "triangle";
    case Toponym::Kind::col:
        return "arrow.left.and.right";
    case Toponym::Kind::ridge:
        return "mountain.2";
    case Toponym::Kind::refuge:
        return "house";
    case Toponym::Kind::viewpoint:
        return "binoculars";
    case Toponym::Kind::place:
        return "mappin";
    }
    return "mappin";
}

std::string PlaceSuggestionText::countryName(std::string_view code)
{
    if (code == "fr")
        return "France";
    if (code == "ch")
        return "Suisse";
    if (code == "at")
        return "Autriche";
    if (code == "es")
        return "Espagne";
    return std::string(code);
}

std::string PlaceSuggestionText::detail(const Place& place)
{
    std::string line(kindWord(place.kind, place.importance));
    const bool takesAltitude = place.kind == Toponym::Kind::summit || place.kind == Toponym::Kind::col
        || place.kind == Toponym::Kind::refuge;
    if (takesAltitude && place.altitude && std::isfinite(*place.altitude))
        line += fmt::format("{}{:.0f} m", kSeparator, std::round(*place.altitude) + 0.0); // never "-0"
    line += kSeparator;
    line += countryName(place.country);
    return line;
}

bool PlaceSuggestionText::opensFor(const std::optional<std::string>& chosen, std::string_view query)
{
    return !chosen || *chosen != query;
}

std::string PlaceSuggestionText::noDatabase(const std::filesystem::path& folder)
{
    // A file name a line: the panel would break a name at its hyphen.
    std::string text = fmt::format("Aucune base de lieux installée. Velorin les cherche dans le dossier {}\u00a0:",
        folder.string());
    for (const PlaceStore::Country& country : PlaceStore::countries)
        text += fmt::format("\nplaces-{}.sqlite", country.code);
    return text;
}

std::string PlaceSuggestionText::emptyMessage(std::string_view query,
    const std::optional<std::filesystem::path>& missingDatabasesFolder)
{
    if (platform::textClusters(query).size() < kShortestSearch)
        return std::string(kTooShort);
    return missingDatabasesFolder ? noDatabase(*missingDatabasesFolder) : std::string(kNothingFound);
}

} // namespace velorin
