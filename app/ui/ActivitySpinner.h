#pragma once

#include <QWidget>

namespace velorin {

// A small indeterminate spinner: an arc turning while it is shown, repainting only itself.
// GUI thread only.
class ActivitySpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSizePoints = 16;
    static constexpr int kFrameIntervalMilliseconds = 33;
    // One turn a second.
    static constexpr double kDegreesPerFrame = 360.0 * kFrameIntervalMilliseconds / 1000;

    explicit ActivitySpinner(QWidget* parent, int sizePoints = kSizePoints);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int sizePoints_;
    double angleDegrees_ = 0;
};

} // namespace velorin
