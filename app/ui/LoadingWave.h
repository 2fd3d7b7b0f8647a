#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <optional>

class QPainter;

namespace velorin {

class FrameTicker;

// Two thin sine waves travelling across a small strip: the map is working. Given a
// progress fraction, the waves left of it turn green, so the strip doubles as
// a progress bar. It animates only while shown, and repaints only itself. GUI thread only.
class LoadingWave : public QWidget {
    Q_OBJECT

public:
    static constexpr double kWidthPoints = 64;
    static constexpr double kHeightPoints = 16;
    static constexpr int kTopPaddingPoints = 4;
    static constexpr int kSegments = 48;
    static constexpr double kAmplitudeOfHeight = 0.38;
    static constexpr double kPhaseSpeedRadiansPerSecond = 4;
    static constexpr double kSecondWavePhaseRadians = 1.2;
    static constexpr double kShadowOpacity = 0.45;
    static constexpr double kShadowRadius = 2;
    static constexpr int kFrameIntervalMilliseconds = 16;

    // Nothing: indeterminate; otherwise the fraction done, nominally 0 to 1.
    explicit LoadingWave(std::optional<double> progress, QWidget* parent);

    void setProgress(std::optional<double> progress);
    std::optional<double> progress() const { return progress_; }
    bool isAnimating() const;

    // "En cours" without a progress, else the whole percentage done ("50 %").
    static QString accessibilityValue(std::optional<double> progress);
    // The fraction drawn green: 0 for a progress at or below 0 or not a number, at most 1.
    static double greenFraction(double progress);
    // Draws both waves for a strip of `size` at `seconds` on the animation clock.
    static void paintWaves(QPainter& painter, QSizeF size, double seconds, std::optional<double> progress);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<double> progress_;
    QElapsedTimer clock_;
    FrameTicker* ticker_;
};

} // namespace velorin
