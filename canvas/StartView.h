#pragma once

#include <optional>
#include <span>
#include <string>

namespace velorin {

// The first view given on the command line after "-startAt": comma-separated numbers,
// latitude, longitude and zoom, then optionally bearing and pitch (degrees) and the focal
// length; the six numbers of every gesture journal line. Any thread.
struct StartView {
    double latitude = 0;
    double longitude = 0;
    double zoom = 0;
    double bearingDegrees = 0;
    double pitchDegrees = 0;
    std::optional<double> focalLength;

    // Reads the value after the first "-startAt". Empty pieces are dropped and pieces
    // that are not a whole finite C-locale number, with an optional sign, are skipped; fewer than three numbers
    // give nothing, numbers after the sixth are ignored.
    static std::optional<StartView> parse(std::span<const std::string> arguments);

    bool operator==(const StartView&) const = default;
};

} // namespace velorin
