#pragma once

#include "canvas/FlightFrameSequence.h"
#include "canvas/FlightPlayback.h"
#include "canvas/PreparedFlightFrame.h"
#include "map-data/WorldPoint.h"
#include "renderer/Camera.h"

#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace velorin {

// A camera flight to a named place: a landing flight that ends looking at the place from
// 500 m short of it, or a drone tour that circles it once (and may glide to a closing
// viewpoint). Its camera is a function of the time since its start; its playback and
// prepared frames travel with it. A plain value whose frame sequence is shared; GUI thread
// only.
struct Flight {
    enum class Kind { land, orbit };

    // An eye: where it stands on the ground and its altitude in metres.
    struct Eye {
        WorldPoint ground;
        double altitude = 0;

        bool operator==(const Eye&) const = default;
    };

    // A tour's closing viewpoint: where the eye ends, how high above the ground there, and
    // the point the last view turns towards, `look` of the way from `foreground` to the place.
    struct Outro {
        WorldPoint ground;
        double height = 0;
        WorldPoint foreground;
        double look = 0;

        bool operator==(const Outro&) const = default;
    };

    // After the approach: a landing flight turns for 2 s, a tour circles for 60 s and glides
    // to its closing viewpoint for 14 s more.
    static constexpr double kLandingTurnSeconds = 2;
    static constexpr double kLapSeconds = 60;
    static constexpr double kOutroSeconds = 14;

    Kind kind = Kind::land;
    Camera initialCamera;
    Eye from;
    Eye to;
    WorldPoint target;
    // Radians: the approach's heading and cruise pitch, and the final view used when the
    // view at the place cannot be solved as the flight runs.
    double bearing = 0;
    double pitch = 0;
    double backBearing = 0;
    double backPitch = 0;
    // Seconds of approach.
    double duration = 0;
    // Metres: the orbit's radius and height above the place, and the place's altitude.
    double radius = 0;
    double height = 0;
    double targetAltitude = 0;
    double startAngle = 0;
    std::string id;
    FlightPlayback playback;
    std::shared_ptr<FlightFrameSequence<PreparedFlightFrame>> prepared;
    double lastPreparation = -std::numeric_limits<double>::infinity();
    std::optional<double> waitingSince;
    std::optional<Outro> outro;

    double tailSeconds() const
    {
        if (kind == Kind::land)
            return kLandingTurnSeconds;
        return outro ? kLapSeconds + kOutroSeconds : kLapSeconds;
    }
    // The flight time of its last frame.
    double endTime() const { return duration + tailSeconds(); }
};

} // namespace velorin
