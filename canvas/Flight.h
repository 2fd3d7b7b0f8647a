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
#include <vector>

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
    // Media time when the flight was asked for.
    double requestedAt = 0;
    FlightPlayback playback;
    std::shared_ptr<FlightFrameSequence<PreparedFlightFrame>> prepared;
    double lastPreparation = -std::numeric_limits<double>::infinity();
    std::optional<double> waitingSince;
    // Media time since which frames have waited with none coming ready: frames given up on
    // after their patience keep it, so a preparation held back for long can say so.
    std::optional<double> heldBackSince;
    std::optional<Outro> outro;

    double tailSeconds() const
    {
        if (kind == Kind::land)
            return kLandingTurnSeconds;
        return outro ? kLapSeconds + kOutroSeconds : kLapSeconds;
    }
    // The flight time of its last frame.
    double endTime() const { return duration + tailSeconds(); }

    // The times at which the flight's tiles are looked for ahead: every 0.5 s of the
    // approach, every 0.5 s of a landing's turn or 4 s of a tour's lap and outro, and the end.
    std::vector<double> preloadTimes() const
    {
        constexpr double kApproachStep = 0.5;
        constexpr double kLandingTailStep = 0.5;
        constexpr double kTourTailStep = 4.0;
        std::vector<double> times;
        for (int i = 0; i * kApproachStep <= duration; ++i)
            times.push_back(i * kApproachStep);
        const double tailStep = kind == Kind::land ? kLandingTailStep : kTourTailStep;
        for (int i = 0; i * tailStep <= tailSeconds(); ++i)
            times.push_back(duration + i * tailStep);
        times.push_back(endTime());
        return times;
    }

    // A tour's eased progress around its lap at `u` (0 to 1 of the lap's time): speeding up
    // over the first tenth, constant, slowing down over the last.
    static double lapProgress(double u)
    {
        constexpr double kEaseShare = 0.1;
        constexpr double v = 1 / (1 - kEaseShare);
        if (u > 1)
            return 1;
        if (u > 1 - kEaseShare)
            return 1 - v * (1 - u) * (1 - u) / (2 * kEaseShare);
        if (u >= kEaseShare)
            return v * (u - kEaseShare / 2);
        return v * u * u / (2 * kEaseShare);
    }
};

} // namespace velorin
