#include "app/ui/LoadingWave.h"

#include "widgets/ControlLook.h"
#include "widgets/FrameTicker.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

struct Wave {
    double opacity;
    double lineWidth;
};
constexpr Wave kWaves[] = { { 0.95, 2.2 }, { 0.45, 1.6 } };
constexpr double kMiterLimit = 10;

QPainterPath wavePath(QSizeF size, double phase)
{
    constexpr double pi = std::numbers::pi;
    const double middle = size.height() / 2;
    QPainterPath path;
    for (int i = 0; i <= LoadingWave::kSegments; ++i) {
        const double x = i * size.width() / LoadingWave::kSegments;
        // Pins both ends to the middle line and swells towards the middle.
        const double envelope = std::sin(i * pi / LoadingWave::kSegments);
        const double y = middle
            + envelope * std::sin(4 * pi * x / size.width() - phase) * size.height() * LoadingWave::kAmplitudeOfHeight;
        if (i == 0)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    return path;
}

} // namespace

LoadingWave::LoadingWave(std::optional<double> progress, QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(QStringLiteral("Chargement"));
    ControlLook::applyShadow(*this, { kShadowOpacity, kShadowRadius, { 0, 0 } });
    setFixedSize(sizeHint());
    clock_.start();
    ticker_ = new FrameTicker(*this, kFrameIntervalMilliseconds, [this] { update(); });
    setProgress(progress);
}

void LoadingWave::setProgress(std::optional<double> progress)
{
    progress_ = progress;
    setAccessibleDescription(accessibilityValue(progress_));
    update();
}

bool LoadingWave::isAnimating() const
{
    return ticker_->isRunning();
}

QString LoadingWave::accessibilityValue(std::optional<double> progress)
{
    if (!progress)
        return QStringLiteral("En cours");
    return QStringLiteral("%1 %").arg(std::lround(greenFraction(*progress) * 100));
}

double LoadingWave::greenFraction(double progress)
{
    // A progress that is not a number has made no progress.
    if (!(progress > 0))
        return 0;
    return std::min(progress, 1.0);
}

void LoadingWave::paintWaves(QPainter& painter, QSizeF size, double seconds, std::optional<double> progress)
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF green(0, 0, progress ? greenFraction(*progress) * size.width() : 0, size.height());
    for (int k = 0; k < 2; ++k) {
        const double phase = kPhaseSpeedRadiansPerSecond * seconds + kSecondWavePhaseRadians * k;
        const QPainterPath path = wavePath(size, phase);
        QPen pen(Qt::white, kWaves[k].lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
        pen.setMiterLimit(kMiterLimit);
        painter.setOpacity(kWaves[k].opacity);
        painter.strokePath(path, pen);
        if (!progress)
            continue;
        painter.save();
        painter.setClipRect(green);
        pen.setColor(ControlLook::greenColor());
        painter.strokePath(path, pen);
        painter.restore();
    }
}

QSize LoadingWave::sizeHint() const
{
    return { int(kWidthPoints), int(kHeightPoints) + kTopPaddingPoints };
}

void LoadingWave::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.translate(0, kTopPaddingPoints);
    paintWaves(painter, { kWidthPoints, kHeightPoints }, clock_.elapsed() / 1000.0, progress_);
}

} // namespace velorin
