#pragma once

#include <QWidget>

namespace velorin {

class AppModel;
class LoadingWave;
class TitledSymbolButton;

// The wave at the top of the map screen during a flight or a flyover, green as far as it has
// gone; without a progress it only says the map is working. With a progress, the pointer
// over it opens the choices under it: "Arrêter", and during a camera flight "Aller
// directement" to land at once. The choices close when the progress ends. GUI thread only;
// the model outlives it.
class FlightWave : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpacingPoints = 6;
    static constexpr int kHorizontalPaddingPoints = 12;
    static constexpr int kChoiceSpacingPoints = 14;
    static constexpr int kChoicesHorizontalPaddingPoints = 14;
    static constexpr int kChoicesVerticalPaddingPoints = 8;
    static constexpr double kSubheadlinePixelSize = 15;

    FlightWave(AppModel& model, QWidget* parent);

    LoadingWave& wave() const { return *wave_; }
    // The capsule of choices, and its buttons.
    QWidget& choices() const { return *choices_; }
    TitledSymbolButton& stopButton() const { return *stop_; }
    TitledSymbolButton& skipButton() const { return *skip_; }
    bool showsChoices() const { return showsChoices_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setShowsChoices(bool shows);
    void refresh();

    AppModel& model_;
    LoadingWave* wave_;
    QWidget* choices_;
    TitledSymbolButton* stop_;
    TitledSymbolButton* skip_;
    bool showsChoices_ = false;
    bool hadProgress_ = false;
};

} // namespace velorin
