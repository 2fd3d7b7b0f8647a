#include "recordings/TrackPoint.h"

#include "recordings/JsonFields.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace velorin {

double TrackPoint::distance(const TrackPoint& other) const
{
    constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
    const double phi1 = latitude * kRadiansPerDegree;
    const double phi2 = other.latitude * kRadiansPerDegree;
    const double halfDeltaPhi = std::sin((phi1 - phi2) / 2);
    const double halfDeltaLambda = std::sin((longitude - other.longitude) * kRadiansPerDegree / 2);
    const double a = halfDeltaPhi * halfDeltaPhi + std::cos(phi1) * std::cos(phi2) * halfDeltaLambda * halfDeltaLambda;
    // Rounding can push a a hair above 1; the clamp keeps the second root real.
    return kEarthDiameterMeters * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}

void to_json(nlohmann::ordered_json& json, const TrackPoint& point)
{
    using json_fields::finite;
    json = nlohmann::ordered_json::object();
    json["latitude"] = finite(point.latitude, "latitude");
    json["longitude"] = finite(point.longitude, "longitude");
    if (point.altitude)
        json["altitude"] = finite(*point.altitude, "altitude");
    json["timestamp"] = json_fields::date(point.timestamp);
    json["horizontalAccuracy"] = finite(point.horizontalAccuracy, "horizontalAccuracy");
    if (point.mode)
        json["mode"] = std::string(rawValue(*point.mode));
}

void from_json(const nlohmann::json& json, TrackPoint& point)
{
    constexpr double kAny = std::numeric_limits<double>::max();
    TrackPoint decoded;
    decoded.latitude = json_fields::number(json, "latitude", -90, 90);
    decoded.longitude = json_fields::number(json, "longitude", -180, 180);
    if (json_fields::present(json, "altitude"))
        decoded.altitude = json_fields::number(json, "altitude", -kAny, kAny);
    decoded.timestamp = json_fields::date(json, "timestamp");
    decoded.horizontalAccuracy = json_fields::number(json, "horizontalAccuracy", -kAny, kAny);
    if (json_fields::present(json, "mode"))
        decoded.mode = json.at("mode").get<TravelMode>();
    point = decoded;
}

} // namespace velorin
