#include "recordings/Track.h"

#include <cstdint>

namespace velorin {

IndexRange Track::onFootRange() const
{
    const std::size_t count = points.size();
    constexpr std::size_t kNoRun = SIZE_MAX;
    std::optional<IndexRange> best;
    std::size_t runStart = kNoRun;
    auto closeRun = [&](std::size_t end) {
        if (runStart != kNoRun && (!best || end - runStart > best->size()))
            best = IndexRange{runStart, end};
        runStart = kNoRun;
    };
    std::optional<TravelMode> effective;
    for (std::size_t i = 0; i < count; ++i) {
        if (points[i].mode && *points[i].mode != TravelMode::stationary)
            effective = points[i].mode;
        if (effective == TravelMode::automotive)
            closeRun(i);
        else if (runStart == kNoRun)
            runStart = i;
    }
    closeRun(count);
    return best.value_or(IndexRange{0, count});
}

IndexRange Track::trimmedRange(double minimumDurationSeconds, double radiusMeters) const
{
    const std::size_t count = points.size();
    if (count < 3)
        return {0, count};
    auto lasted = [&](std::size_t from, std::size_t to) {
        return std::chrono::duration<double>(points[to].timestamp - points[from].timestamp).count()
            >= minimumDurationSeconds;
    };

    // The start's wait: the points within the radius of the first one.
    std::size_t leadingEnd = 1;
    while (leadingEnd < count && points[0].distance(points[leadingEnd]) <= radiusMeters)
        ++leadingEnd;
    const std::size_t first = lasted(0, leadingEnd - 1) ? leadingEnd - 1 : 0;

    // The end's wait: the points within the radius of the last one, back to just after
    // the first kept point.
    const std::size_t lastIndex = count - 1;
    std::size_t trailingStart = lastIndex;
    if (first < count - 2) {
        trailingStart = first + 1;
        for (std::size_t k = count - 2; k > first; --k) {
            if (points[lastIndex].distance(points[k]) > radiusMeters) {
                trailingStart = k + 1;
                break;
            }
        }
    }
    const std::size_t last = lasted(trailingStart, lastIndex) ? trailingStart : lastIndex;

    if (first < last)
        return {first, last + 1};
    return {0, count};
}

} // namespace velorin
