#pragma once

#include <QWidget>

class QLabel;

namespace velorin {

class AppModel;
class SymbolButton;

// The banner at the top of the map screen while a camera flight runs: a back arrow that
// ends the flight, the flight's name and its distance from the start ("· 2,50 km depuis
// le départ"), on one line. GUI thread only; the model outlives it.
class FlightBanner : public QWidget {
public:
    static constexpr int kSpacingPoints = 8;
    static constexpr int kHorizontalPaddingPoints = 14;
    static constexpr int kVerticalPaddingPoints = 8;
    static constexpr int kTopMarginPoints = 8;
    static constexpr double kSubheadlinePixelSize = 15;
    // The back arrow's square, which takes the pointer.
    static constexpr double kBackButtonPoints = 20;

    FlightBanner(AppModel& model, QWidget* parent);

    SymbolButton& backButton() const { return *back_; }
    QLabel& name() const { return *name_; }
    QLabel& distance() const { return *distance_; }
    // "· 1000 m depuis le départ".
    static QString distanceText(double meters);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    SymbolButton* back_;
    QLabel* name_;
    QLabel* distance_;
};

} // namespace velorin
