#include "app/ui/CompassDial.h"

#include "app/AppModel.h"
#include "widgets/ControlLook.h"
#include "widgets/Symbols.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = CompassDial::kSizePoints / 2;
constexpr double kRingWidthPoints = CompassDial::kSizePoints / 2 - CompassDial::kRingInnerRadiusPoints;
constexpr double kRingOpacity = 0.28;
constexpr int kTickCount = 8;
constexpr double kTickWidthPoints = 1.5;
constexpr double kMajorTickLengthPoints = 6;
constexpr double kMinorTickLengthPoints = 3;
constexpr double kTickOffsetPoints = 36;
constexpr double kTickOpacity = 0.7;
constexpr double kNorthPixelSize = 14;
constexpr double kNorthOffsetPoints = 30.8;
constexpr double kCentreDiscDiameterPoints = 42;
constexpr double kCentreDiscOpacity = 0.18;
constexpr double kCentreDiscGrabbedOpacity = 0.35;
constexpr double kEyePixelSize = 18.2;

// The pointer's angle about the dial centre; 0 on the centre itself.
double angleAbout(QPointF point)
{
    return std::atan2(point.y() - kCentre, point.x() - kCentre);
}

double distanceFromCentre(QPointF point)
{
    return std::hypot(point.x() - kCentre, point.y() - kCentre);
}

} // namespace

CompassDial::CompassDial(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setFixedSize(sizeHint());
    setCursor(Qt::OpenHandCursor);
    setToolTip(QStringLiteral(
        "Anneau : tourner autour du point visé · centre : tourner sur place · clic : nord en haut, puis suivi du cap"));
    setAccessibleDescription(
        QStringLiteral("Faire tourner l'anneau tourne autour du point visé ; le centre tourne le regard sur place."));
    connect(&model_, &AppModel::changed, this, &CompassDial::refresh);
    refresh();
}

QFont CompassDial::northFont()
{
    return ControlLook::textFont(kNorthPixelSize, QFont::ExtraBold);
}

QSize CompassDial::sizeHint() const
{
    return { int(kSizePoints), int(kSizePoints) };
}

void CompassDial::refresh()
{
    setAccessibleName(model_.isCompassFollowing() ? QStringLiteral("Arrêter le suivi du cap")
                                                  : QStringLiteral("Nord en haut, puis suivre le cap"));
    update();
}

void CompassDial::mousePressEvent(QMouseEvent* event)
{
    // Only the round dial answers, not the corners of its square.
    if (event->button() != Qt::LeftButton || distanceFromCentre(event->position()) > kCentre) {
        event->ignore();
        return;
    }
    pressLocation_ = event->position();
    dragging_ = false;
}

void CompassDial::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressLocation_)
        return;
    const QPointF moved = event->position() - *pressLocation_;
    if (!dragging_ && std::hypot(moved.x(), moved.y()) < kDragMinimumPoints)
        return;
    dragging_ = true;
    dragChanged(event->position(), *pressLocation_);
}

void CompassDial::mouseReleaseEvent(QMouseEvent* event)
{
    if (!pressLocation_ || event->button() != Qt::LeftButton)
        return;
    const bool dragged = dragging_;
    pressLocation_.reset();
    dragging_ = false;
    if (dragged) {
        // The next drag decides again from where it starts.
        grabbedOuter_.reset();
        update();
        return;
    }
    model_.revealControls();
    model_.toggleCompassFollowing();
}

void CompassDial::dragChanged(QPointF location, QPointF start)
{
    const double angle = angleAbout(location);
    if (!grabbedOuter_) {
        grabbedOuter_ = distanceFromCentre(start) > kGrabRadiusPoints;
        lastAngle_ = angleAbout(start);
        update();
    }
    double delta = std::fmod(angle - lastAngle_, 2 * kPi);
    lastAngle_ = angle;
    model_.revealControls();
    // Across the line left of the centre atan2 jumps by a full turn; the short way is meant.
    if (delta > kPi)
        delta -= 2 * kPi;
    if (delta <= -kPi)
        delta += 2 * kPi;
    // Screen y grows downwards: clockwise pointer motion turns the map anticlockwise, so
    // the ring, drawn turned by the negated bearing, follows the pointer.
    const double turn = -delta;
    auto canvas = model_.canvas();
    if (!canvas)
        return;
    if (*grabbedOuter_)
        canvas->rotate(turn);
    else
        canvas->turnInPlaceNow(turn);
}

void CompassDial::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const bool following = model_.isCompassFollowing();
    const QColor secondary = ControlLook::secondaryColor();

    painter.save();
    painter.translate(kCentre, kCentre);
    painter.rotate(-model_.bearing() * 180 / kPi);
    painter.setOpacity(kRingOpacity);
    painter.setPen(QPen(secondary, kRingWidthPoints));
    painter.setBrush(Qt::NoBrush);
    const double ringMiddle = kCentre - kRingWidthPoints / 2;
    painter.drawEllipse(QPointF(0, 0), ringMiddle, ringMiddle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(secondary);
    // Tick 0 would stand under the "N": it keeps its place but is never seen.
    for (int i = 1; i < kTickCount; ++i) {
        const double length = i % 2 == 0 ? kMajorTickLengthPoints : kMinorTickLengthPoints;
        painter.save();
        painter.rotate(i * 360.0 / kTickCount);
        painter.setOpacity(kTickOpacity);
        const QRectF tick(-kTickWidthPoints / 2, -kTickOffsetPoints - length / 2, kTickWidthPoints, length);
        painter.drawRoundedRect(tick, kTickWidthPoints / 2, kTickWidthPoints / 2);
        painter.restore();
    }
    painter.setOpacity(1);
    painter.setPen(following ? ControlLook::accentColor() : ControlLook::redColor());
    painter.setFont(northFont());
    painter.drawText(QRectF(-kCentre, -kNorthOffsetPoints - kCentre, kSizePoints, kSizePoints), Qt::AlignCenter,
        QStringLiteral("N"));
    painter.restore();

    painter.setPen(Qt::NoPen);
    painter.setBrush(secondary);
    painter.setOpacity(grabbedOuter_ == false ? kCentreDiscGrabbedOpacity : kCentreDiscOpacity);
    painter.drawEllipse(QPointF(kCentre, kCentre), kCentreDiscDiameterPoints / 2, kCentreDiscDiameterPoints / 2);

    painter.setOpacity(1);
    painter.setPen(following ? ControlLook::accentColor() : ControlLook::primaryColor());
    painter.setFont(Symbols::font(kEyePixelSize, QFont::DemiBold));
    painter.drawText(rect(), Qt::AlignCenter, Symbols::glyph("eye"));
}

} // namespace velorin
