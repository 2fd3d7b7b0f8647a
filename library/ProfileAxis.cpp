#include "library/ProfileAxis.h"

#include "platform/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velorin::ProfileAxis {

namespace {

constexpr std::array kRoundSteps { 1.0, 2.0, 5.0, 10.0 };

} // namespace

std::vector<double> ticks(double lower, double upper, int mostTicks, double finestStep)
{
    if (!std::isfinite(lower) || !std::isfinite(upper) || !(upper > lower) || mostTicks < 2)
        return {};
    const double gaps = mostTicks - 1;
    const double rough = (upper - lower) / gaps;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude * kRoundSteps.back();
    for (double factor : kRoundSteps) {
        if (factor * magnitude * gaps >= upper - lower) {
            step = factor * magnitude;
            break;
        }
    }
    step = std::max(step, finestStep);
    std::vector<double> values;
    // Counted in whole steps, so that no error adds up along the axis; a value a rounding
    // error beyond an end is still that end.
    const double slack = step * 1e-9;
    for (double index = std::ceil(lower / step - 1e-9); index * step <= upper + slack; ++index)
        values.push_back(index * step == 0 ? 0.0 : index * step);
    return values;
}

std::string altitudeLabel(double meters)
{
    return std::to_string(std::llround(meters)) + " m";
}

std::string distanceLabel(double kilometers)
{
    const double tenths = std::round(kilometers * 10);
    const bool whole = std::fmod(tenths, 10) == 0;
    return platform::frenchNumber(tenths == 0 ? 0.0 : tenths / 10, whole ? 0 : 1) + " km";
}

} // namespace velorin::ProfileAxis
