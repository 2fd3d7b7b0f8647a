#include "update-plugin/UpdateFeed.h"

#include <nlohmann/json.hpp>

namespace korrelvane {

namespace {

bool isWebAddress(const std::string& url)
{
    for (std::string_view scheme : { "https://", "http://" }) {
        if (url.size() > scheme.size() && url.compare(0, scheme.size(), scheme) == 0)
            return true;
    }
    return false;
}

std::string text(const nlohmann::json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// Nothing when the item must be left out; `download` then says nothing either.
std::optional<UpdateItem> readItem(const nlohmann::json& value)
{
    if (!value.is_object())
        return std::nullopt;
    UpdateItem item { text(value, "version"), text(value, "title"), text(value, "notes"), text(value, "page"), {} };
    if (!DottedVersion::parse(item.version) || !isWebAddress(item.page))
        return std::nullopt;
    const auto download = value.find("download");
    if (download != value.end() && !download->is_null()) {
        if (!download->is_object())
            return std::nullopt;
        const auto length = download->find("length");
        UpdateDownload file { text(*download, "url"), 0, text(*download, "signature") };
        if (!isWebAddress(file.url) || length == download->end() || !length->is_number_integer()
            || length->get<std::int64_t>() <= 0)
            return std::nullopt;
        file.length = length->get<std::int64_t>();
        item.download = std::move(file);
    }
    return item;
}

} // namespace

std::optional<UpdateFeed> UpdateFeed::parse(std::string_view text)
{
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto items = json.find("items");
    if (items == json.end() || !items->is_array())
        return std::nullopt;
    UpdateFeed feed;
    for (const auto& value : *items) {
        if (auto item = readItem(value))
            feed.items.push_back(std::move(*item));
    }
    return feed;
}

std::optional<UpdateItem> UpdateFeed::newestAbove(const DottedVersion& current) const
{
    std::optional<UpdateItem> newest;
    std::optional<DottedVersion> newestVersion;
    for (const auto& item : items) {
        const auto version = *DottedVersion::parse(item.version);
        if (version > current && (!newestVersion || version > *newestVersion)) {
            newest = item;
            newestVersion = version;
        }
    }
    return newest;
}

} // namespace korrelvane
