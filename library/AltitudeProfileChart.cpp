#include "library/AltitudeProfileChart.h"

#include "library/ProfileAxis.h"
#include "widgets/ControlLook.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>

#include <QGraphicsLayout>
#include <QLinearGradient>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

// The distance axis never marks finer than its labels' one decimal, nor the altitude axis
// finer than a whole metre.
constexpr double kFinestDistanceStepKilometers = 0.1;
constexpr double kFinestAltitudeStepMeters = 1;
// A walk that goes nowhere still gets a distance axis this long.
constexpr double kShortestDistanceAxisKilometers = 0.1;
constexpr double kMetersPerKilometer = 1000;
constexpr int kTrailingMarginPoints = 24;

QCategoryAxis* makeAxis(double lower, double upper, const std::vector<double>& ticks, std::string (*label)(double))
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // A mark may stand on the range's own start, which a category cannot end at.
    axis->setStartValue(lower - (upper - lower) * 1e-6);
    axis->setRange(lower, upper);
    for (double tick : ticks)
        axis->append(QString::fromStdString(label(tick)), tick);
    return axis;
}

std::vector<std::pair<double, QString>> marks(QCategoryAxis& axis)
{
    std::vector<std::pair<double, QString>> result;
    for (const QString& label : axis.categoriesLabels())
        result.emplace_back(axis.endValue(label), label);
    return result;
}

} // namespace

AltitudeProfileChart::AltitudeProfileChart(std::vector<TrackProfileSample> profile,
    TrackDetailValues::AltitudeDomain domain, QWidget* parent)
    : QChartView(new QChart, parent)
    , profile_(std::move(profile))
    , line_(new QLineSeries)
    , areaTop_(new QLineSeries)
    , area_(new QAreaSeries(areaTop_))
{
    // An area series never owns the line it is spanned under.
    areaTop_->setParent(area_);

    double lastKilometers = 0;
    for (const TrackProfileSample& sample : profile_)
        if (std::isfinite(sample.distance) && std::isfinite(sample.altitude))
            lastKilometers = std::max(lastKilometers, sample.distance / kMetersPerKilometer);
    const double distanceEnd = std::max(lastKilometers, kShortestDistanceAxisKilometers);

    // The view owns its chart, the chart the series and axes added to it.
    QChart* chart = this->chart();
    chart->legend()->hide();
    chart->setBackgroundVisible(false);
    // Room at the trailing end for the last distance mark's text, centred on its value.
    chart->setMargins(QMargins(0, 0, kTrailingMarginPoints, 0));
    chart->layout()->setContentsMargins(0, 0, 0, 0);

    const QColor orange = ControlLook::orangeColor();
    QLinearGradient fill(0, 0, 0, 1);
    fill.setCoordinateMode(QGradient::ObjectBoundingMode);
    QColor top = orange;
    top.setAlphaF(kAreaTopOpacity);
    QColor bottom = orange;
    bottom.setAlphaF(kAreaBottomOpacity);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    area_->setBrush(fill);
    area_->setPen(Qt::NoPen);
    QPen pen(orange, kLineWidthPoints, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    line_->setPen(pen);
    chart->addSeries(area_);
    chart->addSeries(line_);

    altitudeAxis_ = makeAxis(domain.lower, domain.upper,
        ProfileAxis::ticks(domain.lower, domain.upper, kMostAltitudeTicks, kFinestAltitudeStepMeters),
        ProfileAxis::altitudeLabel);
    distanceAxis_ = makeAxis(0, distanceEnd,
        ProfileAxis::ticks(0, distanceEnd, kMostDistanceTicks, kFinestDistanceStepKilometers),
        ProfileAxis::distanceLabel);
    chart->addAxis(altitudeAxis_, Qt::AlignLeft);
    chart->addAxis(distanceAxis_, Qt::AlignBottom);
    for (QAbstractSeries* series : { static_cast<QAbstractSeries*>(area_), static_cast<QAbstractSeries*>(line_) }) {
        series->attachAxis(altitudeAxis_);
        series->attachAxis(distanceAxis_);
    }
    setRenderHint(QPainter::Antialiasing);
    setFixedHeight(kHeightPoints);
    setStyleSheet(QStringLiteral("background: transparent"));
    setFrameShape(QFrame::NoFrame);

    connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& plot) { thinTo(int(std::ceil(plot.width()))); });
    thinTo(std::max(width(), 1));
}

void AltitudeProfileChart::thinTo(int columns)
{
    if (columns <= 0 || columns == columns_)
        return;
    columns_ = columns;
    QList<QPointF> points;
    for (const ProfilePoint& point : profileSeries(profile_, columns))
        points.append(QPointF(point.kilometers, point.meters));
    line_->replace(points);
    areaTop_->replace(points);
}

std::vector<ProfilePoint> AltitudeProfileChart::drawnPoints() const
{
    std::vector<ProfilePoint> points;
    for (const QPointF& point : line_->points())
        points.push_back({ point.x(), point.y() });
    return points;
}

std::vector<std::pair<double, QString>> AltitudeProfileChart::altitudeMarks() const
{
    return marks(*altitudeAxis_);
}

std::vector<std::pair<double, QString>> AltitudeProfileChart::distanceMarks() const
{
    return marks(*distanceAxis_);
}

std::pair<double, double> AltitudeProfileChart::altitudeRange() const
{
    return { altitudeAxis_->min(), altitudeAxis_->max() };
}

std::pair<double, double> AltitudeProfileChart::distanceRange() const
{
    return { distanceAxis_->min(), distanceAxis_->max() };
}

} // namespace velorin
