#pragma once

#include <QColor>
#include <QWidget>

namespace velorin {

// A small indeterminate spinner: an arc in the given colour turning while it is shown,
// repainting only itself. GUI thread only.
class ActivitySpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSizePoints = 16;
    static constexpr int kFrameIntervalMilliseconds = 33;
    // One turn a second.
    static constexpr double kDegreesPerFrame = 360.0 * kFrameIntervalMilliseconds / 1000;

    ActivitySpinner(QWidget* parent, const QColor& color, int sizePoints = kSizePoints);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
    int sizePoints_;
    double angleDegrees_ = 0;
};

} // namespace velorin
