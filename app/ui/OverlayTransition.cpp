#include "app/ui/OverlayTransition.h"

#include "widgets/ControlLook.h"
#include "widgets/FadingShadowEffect.h"
#include "app/ui/OverlayLayer.h"

#include <QEvent>
#include <QLayout>
#include <QSignalBlocker>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace velorin {

OverlayTransition::OverlayTransition(QWidget& control, Qt::Edge edge, double durationSeconds)
    : QObject(&control)
    , control_(control)
    , edge_(edge)
    , durationMs_(std::max(1, int(std::lround(durationSeconds * 1000))))
    , effect_(dynamic_cast<FadingShadowEffect*>(control.graphicsEffect()))
    , shown_(!control.isHidden())
    , progress_(shown_ ? 1 : 0)
    , place_(control.geometry())
{
    // A widget has one graphics effect: the fade rides on the control's shadow.
    Q_ASSERT(effect_ || !control.graphicsEffect());
    if (!effect_) {
        effect_ = new FadingShadowEffect(&control);
        control.setGraphicsEffect(effect_);
    }
    animation_.setEasingCurve(ControlLook::easeInOut());
    connect(&animation_, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { apply(value.toDouble()); });
    control.installEventFilter(this);
}

void OverlayTransition::setShown(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    animation_.stop();
    const double target = shown ? 1 : 0;
    QWidget* layer = control_.parentWidget();
    // In an overlay layer the control gives up its room as it sets off, or takes it back,
    // and its neighbours glide along with it.
    auto* overlay = dynamic_cast<OverlayLayer*>(layer);
    if (!layer || !layer->isVisible()) {
        apply(target);
        if (overlay)
            overlay->setInColumn(control_, shown, 0);
        return;
    }
    if (shown && control_.isHidden())
        control_.show();
    if (overlay) {
        overlay->setInColumn(control_, shown, durationMs_);
    } else if (shown && layer->layout()) {
        // The control slides towards its place, so the layout places it first.
        layer->layout()->activate();
    }
    apply(progress_);
    {
        // Setting the ends re-reads the value at the old time; the control stays where it is.
        const QSignalBlocker quiet(animation_);
        animation_.setStartValue(progress_);
        animation_.setEndValue(target);
        animation_.setDuration(std::max(1, int(std::lround(durationMs_ * std::abs(target - progress_)))));
    }
    animation_.start();
}

bool OverlayTransition::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &control_ || moving_)
        return QObject::eventFilter(watched, event);
    // A move the transition did not make is the layout placing the control anew; a
    // resize alone leaves it where the transition holds it.
    if (event->type() == QEvent::Move) {
        place_ = control_.geometry();
        offset_ = {};
    } else if (event->type() == QEvent::Resize) {
        place_ = QRect(control_.pos() - offset_, control_.size());
    } else {
        return QObject::eventFilter(watched, event);
    }
    if (progress_ < 1 && !control_.isHidden())
        moveBy(offsetAt(progress_));
    return QObject::eventFilter(watched, event);
}

void OverlayTransition::apply(double progress)
{
    progress_ = progress;
    if (effect_)
        effect_->setOpacity(progress);
    // Standing at its place, the control is wherever the layout last put it.
    if (offset_.isNull())
        place_ = control_.geometry();
    const bool gone = !shown_ && progress <= 0;
    // A control that has left waits at its place, hidden, for its next entrance.
    moveBy(gone ? QPoint() : offsetAt(progress));
    control_.setVisible(!gone);
}

QPoint OverlayTransition::offsetAt(double progress) const
{
    const QWidget* layer = control_.parentWidget();
    if (!layer)
        return {};
    const double away = 1 - progress;
    switch (edge_) {
    case Qt::TopEdge:
        return QPoint(0, -int(std::lround(away * (place_.bottom() + 1))));
    case Qt::BottomEdge:
        return QPoint(0, int(std::lround(away * (layer->height() - place_.top()))));
    case Qt::LeftEdge:
        return QPoint(-int(std::lround(away * (place_.right() + 1))), 0);
    case Qt::RightEdge:
        return QPoint(int(std::lround(away * (layer->width() - place_.left()))), 0);
    }
    return {};
}

void OverlayTransition::moveBy(QPoint offset)
{
    if (offset == offset_)
        return;
    offset_ = offset;
    moving_ = true;
    control_.move(place_.topLeft() + offset);
    moving_ = false;
}

} // namespace velorin
