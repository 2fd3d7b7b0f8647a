#include "widgets/FadingShadowEffect.h"

#include <QPainter>
#include <QPixmap>
#include <QTransform>

#include <algorithm>

namespace velorin {

FadingShadowEffect::FadingShadowEffect(QObject* parent)
    : QGraphicsDropShadowEffect(parent)
{
    setBlurRadius(0);
    setOffset(0, 0);
}

void FadingShadowEffect::setOpacity(double opacity)
{
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_)
        return;
    opacity_ = opacity;
    update();
}

void FadingShadowEffect::draw(QPainter* painter)
{
    if (opacity_ <= 0)
        return;
    if (opacity_ >= 1) {
        QGraphicsDropShadowEffect::draw(painter);
        return;
    }
    painter->save();
    painter->setOpacity(painter->opacity() * opacity_);
    if (blurRadius() > 0 || !offset().isNull()) {
        // The shadow and the control are drawn from pictures, which take the opacity.
        QGraphicsDropShadowEffect::draw(painter);
    } else {
        // Without a shadow the control would be drawn straight, ignoring the opacity.
        QPoint at;
        const QPixmap picture = sourcePixmap(Qt::DeviceCoordinates, &at, QGraphicsEffect::NoPad);
        painter->setWorldTransform(QTransform());
        painter->drawPixmap(at, picture);
    }
    painter->restore();
}

} // namespace velorin
