#include "platform/PercentEncoding.h"

namespace platform {

namespace {

constexpr std::string_view kHex = "0123456789ABCDEF";

bool unreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendEscaped(std::string& out, char c)
{
    auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

} // namespace

std::string percentEncode(std::string_view text, std::string_view alsoAllowed)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (unreserved(c) || alsoAllowed.find(c) != std::string_view::npos)
            out += c;
        else
            appendEscaped(out, c);
    }
    return out;
}

std::string queryString(std::span<const QueryItem> items)
{
    std::string query;
    for (const QueryItem& item : items) {
        query += query.empty() ? '?' : '&';
        query += item.name;
        query += '=';
        query += percentEncode(item.value, "'(),:");
    }
    return query;
}

std::string formEncode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (unreserved(c))
            out += c;
        else if (c == ' ')
            out += '+';
        else
            appendEscaped(out, c);
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

} // namespace platform
