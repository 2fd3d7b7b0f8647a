#include "canvas/qt/PauseChip.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velorin {

QFont PauseChip::font()
{
    QFont font;
    font.setPixelSize(int(kTextPoints));
    font.setWeight(QFont::DemiBold);
    return font;
}

PauseChip::PauseChip(const QString& text, QWidget* parent)
    : QWidget(parent)
    , text_(text)
{
    const QRectF box(0, 0, kMaxTextWidthPoints, kMaxTextHeightPoints);
    const QRectF needed = QFontMetricsF(font()).boundingRect(box, Qt::TextWordWrap, text_).intersected(box);
    textSize_ = QSize(int(std::ceil(needed.width())), int(std::ceil(needed.height())));
    setFixedSize(textSize_.width() + 2 * kHorizontalPaddingPoints, textSize_.height() + 2 * kVerticalPaddingPoints);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PauseChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = height() / 2.0;
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.3f), 1));
    painter.setBrush(QColor::fromRgbF(0.11f, 0.11f, 0.13f, 0.92f));
    painter.drawRoundedRect(capsule, radius - 0.5, radius - 0.5);
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(QRectF(kHorizontalPaddingPoints, kVerticalPaddingPoints, textSize_.width(), textSize_.height()),
        Qt::AlignCenter | Qt::TextWordWrap, text_);
}

} // namespace velorin
