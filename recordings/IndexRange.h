#pragma once

#include <cstddef>

namespace velorin {

// A half-open range of point indices, lowerBound ..< upperBound: the points a track
// edit keeps. A plain value; any thread.
struct IndexRange {
    std::size_t lowerBound = 0;
    std::size_t upperBound = 0;

    std::size_t size() const { return upperBound - lowerBound; }

    bool operator==(const IndexRange&) const = default;
};

} // namespace velorin
