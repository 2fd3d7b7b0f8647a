#pragma once

#include <QWidget>

class QLabel;

namespace velorin {

class AppModel;
class ScaleBar;

// The credit line of the shown basemap above the scale bar, at the bottom of the map
// screen; basemaps without a credit line show the scale bar alone. GUI thread only; the
// model outlives it.
class AttributionColumn : public QWidget {
public:
    static constexpr int kSpacingPoints = 6;
    static constexpr int kFontPoints = 10;

    AttributionColumn(AppModel& model, QWidget* parent = nullptr);

    QLabel& attribution() const { return *attribution_; }
    ScaleBar& scaleBar() const { return *scaleBar_; }

private:
    void refresh();

    AppModel& model_;
    QLabel* attribution_;
    ScaleBar* scaleBar_;
};

} // namespace velorin
