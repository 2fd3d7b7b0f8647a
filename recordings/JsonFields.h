#pragma once

#include "platform/Iso8601.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <stdexcept>
#include <string>

// Reading and writing the fields of the track files, where every number must be finite
// and every date is ISO 8601 in whole UTC seconds. Any thread.
namespace velorin::json_fields {

// An optional field counts as absent when its key is missing or holds null.
inline bool present(const nlohmann::json& object, const char* key)
{
    auto found = object.find(key);
    return found != object.end() && !found->is_null();
}

inline void requireFinite(double value, const char* key)
{
    if (!std::isfinite(value))
        throw std::domain_error(std::string(key) + " is not a finite number");
}

inline std::string date(platform::SystemTime time)
{
    return platform::formatIso8601(time);
}

inline platform::SystemTime date(const nlohmann::json& object, const char* key)
{
    const auto time = platform::parseIso8601(object.at(key).get_ref<const std::string&>());
    if (!time)
        throw nlohmann::json::other_error::create(501, std::string(key) + " is not an ISO 8601 date", &object);
    return *time;
}

} // namespace velorin::json_fields
