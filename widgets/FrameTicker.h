#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace velorin {

// Drives a small animated overlay: calls `onFrame` at a fixed interval exactly while its
// widget is shown, so a hidden overlay costs nothing and the map under it is never asked
// to redraw. GUI thread only.
class FrameTicker : public QObject {
    Q_OBJECT

public:
    FrameTicker(QWidget& widget, int intervalMilliseconds, std::function<void()> onFrame);

    bool isRunning() const { return timer_.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTimer timer_;
};

} // namespace velorin
