#include "app/ui/OverlayLayer.h"

#include "widgets/ControlLook.h"
#include "app/ui/OverlayItem.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGraphicsEffect>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <memory>
#include <utility>
#include <vector>

namespace velorin {

OverlayLayer::OverlayLayer(Qt::Alignment alignment, QMargins margins, int spacing, QWidget* parent)
    : QWidget(parent)
    , column_(new QVBoxLayout(this))
{
    column_->setAlignment(alignment);
    column_->setContentsMargins(margins);
    column_->setSpacing(spacing);
    glide_.setStartValue(0.0);
    glide_.setEndValue(1.0);
    glide_.setEasingCurve(ControlLook::easeInOut());
    connect(&glide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double progress = value.toDouble();
        forEachItem([progress](OverlayItem& item) { item.glide(progress); });
    });
    updateMask();
}

void OverlayLayer::add(QWidget* control, Qt::Alignment alignment, int leadingPadding)
{
    Q_ASSERT(control->parentWidget() == this);
    auto* item = new OverlayItem(control);
    item->setAlignment(alignment);
    if (leadingPadding == 0) {
        column_->addItem(item);
        return;
    }
    // A padded row of its own, so that only the control itself takes the pointer.
    auto* row = new QHBoxLayout;
    row->setContentsMargins(leadingPadding, 0, 0, 0);
    row->addItem(item);
    column_->addLayout(row);
}

void OverlayLayer::setInColumn(QWidget& control, bool in, int glideMs)
{
    OverlayItem* changed = nullptr;
    std::vector<std::pair<OverlayItem*, QPoint>> standing;
    forEachItem([&](OverlayItem& item) {
        if (item.widget() == &control)
            changed = &item;
        else if (!item.isEmpty())
            standing.emplace_back(&item, item.widget()->pos());
    });
    if (!changed)
        return;
    glide_.stop();
    changed->setOut(!in);
    forEachItem([](OverlayItem& item) { item.settle(); });
    column_->invalidate();
    column_->activate();
    if (!isVisible() || glideMs <= 0)
        return;
    // The others set off from where they stood, mid-glide or not, towards their new places.
    for (auto [item, position] : standing)
        item->glideFrom(position);
    glide_.setDuration(glideMs);
    glide_.start();
}

void OverlayLayer::forEachItem(const std::function<void(OverlayItem&)>& visit) const
{
    const std::function<void(QLayout&)> walk = [&](QLayout& layout) {
        for (int i = 0; i < layout.count(); ++i) {
            QLayoutItem* item = layout.itemAt(i);
            if (auto* control = dynamic_cast<OverlayItem*>(item))
                visit(*control);
            else if (item->layout())
                walk(*item->layout());
        }
    };
    walk(*column_);
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
