#pragma once

#include <QWidget>

namespace velorin {

// Where a running flyover is: an orange dot ringed in white, with a soft shadow around it
// (drawn in the widget's margin). It lets the pointer through. GUI thread only.
class FlyoverDot : public QWidget {
public:
    static constexpr int kDiameterPoints = 18;
    static constexpr double kBorderPoints = 3;
    static constexpr int kShadowPoints = 3;
    static constexpr double kShadowOpacity = 0.4;

    explicit FlyoverDot(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velorin
