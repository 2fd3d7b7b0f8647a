#pragma once

#include <QWidget>

class QLabel;
class QSlider;

namespace velorin {

class AppModel;

// The capsule over the recording panel during a flyover: a slider along the flown path and
// the distance flown of the whole ("425 m / 850 m"). Dragging or clicking the slider moves
// the flyover there; the canvas's position reports move the slider and never seek.
// GUI thread only; the model outlives it.
class FlyoverSlider : public QWidget {
public:
    static constexpr int kSteps = 10'000;
    static constexpr int kSpacingPoints = 10;
    static constexpr int kHorizontalPaddingPoints = 16;
    static constexpr int kVerticalPaddingPoints = 8;
    static constexpr int kSliderWidthPoints = 220;
    static constexpr double kCaptionPixelSize = 12;

    FlyoverSlider(AppModel& model, QWidget* parent);

    QSlider& slider() const { return *slider_; }
    // The distance text, as plain text.
    QString distanceText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    QSlider* slider_;
    QLabel* distance_;
};

} // namespace velorin
