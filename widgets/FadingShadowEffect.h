#pragma once

#include <QGraphicsDropShadowEffect>

namespace velorin {

// The drop shadow of a floating map control that can also fade the control, its children
// and its shadow together, for the control's entrances and exits. Casts no shadow until
// given one. GUI thread only.
class FadingShadowEffect : public QGraphicsDropShadowEffect {
public:
    explicit FadingShadowEffect(QObject* parent = nullptr);

    // 0 draws nothing, 1 draws the control as it is.
    void setOpacity(double opacity);
    double opacity() const { return opacity_; }

protected:
    void draw(QPainter* painter) override;

private:
    double opacity_ = 1;
};

} // namespace velorin
