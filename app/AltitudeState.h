#pragma once

namespace velorin {

// What the altitude readout shows: the device's altitude in metres, a search for a first
// fix, a refused location permission, or a fix without a usable altitude. A plain value;
// any thread.
struct AltitudeState {
    enum class Kind { value, searching, denied, unavailable };

    Kind kind = Kind::searching;
    // Only for `value`.
    double meters = 0;

    static AltitudeState value(double meters) { return { Kind::value, meters }; }
    static AltitudeState searching() { return {}; }
    static AltitudeState denied() { return { Kind::denied, 0 }; }
    static AltitudeState unavailable() { return { Kind::unavailable, 0 }; }

    // Same case, and for `value` altitudes equal as doubles.
    bool operator==(const AltitudeState& other) const
    {
        return kind == other.kind && (kind != Kind::value || meters == other.meters);
    }
};

} // namespace velorin
