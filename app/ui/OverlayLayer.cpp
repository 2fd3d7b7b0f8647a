#include "app/ui/OverlayLayer.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsEffect>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <memory>

namespace velorin {

OverlayLayer::OverlayLayer(Qt::Alignment alignment, QMargins margins, int spacing, QWidget* parent)
    : QWidget(parent)
    , column_(new QVBoxLayout(this))
{
    column_->setAlignment(alignment);
    column_->setContentsMargins(margins);
    column_->setSpacing(spacing);
    updateMask();
}

void OverlayLayer::add(QWidget* control, Qt::Alignment alignment, int leadingPadding)
{
    if (leadingPadding == 0) {
        column_->addWidget(control, 0, alignment);
        return;
    }
    // A padded row of its own, so that only the control itself takes the pointer.
    auto* row = new QHBoxLayout;
    row->setContentsMargins(leadingPadding, 0, 0, 0);
    row->addWidget(control, 0, alignment);
    column_->addLayout(row);
}

bool OverlayLayer::event(QEvent* event)
{
    if (passOn(event))
        return true;
    if (event->type() == QEvent::ChildAdded) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    }
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
    case QEvent::LayoutRequest:
    case QEvent::Resize:
        updateMask();
        break;
    default:
        break;
    }
    return handled;
}

bool OverlayLayer::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        updateMask();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void OverlayLayer::updateMask()
{
    QRegion controls;
    for (QObject* child : children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control || control->isHidden())
            continue;
        const QGraphicsEffect* effect = control->graphicsEffect();
        controls += effect && effect->isEnabled()
            ? effect->boundingRectFor(QRectF(control->geometry())).toAlignedRect()
            : control->geometry();
    }
    // An empty mask would mean no mask at all: the whole sheet would catch the pointer.
    setAttribute(Qt::WA_TransparentForMouseEvents, controls.isEmpty());
    if (controls.isEmpty())
        clearMask();
    else
        setMask(controls);
}

bool OverlayLayer::passOn(QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
        || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
    if (!mouse && type != QEvent::Wheel && type != QEvent::NativeGesture)
        return false;
    auto* pointer = static_cast<QSinglePointEvent*>(event);
    const QPointF position = pointer->position();
    const bool dragging = dragTarget_ && (type == QEvent::MouseMove || type == QEvent::MouseButtonRelease);
    // An event a control let through climbs to the layer: it was never the map's.
    if (!dragging && childAt(position.toPoint()))
        return false;
    // The widget a drag began on gets its events until the last button is up.
    QWidget* target = dragging ? dragTarget_.data() : widgetBelow(position);
    if (mouse)
        dragTarget_ = pointer->buttons() == Qt::NoButton ? nullptr : target;
    if (!target)
        return false;

    const QPointF global = mapToGlobal(position);
    const QPointF local = target->mapFromGlobal(global);
    std::unique_ptr<QSinglePointEvent> copy;
    if (mouse) {
        auto* original = static_cast<QMouseEvent*>(event);
        copy = std::make_unique<QMouseEvent>(type, local, original->scenePosition(), global, original->button(),
            original->buttons(), original->modifiers(), original->pointingDevice());
    } else if (type == QEvent::Wheel) {
        auto* original = static_cast<QWheelEvent*>(event);
        copy = std::make_unique<QWheelEvent>(local, global, original->pixelDelta(), original->angleDelta(),
            original->buttons(), original->modifiers(), original->phase(), original->inverted(), original->source(),
            original->pointingDevice());
    } else {
        auto* original = static_cast<QNativeGestureEvent*>(event);
        copy = std::make_unique<QNativeGestureEvent>(original->gestureType(), original->pointingDevice(),
            original->fingerCount(), local, original->scenePosition(), global, original->value(), original->delta());
    }
    copy->setTimestamp(pointer->timestamp());
    QCoreApplication::sendEvent(target, copy.get());
    event->setAccepted(copy->isAccepted());
    return true;
}

QWidget* OverlayLayer::widgetBelow(QPointF position)
{
    QWidget* under = parentWidget();
    if (!under)
        return nullptr;
    // Looked up as if the layer were not there; another layer's shadow passes it on again.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    QWidget* below = under->childAt(mapToParent(position.toPoint()));
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    return below ? below : under;
}

} // namespace velorin
