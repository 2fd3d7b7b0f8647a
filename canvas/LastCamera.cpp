#include "canvas/LastCamera.h"

#include <cmath>

namespace velorin {

namespace {

constexpr std::size_t kStoredNumbers = 3;

} // namespace

void LastCamera::save(platform::UserDefaults& defaults, const Camera& camera)
{
    const double values[] = {camera.center.latitude(), camera.center.longitude(), camera.zoom};
    for (double value : values) {
        // JSON holds no NaN nor infinity: such a view is not worth keeping.
        if (!std::isfinite(value))
            return;
    }
    defaults.setArray(kKey, nlohmann::json::array({values[0], values[1], values[2]}));
}

std::optional<LastCamera> LastCamera::restore(const platform::UserDefaults& defaults)
{
    const auto stored = defaults.array(kKey);
    if (!stored || stored->size() != kStoredNumbers)
        return std::nullopt;
    double values[kStoredNumbers];
    for (std::size_t i = 0; i < kStoredNumbers; ++i) {
        const auto& element = (*stored)[i];
        if (!element.is_number())
            return std::nullopt;
        values[i] = element.get<double>();
        if (!std::isfinite(values[i]))
            return std::nullopt;
    }
    return LastCamera{values[0], values[1], values[2]};
}

} // namespace velorin
