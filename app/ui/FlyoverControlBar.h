#pragma once

#include <QWidget>

namespace velorin {

class AppModel;
class SymbolButton;
class TitledSymbolButton;

// The capsule of buttons during a flyover: fly farther behind, the camera mode now in
// force ("Suivi" or "Drone"), pause or resume, "Arrêter", and fly closer. The distance and
// stop buttons act on the canvas, and do nothing without one. GUI thread only; the model
// outlives it.
class FlyoverControlBar : public QWidget {
    Q_OBJECT

public:
    static constexpr double kSubheadlinePixelSize = 15;
    static constexpr QSize kSymbolFrame { 44, 40 };
    static constexpr int kButtonHeightPoints = 40;
    static constexpr int kModePaddingPoints = 12;
    static constexpr int kStopPaddingPoints = 14;
    static constexpr int kDividerHeightPoints = 22;
    // The canvas's distance steps: farther behind, then closer.
    static constexpr double kFartherStep = -1;
    static constexpr double kCloserStep = 1;

    FlyoverControlBar(AppModel& model, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolButton* addSymbolButton(const char* name, const char* symbol, std::function<void()> action);
    void addDivider();
    void refresh();

    AppModel& model_;
    TitledSymbolButton* mode_;
    SymbolButton* pause_;
};

} // namespace velorin
