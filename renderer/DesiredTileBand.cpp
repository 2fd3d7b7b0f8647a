#include "renderer/DesiredTileBand.h"

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {
// Keeps a sight distance of exactly 2^(i + 0.5) focal distances in band i.
constexpr double kBandRoundingSlack = 0.01;
} // namespace

std::vector<DesiredTileBand> DesiredTileBand::of(const Camera& camera, const WorldRect& rect, int finerLevels)
{
    if (camera.pitch == 0)
        return {{rect, 0, 0, true, 0}};
    const int n = std::clamp(finerLevels, 0, kMaxFinerLevels);
    const double f = camera.focalDistance();
    const double levels = std::ceil(std::log2(camera.eyeDistance() / f) - 0.5 - kBandRoundingSlack);
    // Beyond any sight distance a camera can have; also keeps a NaN from the loop below.
    constexpr int kMaxBandIndex = 16;
    const int k = std::isfinite(levels) ? int(std::clamp(levels, double(-n), double(kMaxBandIndex))) : -n;
    std::vector<DesiredTileBand> bands;
    for (int i = k; i >= -n; --i) {
        const double near = i == -n ? 0 : std::exp2(i - 0.5) * f;
        const double far = std::exp2(i + 0.5) * f;
        const auto ground = camera.groundRect(near, far);
        if (!ground)
            continue;
        const bool farthest = i == k;
        bands.push_back({*ground, near, far, false, farthest && i > 0 ? i + 1 : i});
    }
    return bands;
}

} // namespace velorin
