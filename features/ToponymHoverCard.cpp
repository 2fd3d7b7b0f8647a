#include "features/ToponymHoverCard.h"

#include <algorithm>

namespace velorin {

ToponymHoverCard ToponymHoverCard::beside(const ScreenRect& label, double viewWidth)
{
    const double height = std::max(kMinHeightPoints, label.height + kPaddingPoints);
    const double width = label.width + kExtraWidthPoints;
    const double buttonY = (height - kButtonPoints) / 2;
    ToponymHoverCard card;
    card.frame = {label.minX() - kPaddingPoints, label.midY() - height / 2, width, height};
    card.cornerRadius = height / 2;
    card.jump = {width - kJumpFromRightPoints, buttonY, kButtonPoints, kButtonPoints};
    card.go = {width - kGoFromRightPoints, buttonY, kButtonPoints, kButtonPoints};
    if (card.frame.maxX() > viewWidth - kTrailingClearancePoints) {
        // Mirrored about the label: the card ends where it began, the buttons lead.
        card.frame.x = label.maxX() + kPaddingPoints - width;
        card.jump.x = kGoFromRightPoints - kButtonPoints;
        card.go.x = kJumpFromRightPoints - kButtonPoints;
    }
    return card;
}

} // namespace velorin
