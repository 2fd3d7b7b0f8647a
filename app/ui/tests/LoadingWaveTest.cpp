#include "app/ui/LoadingWave.h"

#include "app/ui/tests/WidgetTest.h"

#include <QImage>
#include <QPainter>

#include <limits>
#include <optional>
#include <string>

using velorin::LoadingWave;

namespace {

struct Coverage {
    int greenLeft = 0;
    int greenRight = 0;
    int whiteLeft = 0;
    int whiteRight = 0;
};

// Counts strongly green and strongly white pixels on each half of a strip drawn 8 times
// larger than on screen.
Coverage draw(std::optional<double> progress, double seconds)
{
    constexpr int kZoom = 8;
    QImage image(int(LoadingWave::kWidthPoints) * kZoom, int(LoadingWave::kHeightPoints) * kZoom,
        QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(kZoom, kZoom);
        LoadingWave::paintWaves(painter, { LoadingWave::kWidthPoints, LoadingWave::kHeightPoints }, seconds, progress);
    }
    Coverage coverage;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() < 200)
                continue;
            const bool left = x < image.width() / 2;
            if (c.green() > 150 && c.red() < 120 && c.blue() < 150)
                ++(left ? coverage.greenLeft : coverage.greenRight);
            else if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                ++(left ? coverage.whiteLeft : coverage.whiteRight);
        }
    return coverage;
}

} // namespace

TEST(LoadingWave, ReadsInProgressOrTheWholePercentageDone)
{
    struct Case {
        std::optional<double> progress;
        std::string value;
    };
    for (const auto& c : {
             Case { std::nullopt, "En cours" },
             Case { 0.0, "0 %" },
             Case { 0.5, "50 %" },
             Case { 1.3, "100 %" },
             Case { -0.2, "0 %" },
             Case { 0.004, "0 %" },
             Case { 0.006, "1 %" },
             Case { 0.125, "13 %" },
             Case { std::numeric_limits<double>::quiet_NaN(), "0 %" },
             Case { std::numeric_limits<double>::infinity(), "100 %" },
         })
        EXPECT_EQ(LoadingWave::accessibilityValue(c.progress).toStdString(), c.value)
            << (c.progress ? std::to_string(*c.progress) : "nil");
}

TEST(LoadingWave, TurnsGreenLeftOfTheProgressOnly)
{
    struct Case {
        std::optional<double> progress;
        bool greenLeft, greenRight, whiteLeft, whiteRight;
    };
    for (const auto& c : {
             Case { std::nullopt, false, false, true, true },
             Case { 0.0, false, false, true, true },
             Case { -1.0, false, false, true, true },
             Case { 0.5, true, false, false, true },
             Case { 1.3, true, true, false, false },
         })
        for (double seconds : { 0.0, 0.37, 1234.5 }) {
            const Coverage coverage = draw(c.progress, seconds);
            const std::string at = (c.progress ? std::to_string(*c.progress) : "nil") + " at " + std::to_string(seconds);
            EXPECT_EQ(coverage.greenLeft > 0, c.greenLeft) << at;
            EXPECT_EQ(coverage.greenRight > 0, c.greenRight) << at;
            EXPECT_EQ(coverage.whiteLeft > 0, c.whiteLeft) << at;
            EXPECT_EQ(coverage.whiteRight > 0, c.whiteRight) << at;
        }
}

class LoadingWaveWidget : public testing_support::WidgetTest {};

TEST_F(LoadingWaveWidget, AnimatesOnlyWhileShownAndSaysWhatItShows)
{
    QWidget window;
    auto* wave = new LoadingWave(std::nullopt, &window);
    EXPECT_EQ(wave->accessibleName(), "Chargement");
    EXPECT_EQ(wave->accessibleDescription(), "En cours");
    EXPECT_FALSE(wave->isAnimating());

    window.show();
    EXPECT_TRUE(wave->isAnimating());
    wave->setProgress(0.5);
    EXPECT_EQ(wave->accessibleDescription(), "50 %");

    wave->hide();
    EXPECT_FALSE(wave->isAnimating());
}
