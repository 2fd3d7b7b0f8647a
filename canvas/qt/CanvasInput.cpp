#include "canvas/qt/CanvasInput.h"

#include "canvas/MapCanvasView.h"

#include <QWidget>

namespace velorin {

CanvasInput::CanvasInput(std::weak_ptr<MapCanvasView> canvas, QWidget* target)
    : QObject(target)
    , canvas_(std::move(canvas))
    , target_(target)
{
    target_->installEventFilter(this);
}

KeyModifiers CanvasInput::modifiers(Qt::KeyboardModifiers flags)
{
    return {flags.testFlag(Qt::ControlModifier), flags.testFlag(Qt::AltModifier), flags.testFlag(Qt::ShiftModifier),
        flags.testFlag(Qt::MetaModifier)};
}

bool CanvasInput::eventFilter(QObject* watched, QEvent* event)
{
    return QObject::eventFilter(watched, event);
}

} // namespace velorin
