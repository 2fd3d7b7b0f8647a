#pragma once

#include <QString>
#include <QWidget>

#include <optional>

namespace velorin {

class AppModel;

// The map scale in a corner of the map: a short bar and, above it, the round ground length
// (1, 2 or 5 times a power of ten) that it covers, in digits of equal width, redrawn after
// every camera change.
// Empty while the model has no usable ground scale. GUI thread only.
class ScaleBar : public QWidget {
    Q_OBJECT

public:
    static constexpr double kTargetLengthPoints = 90;
    // The bar is shown only strictly between these lengths.
    static constexpr double kMinLengthPoints = 10;
    static constexpr double kMaxLengthPoints = 240;
    static constexpr double kKilometreMeters = 1000;
    static constexpr double kBarThicknessPoints = 2.5;
    static constexpr double kBarOpacity = 0.75;
    static constexpr double kLabelPixelSize = 10;
    static constexpr int kSpacingPoints = 2;

    struct Scale {
        QString label;
        double widthPoints;

        bool operator==(const Scale&) const = default;
    };

    // The round length nearest the target bar length and the bar's width for it, on a
    // display of `displayScale` pixels per point; nothing for a ground scale that is not a
    // positive number or a bar that would be too short or too long.
    static std::optional<Scale> scale(double metersPerPixel, double displayScale);

    ScaleBar(AppModel& model, QWidget* parent);

    const std::optional<Scale>& current() const { return current_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    AppModel& model_;
    std::optional<Scale> current_;
};

} // namespace velorin
