#include "map-data/MediaURLs.h"

#include "platform/PercentEncoding.h"

#include <fmt/format.h>

namespace velorin {

namespace {

constexpr std::string_view kDefaultSheetDirectory = "media/FR TOP25 IGN";
// Sub-delimiters and ":" "@" may stand in a path piece; "/", "?" and "#" may not, since
// they would split the piece or end the path.
constexpr std::string_view kPathPieceAllowed = "!$&'()*+,;=:@";

} // namespace

std::optional<std::string> mediaURL(const ServiceHosts& hosts, std::string_view path)
{
    if (!hosts.mediaHost)
        return std::nullopt;
    std::string encoded;
    std::size_t start = 0;
    while (true) {
        auto slash = path.find('/', start);
        encoded += platform::percentEncode(path.substr(start, slash - start), kPathPieceAllowed);
        if (slash == std::string_view::npos)
            break;
        encoded += '/';
        start = slash + 1;
    }
    return fmt::format("{}/{}", hosts.origin(*hosts.mediaHost), encoded);
}

std::optional<std::string> sheetMediaURL(const ServiceHosts& hosts, const Sheet& sheet)
{
    return mediaURL(hosts, fmt::format("{}/{}.webp", sheet.directory.value_or(std::string(kDefaultSheetDirectory)),
                               sheet.name));
}

std::optional<std::string> thumbnailMediaURL(const ServiceHosts& hosts, const Sheet& sheet, int64_t size)
{
    return mediaURL(hosts, fmt::format("thumbs/{}/{}.jpg", size, sheet.name));
}

} // namespace velorin
