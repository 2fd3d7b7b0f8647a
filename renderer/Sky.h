#pragma once

#include "renderer/Camera.h"
#include "renderer/SolidVertex.h"

#include <array>
#include <vector>

namespace velorin {

// The sky behind a tilted map: its colour by angle above the horizon, the bands of
// triangles that paint it, and the colour that clears each frame before it is drawn.
// Stateless; any thread.
class Sky {
public:
    struct Row {
        double degreesAboveHorizon;
        std::array<double, 3> rgb;
    };
    static constexpr std::array<Row, 6> kColors = {{
        {0, {0.56, 0.73, 0.93}},
        {3, {0.40, 0.67, 0.98}},
        {9, {0.345, 0.604, 0.933}},
        {18, {0.286, 0.533, 0.871}},
        {30, {0.231, 0.435, 0.773}},
        {42, {0.212, 0.416, 0.741}},
    }};
    // What a flat map clears to.
    static constexpr std::array<double, 3> kFlatClearColor = {0.11, 0.145, 0.22};
    // From this pitch on (20°), the clear colour is the horizon's.
    static constexpr double kHorizonClearPitchRadians = 0.3490658503988659;
    // No sky is drawn at or below this pitch.
    static constexpr double kMinSkyPitchRadians = 0.05;

    // RGBA: the flat colour blended towards the horizon colour as the map tilts.
    static std::array<double, 4> clearColor(double pitch);
    // Bands in normalised device coordinates at the far plane, from the bottom of the view
    // (the horizon colour, hidden by the ground) up past its top.
    static std::vector<SolidVertex> vertices(const Camera& camera);
};

} // namespace velorin
