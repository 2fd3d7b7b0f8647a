#include "canvas/qt/FlyoverDot.h"

#include <QPainter>
#include <QRadialGradient>

namespace velorin {

FlyoverDot::FlyoverDot(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(kDiameterPoints + 2 * kShadowPoints, kDiameterPoints + 2 * kShadowPoints);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FlyoverDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF middle = QRectF(rect()).center();
    const double radius = kDiameterPoints / 2.0;
    QRadialGradient shadow(middle, radius + kShadowPoints);
    shadow.setColorAt(radius / (radius + kShadowPoints) - 0.05, QColor::fromRgbF(0, 0, 0, float(kShadowOpacity)));
    shadow.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shadow);
    painter.drawEllipse(middle, radius + kShadowPoints, radius + kShadowPoints);
    // System orange.
    painter.setBrush(QColor(255, 149, 0));
    painter.setPen(QPen(Qt::white, kBorderPoints));
    const double ring = radius - kBorderPoints / 2;
    painter.drawEllipse(middle, ring, ring);
}

} // namespace velorin
