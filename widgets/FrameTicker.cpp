#include "widgets/FrameTicker.h"

#include <QEvent>
#include <QWidget>

namespace velorin {

FrameTicker::FrameTicker(QWidget& widget, int intervalMilliseconds, std::function<void()> onFrame)
    : QObject(&widget)
{
    timer_.setInterval(intervalMilliseconds);
    connect(&timer_, &QTimer::timeout, this, std::move(onFrame));
    widget.installEventFilter(this);
    if (widget.isVisible())
        timer_.start();
}

bool FrameTicker::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Show)
        timer_.start();
    else if (event->type() == QEvent::Hide)
        timer_.stop();
    return false;
}

} // namespace velorin
