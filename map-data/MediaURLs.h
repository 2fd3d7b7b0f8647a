#pragma once

#include "map-data/ServiceHosts.h"
#include "map-data/Sheet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velorin {

// Addresses of TOP25 material on the maker's media host, which the relay never serves.
// Nothing while no media host is configured. Any thread.

// The URL of `path` on the media host: each "/"-separated piece percent-encoded, so that
// a space or "#" in a sheet name stays inside its piece.
std::optional<std::string> mediaURL(const ServiceHosts& hosts, std::string_view path);
// The whole sheet image: "<directory>/<name>.webp", in "media/FR TOP25 IGN" by default.
std::optional<std::string> sheetMediaURL(const ServiceHosts& hosts, const Sheet& sheet);
// The sheet's thumbnail at a pixel size: "thumbs/<size>/<name>.jpg".
std::optional<std::string> thumbnailMediaURL(const ServiceHosts& hosts, const Sheet& sheet, int64_t size);

} // namespace velorin
