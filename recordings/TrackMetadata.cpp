#include "recordings/TrackMetadata.h"

#include "platform/Uuid.h"
#include "recordings/JsonFields.h"

#include <algorithm>
#include <cctype>

namespace velorin {

void to_json(nlohmann::ordered_json& json, const TrackMetadata& metadata)
{
    json = nlohmann::ordered_json::object();
    json["id"] = metadata.id;
    json["name"] = metadata.name;
    json["startedAt"] = json_fields::date(metadata.startedAt);
    if (metadata.endedAt)
        json["endedAt"] = json_fields::date(*metadata.endedAt);
    if (metadata.timesUnknown)
        json["timesUnknown"] = true;
}

void from_json(const nlohmann::json& json, TrackMetadata& metadata)
{
    TrackMetadata decoded;
    decoded.id = json.at("id").get<std::string>();
    if (!platform::isUuid(decoded.id))
        throw nlohmann::json::other_error::create(501, "id is not a UUID", &json);
    std::transform(decoded.id.begin(), decoded.id.end(), decoded.id.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    decoded.name = json.at("name").get<std::string>();
    decoded.startedAt = json_fields::date(json, "startedAt");
    if (json_fields::present(json, "endedAt"))
        decoded.endedAt = json_fields::date(json, "endedAt");
    if (json_fields::present(json, "timesUnknown"))
        decoded.timesUnknown = json.at("timesUnknown").get<bool>();
    metadata = decoded;
}

} // namespace velorin
