#include "features/PlaceSearchQuery.h"

#include "platform/Unicode.h"

#include <utf8proc.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>

namespace velorin {

namespace {

constexpr std::size_t kShortestSingleWord = 2;

// Composed (NFC), so that a decomposed "é" is one letter, then lower-cased code point by
// code point; the full-text index folds case again, so the match is that of full
// lower-casing. Bytes that are no UTF-8 read as U+FFFD.
std::string lowerComposed(std::string_view text)
{
    const std::string valid = platform::encodeUtf8(platform::decodeUtf8(text));
    utf8proc_uint8_t* composed = nullptr;
    const auto length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(valid.data()),
        utf8proc_ssize_t(valid.size()), &composed, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0)
        return {};
    std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owned(composed, &std::free);
    std::u32string codePoints = platform::decodeUtf8(
        std::string_view(reinterpret_cast<const char*>(composed), std::size_t(length)));
    for (char32_t& codePoint : codePoints)
        codePoint = char32_t(utf8proc_tolower(utf8proc_int32_t(codePoint)));
    return platform::encodeUtf8(codePoints);
}

std::string prefixTerm(std::string_view word)
{
    std::string term = "\"";
    term += word;
    term += "\"*";
    return term;
}

std::string withSharpS(std::string_view word)
{
    std::string replaced;
    for (std::size_t i = 0; i < word.size();) {
        if (word.substr(i, 2) == "ss") {
            replaced += "ß";
            i += 2;
        } else {
            replaced += word[i++];
        }
    }
    return replaced;
}

} // namespace

std::vector<std::string> searchTerms(std::string_view query)
{
    const std::string lowered = lowerComposed(query);
    std::vector<std::string> words;
    std::string word;
    for (const platform::TextCluster& cluster : platform::textClusters(lowered)) {
        if (cluster.isLetterOrNumber) {
            word += cluster.text;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

std::optional<std::string> placeMatchExpression(std::string_view query)
{
    const std::vector<std::string> words = searchTerms(query);
    if (words.empty() || (words.size() == 1 && platform::textClusters(words.front()).size() < kShortestSingleWord))
        return std::nullopt;
    std::string expression;
    for (const std::string& word : words) {
        // Spelt out: the full-text syntax takes no implicit AND beside a bracketed group.
        if (!expression.empty())
            expression += " AND ";
        if (word.find("ss") == std::string::npos)
            expression += prefixTerm(word);
        else
            expression += "(" + prefixTerm(word) + " OR " + prefixTerm(withSharpS(word)) + ")";
    }
    return expression;
}

PlaceDistance::PlaceDistance(const WorldPoint& point)
    : latitude(point.latitude())
    , longitude(point.longitude())
{
    const double cosine = std::cos(latitude * std::numbers::pi / 180);
    scale = cosine * cosine;
}

double PlaceDistance::key(double placeLatitude, double placeLongitude) const
{
    const double north = placeLatitude - latitude;
    const double east = placeLongitude - longitude;
    return north * north + east * east * scale;
}

} // namespace velorin
