#include "library/ProgressRing.h"

#include "widgets/ControlLook.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

constexpr double kLineWidth = 3;
constexpr double kTrackOpacity = 0.2;

} // namespace

ProgressRing::ProgressRing(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
}

void ProgressRing::setValue(double value)
{
    value = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    if (value == value_)
        return;
    value_ = value;
    update();
}

QSize ProgressRing::sizeHint() const
{
    return { kSizePoints, kSizePoints };
}

void ProgressRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = kLineWidth / 2 + 1;
    const QRectF circle = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QColor track = palette().color(QPalette::WindowText);
    track.setAlphaF(kTrackOpacity);
    painter.setPen(QPen(track, kLineWidth));
    painter.drawEllipse(circle);
    painter.setPen(QPen(ControlLook::accentColor(), kLineWidth, Qt::SolidLine, Qt::RoundCap));
    // Qt counts arcs in sixteenths of a degree, anticlockwise from three o'clock.
    painter.drawArc(circle, 90 * 16, -int(std::lround(value_ * 360 * 16)));
}

} // namespace velorin
