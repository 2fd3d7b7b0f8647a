#include "recordings/TrackPoint.h"

#include "recordings/JsonFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace velorin {

namespace {

enum class Field { latitude, longitude, altitude, timestamp, horizontalAccuracy, mode, unknown };

Field fieldNamed(std::string_view key)
{
    if (key == "latitude")
        return Field::latitude;
    if (key == "longitude")
        return Field::longitude;
    if (key == "altitude")
        return Field::altitude;
    if (key == "timestamp")
        return Field::timestamp;
    if (key == "horizontalAccuracy")
        return Field::horizontalAccuracy;
    if (key == "mode")
        return Field::mode;
    return Field::unknown;
}

// Gathers one point's fields value by value, whether they come from a parsed document or
// from a stored line read in its own form, so that both readings follow the same rules: numbers finite
// and on the globe, a readable time, a known mode, null for an absent optional field,
// unknown keys ignored whatever they hold.
class PointFields {
public:
    void number(Field field, double value)
    {
        switch (field) {
        case Field::latitude: set(latitude_, value, 90); break;
        case Field::longitude: set(longitude_, value, 180); break;
        case Field::altitude: set(altitude_, value, kAnyFinite); break;
        case Field::horizontalAccuracy: set(accuracy_, value, kAnyFinite); break;
        case Field::unknown: break;
        default: bad_ = true;
        }
    }

    void text(Field field, std::string_view value)
    {
        if (field == Field::timestamp) {
            timestamp_ = platform::parseIso8601(value);
            bad_ = bad_ || !timestamp_;
        } else if (field == Field::mode) {
            mode_ = travelModeFromRawValue(value);
            bad_ = bad_ || !mode_;
        } else if (field != Field::unknown) {
            bad_ = true;
        }
    }

    void null(Field field)
    {
        if (field == Field::altitude)
            altitude_.reset();
        else if (field == Field::mode)
            mode_.reset();
        else if (field != Field::unknown)
            bad_ = true;
    }

    // A Boolean, an array or an object.
    void other(Field field) { bad_ = bad_ || field != Field::unknown; }

    std::optional<TrackPoint> point() const
    {
        if (bad_ || !latitude_ || !longitude_ || !timestamp_ || !accuracy_)
            return std::nullopt;
        return TrackPoint{*latitude_, *longitude_, altitude_, *timestamp_, *accuracy_, mode_};
    }

private:
    static constexpr double kAnyFinite = std::numeric_limits<double>::max();

    void set(std::optional<double>& slot, double value, double bound)
    {
        if (std::isfinite(value) && std::abs(value) <= bound)
            slot = value;
        else
            bad_ = true;
    }

    std::optional<double> latitude_, longitude_, altitude_, accuracy_;
    std::optional<platform::SystemTime> timestamp_;
    std::optional<TravelMode> mode_;
    bool bad_ = false;
};

// Reads the exact form `to_json` writes, key by key, without a general JSON parser: a
// ten-hour track opens in a few milliseconds. Any other form (another key order, escapes,
// spaces, a bad value) is left to the general parser, which has the last word.
class OwnForm {
public:
    explicit OwnForm(std::string_view line)
        : rest_(line)
    {
    }

    std::optional<TrackPoint> point()
    {
        PointFields fields;
        if (!field(fields, R"({"latitude":)", Field::latitude) || !field(fields, R"(,"longitude":)", Field::longitude))
            return std::nullopt;
        if (rest_.starts_with(R"(,"altitude":)") && !field(fields, R"(,"altitude":)", Field::altitude))
            return std::nullopt;
        if (!field(fields, R"(,"timestamp":)", Field::timestamp)
            || !field(fields, R"(,"horizontalAccuracy":)", Field::horizontalAccuracy))
            return std::nullopt;
        if (rest_.starts_with(R"(,"mode":)") && !field(fields, R"(,"mode":)", Field::mode))
            return std::nullopt;
        if (rest_ != "}")
            return std::nullopt;
        return fields.point();
    }

private:
    bool field(PointFields& fields, std::string_view prefix, Field field)
    {
        if (!rest_.starts_with(prefix))
            return false;
        rest_.remove_prefix(prefix.size());
        if (field == Field::timestamp || field == Field::mode) {
            auto value = plainString();
            if (value)
                fields.text(field, *value);
            return value.has_value();
        }
        auto value = number();
        if (value)
            fields.number(field, *value);
        return value.has_value();
    }

