#include "app/ui/PillButton.h"

#include "widgets/ControlLook.h"
#include "app/ui/Pill.h"

#include <QPainter>

namespace velorin {

PillButton::PillButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setContentsMargins(Pill::kHorizontalPaddingPoints, Pill::kVerticalPaddingPoints, Pill::kHorizontalPaddingPoints,
        Pill::kVerticalPaddingPoints);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    ControlLook::applyShadow(*this, ControlLook::kPillShadow);
}

void PillButton::passPointerThrough(QWidget& child)
{
    child.setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), ControlLook::kPillCornerRadius);
}

} // namespace velorin
