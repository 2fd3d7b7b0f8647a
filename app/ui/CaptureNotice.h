#pragma once

#include <QWidget>

class QLabel;

namespace velorin {

class AppModel;
class OverlayTransition;

// The notice over the map after a capture ("Vue enregistrée"): a camera symbol and the
// model's notice text in a capsule, sliding in from the top while the model holds a
// notice. GUI thread only; the model outlives it.
class CaptureNotice : public QWidget {
public:
    static constexpr int kHorizontalPaddingPoints = 14;
    static constexpr int kVerticalPaddingPoints = 8;
    static constexpr int kSpacingPoints = 6;
    static constexpr double kTextPixelSize = 15;
    static constexpr double kTransitionSeconds = 0.25;

    CaptureNotice(AppModel& model, QWidget* parent = nullptr);

    QLabel& text() const { return *text_; }
    OverlayTransition& transition() const { return *transition_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    QLabel* symbol_;
    QLabel* text_;
    OverlayTransition* transition_;
};

} // namespace velorin
