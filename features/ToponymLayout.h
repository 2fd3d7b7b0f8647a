#pragma once

#include "features/ScreenPoint.h"
#include "features/ScreenRect.h"
#include "features/Toponym.h"
#include "map-data/WorldPoint.h"

#include <cstddef>
#include <unordered_map>
#include <vector>

namespace velorin {

// Which place names the map shows and where: greedily, in the order given, each label to
// the right of its marker (to the left at the right edge of the view), none crowding one
// placed before it. Stateless; any thread.
struct ToponymLayout {
    // A name that may be labelled, with the size of its label view in points.
    struct Candidate {
        Toponym toponym;
        double width = 0;
        double height = 0;
    };

    // A placed label: its whole view, marker and text, in view points.
    struct Placement {
        Toponym toponym;
        ScreenRect frame;
        bool textOnLeft = false;

        bool operator==(const Placement&) const = default;
    };

    // Where each name's world point shows in the view, for the points in front of the eye
    // and not hidden by the relief.
    using PointTable = std::unordered_map<WorldPoint, ScreenPoint>;

    // The marker's middle lies this far inside the label's end.
    static constexpr double kMarkerInsetPoints = 4.5;
    // Labels keep twice this apart.
    static constexpr double kClearancePoints = 4;
    // Where a name without a point stands: outside any view.
    static constexpr ScreenPoint kNowhere{-100'000, -100'000};

    // At most `maxCount` placements, in candidate order.
    static std::vector<Placement> layout(const std::vector<Candidate>& candidates, std::size_t maxCount,
        const PointTable& points, const ScreenRect& bounds);
};

} // namespace velorin
