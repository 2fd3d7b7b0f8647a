#pragma once

#include "library/ProfileSeries.h"
#include "library/TrackDetailValues.h"

#include <QtCharts/QChartView>

#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QLineSeries;

namespace velorin {

// A track's altitude profile: an orange line over a fading orange area, kilometres along
// the bottom and metres on the leading side, labelled in French by us. The profile is thinned
// to the plot's pixel columns again whenever its width changes. GUI thread only.
class AltitudeProfileChart : public QChartView {
public:
    static constexpr int kHeightPoints = 200;
    static constexpr double kLineWidthPoints = 2;
    static constexpr double kAreaTopOpacity = 0.22;
    static constexpr double kAreaBottomOpacity = 0.01;
    // Marks on each axis, at most.
    static constexpr int kMostAltitudeTicks = 5;
    static constexpr int kMostDistanceTicks = 6;

    // `domain` is the altitude span the chart shows; the area below it is cut off.
    AltitudeProfileChart(std::vector<TrackProfileSample> profile, TrackDetailValues::AltitudeDomain domain,
        QWidget* parent = nullptr);

    // What the line draws now, and the axes' marks as (value, text).
    std::vector<ProfilePoint> drawnPoints() const;
    std::vector<std::pair<double, QString>> altitudeMarks() const;
    std::vector<std::pair<double, QString>> distanceMarks() const;
    // The axes' ranges: altitude in metres, distance in kilometres.
    std::pair<double, double> altitudeRange() const;
    std::pair<double, double> distanceRange() const;

private:
    void thinTo(int columns);

    const std::vector<TrackProfileSample> profile_;
    QLineSeries* line_;
    QLineSeries* areaTop_;
    QAreaSeries* area_;
    QCategoryAxis* altitudeAxis_;
    QCategoryAxis* distanceAxis_;
    int columns_ = 0;
};

} // namespace velorin
