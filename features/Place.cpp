#include "features/Place.h"

#include <algorithm>
#include <limits>

namespace velorin {

Toponym Place::toponym() const
{
    constexpr int64_t kLowest = std::numeric_limits<int>::min();
    constexpr int64_t kHighest = std::numeric_limits<int>::max();
    return {id, name, kind, latitude, longitude, int(std::clamp(importance, kLowest, kHighest)), altitude};
}

} // namespace velorin
