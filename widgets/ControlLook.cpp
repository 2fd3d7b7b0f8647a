#include "widgets/ControlLook.h"

#include "widgets/FadingShadowEffect.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>

namespace velorin {

namespace {

constexpr double kDividerOpacity = 0.2;

} // namespace

QWidget* ControlLook::makeDivider(QSize size, QWidget* parent)
{
    auto* divider = new QWidget(parent);
    divider->setFixedSize(size);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    QColor line = Qt::white;
    line.setAlphaF(float(kDividerOpacity));
    palette.setColor(QPalette::Window, line);
    divider->setPalette(palette);
    return divider;
}

QColor ControlLook::materialColor()
{
    return QColor(30, 30, 32, 204);
}

QColor ControlLook::primaryColor()
{
    return QColor(235, 235, 240);
}

QColor ControlLook::secondaryColor()
{
    return QColor(235, 235, 245, 153);
}

QColor ControlLook::accentColor()
{
    return QColor(10, 132, 255);
}

QColor ControlLook::redColor()
{
    return QColor(255, 69, 58);
}

QColor ControlLook::greenColor()
{
    return QColor(48, 209, 88);
}

QColor ControlLook::orangeColor()
{
    return QColor(255, 159, 10);
}

void ControlLook::paintBackground(QPainter& painter, const QRectF& rect, double cornerRadius)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min(cornerRadius, rect.height() / 2);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.fillPath(shape, materialColor());
    // Half the pen inside the shape, so the whole line lies within it.
    const double inset = kBorderWidth / 2;
    const QRectF inner = rect.adjusted(inset, inset, -inset, -inset);
    QColor border = Qt::white;
    border.setAlphaF(float(kBorderOpacity));
    painter.setPen(QPen(border, kBorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(inner, std::max(0.0, radius - inset), std::max(0.0, radius - inset));
    painter.restore();
}

void ControlLook::applyShadow(QWidget& widget, const Shadow& shadow)
{
    auto* effect = new FadingShadowEffect(&widget);
    QColor color = Qt::black;
    color.setAlphaF(float(shadow.opacity));
    effect->setColor(color);
    effect->setBlurRadius(shadow.radius);
    effect->setOffset(shadow.offset);
    widget.setGraphicsEffect(effect);
}

QEasingCurve ControlLook::easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

QFont ControlLook::textFont(double pixelSize, QFont::Weight weight)
{
    QFont font;
    font.setPixelSize(std::max(1, int(pixelSize + 0.5)));
    font.setWeight(weight);
    return font;
}

} // namespace velorin
