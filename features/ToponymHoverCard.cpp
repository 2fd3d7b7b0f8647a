#include "features/ToponymHoverCard.h"

#include <algorithm>

namespace velorin {

ToponymHoverCard ToponymHoverCard::beside(const ScreenRect& label)
{
    const double height = std::max(kMinHeightPoints, label.height + kPaddingPoints);
    const double width = label.width + kExtraWidthPoints;
    const double buttonY = (height - kButtonPoints) / 2;
    ToponymHoverCard card;
    card.frame = {label.minX() - kPaddingPoints, label.midY() - height / 2, width, height};
    card.cornerRadius = height / 2;
    card.jump = {width - kJumpFromRightPoints, buttonY, kButtonPoints, kButtonPoints};
    card.go = {width - kGoFromRightPoints, buttonY, kButtonPoints, kButtonPoints};
    return card;
}

} // namespace velorin
