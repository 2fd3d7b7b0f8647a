#pragma once

#include <QWidget>

namespace velorin {

// A determinate circular progress indicator: a faint circle with an arc over the share
// done, clockwise from the top. GUI thread only.
class ProgressRing : public QWidget {
public:
    static constexpr int kSizePoints = 28;

    explicit ProgressRing(QWidget* parent = nullptr);

    // 0 to 1; other values are clamped.
    void setValue(double value);
    double value() const { return value_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double value_ = 0;
};

} // namespace velorin
