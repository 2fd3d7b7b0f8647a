#include "app/ui/OverlayLayer.h"

#include <QChildEvent>
#include <QEvent>

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
    const QRegion controls = childrenRegion();
    // An empty mask would mean no mask at all: the whole sheet would catch the pointer.
    setAttribute(Qt::WA_TransparentForMouseEvents, controls.isEmpty());
    if (controls.isEmpty())
        clearMask();
    else
        setMask(controls);
}

} // namespace velorin
