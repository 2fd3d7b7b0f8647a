#include "widgets/ActivitySpinner.h"

#include "widgets/FrameTicker.h"

#include <QPainter>

#include <cmath>

namespace velorin {

namespace {

constexpr double kLineWidth = 2;
// The arc covers three quarters of the circle.
constexpr int kArcSpanDegrees = 270;

} // namespace

ActivitySpinner::ActivitySpinner(QWidget* parent, const QColor& color, int sizePoints)
    : QWidget(parent)
    , color_(color)
    , sizePoints_(sizePoints)
{
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    new FrameTicker(*this, kFrameIntervalMilliseconds, [this] {
        angleDegrees_ = std::fmod(angleDegrees_ + kDegreesPerFrame, 360.0);
        update();
    });
}

QSize ActivitySpinner::sizeHint() const
{
    return { sizePoints_, sizePoints_ };
}

void ActivitySpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color_, kLineWidth, Qt::SolidLine, Qt::RoundCap));
    const double inset = kLineWidth / 2 + 1;
    const QRectF circle = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    // Qt counts arcs in sixteenths of a degree, anticlockwise.
    painter.drawArc(circle, int(-angleDegrees_ * 16), kArcSpanDegrees * 16);
}

} // namespace velorin
