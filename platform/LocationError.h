#pragma once

#include <string>

namespace platform {

// A failure reported by the location source, with a description for the log. A plain
// value; any thread.
struct LocationError {
    enum class Code {
        // No fix could be had for now; the source keeps trying.
        locationUnknown,
        // The user or the system refused access to the position.
        denied,
        // Nothing on the machine gives positions: no receiver plugged in or named.
        noReceiver,
        // The positioning daemon cannot be reached; the source keeps trying.
        serviceUnavailable,
        // The source went away or failed for another reason.
        other,
    };

    Code code = Code::other;
    std::string description;

    bool operator==(const LocationError&) const = default;
};

} // namespace platform
