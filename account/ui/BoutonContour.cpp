#include "account/ui/BoutonContour.h"

#include <QPainter>

namespace velorin {

BoutonContour::BoutonContour(const QString& text, int verticalPaddingPoints, QWidget* parent)
    : QPushButton(text, parent)
    , verticalPaddingPoints_(verticalPaddingPoints)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize BoutonContour::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { metrics.horizontalAdvance(text()) + 2 * metrics.height(), metrics.height() + 2 * verticalPaddingPoints_ };
}

void BoutonContour::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isDown() ? kPressedOpacity : 1.0);
    const double inset = kLineWidthPoints / 2;
    painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::white), kLineWidthPoints));
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), kCornerRadiusPoints, kCornerRadiusPoints);
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace velorin
