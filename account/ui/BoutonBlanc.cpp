#include "account/ui/BoutonBlanc.h"

#include "widgets/ActivitySpinner.h"

#include <QPainter>
#include <QPainterPath>

namespace velorin {

BoutonBlanc::BoutonBlanc(const QString& text, const QColor& textColor, int verticalPaddingPoints, QWidget* parent)
    : QPushButton(text, parent)
    , textColor_(textColor)
    , verticalPaddingPoints_(verticalPaddingPoints)
    , spinner_(new ActivitySpinner(this, textColor))
{
    spinner_->hide();
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void BoutonBlanc::setBusy(bool busy)
{
    busy_ = busy;
    spinner_->setVisible(busy);
    update();
}

QSize BoutonBlanc::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { metrics.horizontalAdvance(text()) + 2 * metrics.height(), metrics.height() + 2 * verticalPaddingPoints_ };
}

void BoutonBlanc::resizeEvent(QResizeEvent* event)
{
    QPushButton::resizeEvent(event);
    spinner_->move(rect().center() - spinner_->rect().center());
}

void BoutonBlanc::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : kDisabledOpacity);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadiusPoints, kCornerRadiusPoints);
    QColor fill(Qt::white);
    fill.setAlphaF(isDown() ? kPressedFillOpacity : 1.0);
    painter.fillPath(shape, fill);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPath(shape);
    }
    if (busy_)
        return;
    painter.setPen(textColor_);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace velorin
