#include "renderer/Sky.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

// A sky angle whose line of sight comes closer than this to straight up the screen is
// taken as off the top of the view.
constexpr double kSkyAngleMarginRadians = 0.01;

void appendBand(std::vector<SolidVertex>& vertices, double bottom, const std::array<double, 3>& bottomColor,
    double top, const std::array<double, 3>& topColor, double halfHeight)
{
    const auto vertex = [halfHeight](double x, double y, const std::array<double, 3>& rgb) {
        return SolidVertex{float(x), float(-y / halfHeight), 0, float(rgb[0]), float(rgb[1]), float(rgb[2]), 1};
    };
    vertices.push_back(vertex(-1, bottom, bottomColor));
    vertices.push_back(vertex(1, bottom, bottomColor));
    vertices.push_back(vertex(1, top, topColor));
    vertices.push_back(vertex(-1, bottom, bottomColor));
    vertices.push_back(vertex(1, top, topColor));
    vertices.push_back(vertex(-1, top, topColor));
}

} // namespace

std::array<double, 4> Sky::clearColor(double pitch)
{
    const double t = std::min(pitch / kHorizonClearPitchRadians, 1.0);
    const auto& horizon = kColors[0].rgb;
    return {
        kFlatClearColor[0] + (horizon[0] - kFlatClearColor[0]) * t,
        kFlatClearColor[1] + (horizon[1] - kFlatClearColor[1]) * t,
        kFlatClearColor[2] + (horizon[2] - kFlatClearColor[2]) * t,
        1,
    };
}

std::vector<SolidVertex> Sky::vertices(const Camera& camera)
{
    std::vector<SolidVertex> vertices;
    if (!(camera.pitch > kMinSkyPitchRadians) || !(camera.viewSize.height > 0))
        return vertices;
    const double h = camera.viewSize.height / 2;
    const double f = camera.focalDistance();
    const double offTop = -1 - h;
    // Pixels below the view centre at which an angle above the horizon is seen.
    const auto rowOf = [&](double degrees) {
        const double angle = std::numbers::pi / 2 - camera.pitch + degrees * std::numbers::pi / 180;
        if (angle < std::numbers::pi / 2 - kSkyAngleMarginRadians)
            return -f * std::tan(angle);
        return offTop;
    };
    const double horizon = rowOf(0);
    if (!(horizon > offTop))
        return vertices;
    double edge = std::min(horizon, h);
    appendBand(vertices, h, kColors[0].rgb, edge, kColors[0].rgb, h);
    const std::array<double, 3>* color = &kColors[0].rgb;
    for (std::size_t row = 1; row < kColors.size() && edge > -h; ++row) {
        const double next = rowOf(kColors[row].degreesAboveHorizon);
        appendBand(vertices, edge, *color, next, kColors[row].rgb, h);
        edge = next;
        color = &kColors[row].rgb;
    }
    if (edge > -h)
        appendBand(vertices, edge, *color, offTop, *color, h);
    return vertices;
}

} // namespace velorin
