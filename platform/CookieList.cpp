#include "platform/CookieList.h"

#include <charconv>
#include <vector>

namespace platform {

std::optional<HttpCookie> parseCookieLine(std::string_view line)
{
    // domain, subdomains, path, secure, expires, name, value: tab-separated.
    constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";
    if (line.starts_with(kHttpOnlyPrefix))
        line.remove_prefix(kHttpOnlyPrefix.size());
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 7)
        return std::nullopt;
    HttpCookie cookie;
    cookie.domain = fields[0];
    cookie.path = fields[2];
    cookie.secure = fields[3] == "TRUE";
    auto [end, error] = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), cookie.expires);
    if (error != std::errc{} || end != fields[4].data() + fields[4].size())
        return std::nullopt;
    cookie.name = fields[5];
    cookie.value = fields[6];
    return cookie;
}

} // namespace platform
