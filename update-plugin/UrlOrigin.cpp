#include "update-plugin/UrlOrigin.h"

#include <algorithm>
#include <cctype>

namespace korrelvane {

std::optional<std::string> urlOrigin(std::string_view url)
{
    constexpr std::string_view kSeparator = "://";
    const auto schemeEnd = url.find(kSeparator);
    if (schemeEnd == std::string_view::npos || schemeEnd == 0)
        return std::nullopt;
    const auto authorityStart = schemeEnd + kSeparator.size();
    const auto authorityEnd = std::min(url.find_first_of("/?#", authorityStart), url.size());
    if (authorityEnd == authorityStart)
        return std::nullopt;
    std::string origin(url.substr(0, authorityEnd));
    std::transform(origin.begin(), origin.end(), origin.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return origin;
}

} // namespace korrelvane
