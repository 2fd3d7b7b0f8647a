#include "app/ui/Pill.h"

#include "widgets/ControlLook.h"

#include <QPainter>

namespace velorin {

Pill::Pill(QWidget* parent)
    : QWidget(parent)
{
    setContentsMargins(kHorizontalPaddingPoints, kVerticalPaddingPoints, kHorizontalPaddingPoints, kVerticalPaddingPoints);
    ControlLook::applyShadow(*this, ControlLook::kPillShadow);
}

void Pill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ControlLook::paintBackground(painter, rect(), ControlLook::kPillCornerRadius);
}

} // namespace velorin
