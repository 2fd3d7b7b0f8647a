#pragma once

#include "map-data/WorldPoint.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// What the launch arguments ask of the film automation: the film's file and height, the
// overlays, the frame dump's folder, and a travel over waypoints with its height above
// the ground and its number of frames. Numbers are read in the C locale; values that are
// not usable take the defaults, with a line on standard error for a bad film height. Any
// thread.
struct FilmArguments {
    static constexpr int kDefaultHeight = 1080;
    static constexpr int kMaxHeight = 4320;
    static constexpr double kDefaultTravelHeightMeters = 500;
    static constexpr int kTravelFramesPerSecond = 30;
    static constexpr int kDefaultTravelFrames = 1350;
    static constexpr double kMaxTravelSeconds = 3600;

    std::optional<std::filesystem::path> filmTo;
    int height = kDefaultHeight;
    bool names = false;
    std::optional<std::filesystem::path> dumpFrames;
    // "-filmTravel": the waypoints as world points, those off the globe left out; fewer
    // than two mean no travel.
    std::vector<WorldPoint> travel;
    double travelHeight = kDefaultTravelHeightMeters;
    int travelFrames = kDefaultTravelFrames;

    static FilmArguments parse(const std::vector<std::string>& arguments);
    // "-filmHeight": an optional sign and decimal digits, within 1 to kMaxHeight.
    static std::optional<int> parseHeight(const std::string& text);
};

} // namespace velorin
