// The update feed: every item kept has a dotted version and web addresses, a download has a
// length above 0, and the newest item above any version is one of the feed's own, above it.

#include "fuzz/FuzzCheck.h"
#include "update-plugin/UpdateFeed.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

bool isWebAddress(const std::string& url)
{
    return (url.starts_with("https://") && url.size() > 8) || (url.starts_with("http://") && url.size() > 7);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace korrelvane;
    const auto feed = UpdateFeed::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!feed)
        return 0;
    for (const UpdateItem& item : feed->items) {
        FUZZ_CHECK(DottedVersion::parse(item.version).has_value());
        FUZZ_CHECK(isWebAddress(item.page));
        FUZZ_CHECK(!item.download || (isWebAddress(item.download->url) && item.download->length > 0));
    }
    for (const char* current : {"0", "1.0", "2.5.10", "999999999.999999999"}) {
        const auto version = *DottedVersion::parse(current);
        const auto newest = feed->newestAbove(version);
        if (!newest)
            continue;
        FUZZ_CHECK(std::find(feed->items.begin(), feed->items.end(), *newest) != feed->items.end());
        const auto newestVersion = *DottedVersion::parse(newest->version);
        FUZZ_CHECK(newestVersion > version);
        for (const UpdateItem& item : feed->items)
            FUZZ_CHECK(!(*DottedVersion::parse(item.version) > newestVersion));
    }
    return 0;
}
