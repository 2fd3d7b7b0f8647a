#pragma once

#include "features/ScreenRect.h"

namespace velorin {

// Where the card of a hovered place name stands: a pill around the label, reaching past its
// text to hold two round buttons, "go directly" then "fly there"; near the view's right edge
// it reaches back before the text instead, buttons in the same order. Frames in view points,
// the buttons' within the card. A plain value; any thread.
struct ToponymHoverCard {
    static constexpr double kMinHeightPoints = 32;
    // The card is this much taller than its label, and starts this far before it.
    static constexpr double kPaddingPoints = 8;
    static constexpr double kExtraWidthPoints = 74;
    static constexpr double kButtonPoints = 26;
    // The buttons' left edges, back from the card's right edge.
    static constexpr double kJumpFromRightPoints = 57;
    static constexpr double kGoFromRightPoints = 31;
    // The column along the view's right edge where the map's palette stands: a card that
    // would reach into it holds its buttons before the label instead.
    static constexpr double kTrailingClearancePoints = 84;

    ScreenRect frame;
    double cornerRadius = 0;
    ScreenRect jump;
    ScreenRect go;

    // The card of a label whose frame is `label`, in a view `viewWidth` points wide.
    static ToponymHoverCard beside(const ScreenRect& label, double viewWidth);

    bool operator==(const ToponymHoverCard&) const = default;
};

} // namespace velorin
