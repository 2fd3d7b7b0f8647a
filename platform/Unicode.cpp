#include "platform/Unicode.h"

#include <utf8proc.h>

namespace platform {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point at the start of `text` and its length in bytes; a byte that starts no
// valid sequence reads as U+FFFD, one byte long.
std::pair<char32_t, std::size_t> codePointAt(std::string_view text)
{
    utf8proc_int32_t codePoint = 0;
    auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
        static_cast<utf8proc_ssize_t>(text.size()), &codePoint);
    if (length <= 0)
        return {kReplacementCharacter, 1};
    return {static_cast<char32_t>(codePoint), static_cast<std::size_t>(length)};
}

bool isLetterOrNumber(char32_t codePoint)
{
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(codePoint))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
        return true;
    default:
        return false;
    }
}

} // namespace

std::u32string decodeUtf8(std::string_view utf8)
{
    std::u32string codePoints;
    codePoints.reserve(utf8.size());
    while (!utf8.empty()) {
        auto [codePoint, length] = codePointAt(utf8);
        codePoints += codePoint;
        utf8.remove_prefix(length);
    }
    return codePoints;
}

std::string encodeUtf8(std::u32string_view codePoints)
{
    std::string utf8;
    utf8.reserve(codePoints.size());
    utf8proc_uint8_t buffer[4];
    for (char32_t codePoint : codePoints) {
        auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(codePoint), buffer);
        utf8.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    }
    return utf8;
}

std::vector<TextCluster> textClusters(std::string_view utf8)
{
    std::vector<TextCluster> clusters;
    utf8proc_int32_t state = 0;
    std::size_t start = 0;
    std::size_t position = 0;
    char32_t first = 0;
    char32_t previous = 0;
    while (position < utf8.size()) {
        auto [codePoint, length] = codePointAt(utf8.substr(position));
        if (position == 0) {
            first = codePoint;
        } else if (utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(previous),
                       static_cast<utf8proc_int32_t>(codePoint), &state)) {
            clusters.push_back({utf8.substr(start, position - start), isLetterOrNumber(first)});
            start = position;
            first = codePoint;
        }
        previous = codePoint;
        position += length;
    }
    if (position > start)
        clusters.push_back({utf8.substr(start, position - start), isLetterOrNumber(first)});
    return clusters;
}

} // namespace platform