    // A JSON number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    std::optional<double> number()
    {
        std::size_t end = 0;
        auto digits = [&] {
            const std::size_t start = end;
            while (end < rest_.size() && rest_[end] >= '0' && rest_[end] <= '9')
                ++end;
            return end - start;
        };
        if (end < rest_.size() && rest_[end] == '-')
            ++end;
        if (end < rest_.size() && rest_[end] == '0')
            ++end;
        else if (digits() == 0)
            return std::nullopt;
        if (end < rest_.size() && rest_[end] == '.' && (++end, digits() == 0))
            return std::nullopt;
        if (end < rest_.size() && (rest_[end] == 'e' || rest_[end] == 'E')) {
            ++end;
            if (end < rest_.size() && (rest_[end] == '+' || rest_[end] == '-'))
                ++end;
            if (digits() == 0)
                return std::nullopt;
        }
        double value = 0;
        const auto [stop, error] = std::from_chars(rest_.data(), rest_.data() + end, value);
        if (error != std::errc() || stop != rest_.data() + end || !std::isfinite(value))
            return std::nullopt;
        rest_.remove_prefix(end);
        return value;
    }

    // A string of printable ASCII without escapes, as dates and modes are written.
    std::optional<std::string_view> plainString()
    {
        if (!rest_.starts_with('"'))
            return std::nullopt;
        const auto close = rest_.find('"', 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view inside = rest_.substr(1, close - 1);
        if (std::any_of(inside.begin(), inside.end(), [](char c) { return c == '\\' || c < 0x20 || c > 0x7E; }))
            return std::nullopt;
        rest_.remove_prefix(close + 1);
        return inside;
    }

    std::string_view rest_;
};

} // namespace

double TrackPoint::distance(const TrackPoint& other) const
{
    return platform::groundDistance(latitude, longitude, other.latitude, other.longitude);
}

void to_json(nlohmann::ordered_json& json, const TrackPoint& point)
{
    // Checked before the object is built: a throw from inside the JSON value's
    // constructor would leak what it had allocated.
    json_fields::requireFinite(point.latitude, "latitude");
    json_fields::requireFinite(point.longitude, "longitude");
    json_fields::requireFinite(point.altitude.value_or(0), "altitude");
    json_fields::requireFinite(point.horizontalAccuracy, "horizontalAccuracy");
    json = nlohmann::ordered_json::object();
    json["latitude"] = point.latitude;
    json["longitude"] = point.longitude;
    if (point.altitude)
        json["altitude"] = *point.altitude;
    json["timestamp"] = json_fields::date(point.timestamp);
    json["horizontalAccuracy"] = point.horizontalAccuracy;
    if (point.mode)
        json["mode"] = std::string(rawValue(*point.mode));
}

void from_json(const nlohmann::json& json, TrackPoint& point)
{
    PointFields fields;
    if (json.is_object()) {
        for (const auto& [key, value] : json.items()) {
            const Field field = fieldNamed(key);
            if (value.is_number())
                fields.number(field, value.get<double>());
            else if (value.is_string())
                fields.text(field, value.get_ref<const std::string&>());
            else if (value.is_null())
                fields.null(field);
            else
                fields.other(field);
        }
    }
    const auto decoded = fields.point();
    if (!decoded)
        throw nlohmann::json::other_error::create(501, "not a track point", &json);
    point = *decoded;
}

std::optional<TrackPoint> decodeTrackPointLine(std::string_view line)
{
    if (auto point = OwnForm(line).point())
        return point;
    auto json = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
    if (json.is_discarded())
        return std::nullopt;
    try {
        return json.get<TrackPoint>();
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace velorin
