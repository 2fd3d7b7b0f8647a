#include "canvas/qt/PhotoPin.h"

#include "widgets/Symbols.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velorin {

PhotoPin::PhotoPin(double sizePoints, const QString& accessibleText, QWidget* parent)
    : QAbstractButton(parent)
{
    const int side = int(std::lround(sizePoints));
    setFixedSize(side, side);
    setAccessibleName(accessibleText);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void PhotoPin::setThumbnail(QImage image)
{
    thumbnail_ = std::move(image);
    update();
}

void PhotoPin::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath round;
    round.addEllipse(disc);
    painter.save();
    painter.setClipPath(round);
    painter.fillRect(rect(), QColor::fromRgbF(0.15f, 0.15f, 0.15f, 0.9f));
    if (!thumbnail_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), thumbnail_);
    } else {
        painter.setPen(Qt::white);
        painter.setFont(Symbols::font(kSymbolPoints, QFont::Normal));
        painter.drawText(rect(), Qt::AlignCenter, Symbols::glyph("camera.fill"));
    }
    painter.restore();
    const double inset = kBorderPoints / 2;
    painter.setPen(QPen(Qt::white, kBorderPoints));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

} // namespace velorin
