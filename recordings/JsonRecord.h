#pragma once

#include "platform/JsonText.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

// The text of a track's records as the track files hold them: a point's line of the points
// file and the track's "meta.json", each one compact JSON object. Any thread.
namespace velorin::json_record {

// Compact JSON; a byte of a name that is not UTF-8 becomes U+FFFD rather than failing the
// whole write. Throws what the record's `to_json` throws (a number that is not finite).
template <typename Record>
std::string encode(const Record& record)
{
    const nlohmann::ordered_json json = record;
    return platform::jsonText(json);
}

// Nothing for text that is not JSON or not such a record.
template <typename Record>
std::optional<Record> decode(std::string_view text)
{
    auto json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded())
        return std::nullopt;
    try {
        return json.get<Record>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace velorin::json_record
