#pragma once

#include "update-plugin/DottedVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korrelvane {

// The new version's file, signed by the maker.
struct UpdateDownload {
    std::string url;
    std::int64_t length = 0;
    // Base64 of the Ed25519 signature of the file's bytes.
    std::string signature;

    bool operator==(const UpdateDownload&) const = default;
};

// One version that the feed offers.
struct UpdateItem {
    std::string version;
    std::string title;
    std::string notes;
    // The version's download page, opened in the browser.
    std::string page;
    std::optional<UpdateDownload> download;

    bool operator==(const UpdateItem&) const = default;
};

// The update feed: {"items": [{"version", "title", "notes", "page", "download": {"url",
// "length", "signature"}}]}, "download" optional. Items whose version is not a dotted
// number or whose addresses are not http(s) are left out. Any thread.
struct UpdateFeed {
    std::vector<UpdateItem> items;

    // Nothing when the text is not JSON of that shape.
    static std::optional<UpdateFeed> parse(std::string_view text);

    // The item of the highest version above `current`, if any.
    std::optional<UpdateItem> newestAbove(const DottedVersion& current) const;
};

} // namespace korrelvane
