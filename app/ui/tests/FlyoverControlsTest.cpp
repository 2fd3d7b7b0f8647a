#include "app/ui/FlightBanner.h"
#include "app/ui/FlightWave.h"
#include "app/ui/FlyoverControlBar.h"
#include "app/ui/FlyoverSlider.h"
#include "app/ui/LoadingWave.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/TitledSymbolButton.h"
#include "app/ui/tests/WidgetTest.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

using velorin::AppModel;
using velorin::FlightBanner;
using velorin::FlightWave;
using velorin::FlyoverControlBar;
using velorin::FlyoverMode;
using velorin::FlyoverSlider;
using velorin::SymbolButton;
using velorin::TitledSymbolButton;
using Calls = std::vector<std::string>;

namespace {

class FlyoverControls : public testing_support::WidgetTest {
protected:
    QWidget screen;

    int seeks() const
    {
        return int(std::count_if(canvas->calls.begin(), canvas->calls.end(),
            [](const std::string& call) { return call.starts_with("seekFlyover"); }));
    }

    static void hover(QWidget& widget, bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(4, 4), QPointF(4, 4), QPointF(4, 4));
            QApplication::sendEvent(&widget, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&widget, &leave);
        }
    }

    // Saves a picture of `widget` over a dark map, beside the test binary.
    static std::filesystem::path savePicture(QWidget& widget, const char* name)
    {
        QWidget map;
        map.setAutoFillBackground(true);
        QPalette palette = map.palette();
        palette.setColor(QPalette::Window, QColor(96, 118, 92));
        map.setPalette(palette);
        widget.setParent(&map);
        widget.move(12, 12);
        widget.show();
        widget.adjustSize();
        map.resize(widget.width() + 24, widget.height() + 24);
        const QImage image = map.grab().toImage();
        widget.setParent(nullptr);
        const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
        EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG")) << path;
        return path;
    }
};

} // namespace

TEST_F(FlyoverControls, TheBarShowsTheModeInForceAndThePauseStateAndActsOnBoth)
{
    FlyoverControlBar bar(*model, &screen);
    auto& mode = *bar.findChild<TitledSymbolButton*>("mode");
    auto& pause = *bar.findChild<SymbolButton*>("pause");
    model->setFlyoverMode(FlyoverMode::drone);
    EXPECT_EQ(mode.text(), "Drone");
    EXPECT_EQ(mode.symbol(), "binoculars.fill");
    EXPECT_EQ(mode.accessibleDescription(), "Passe du suivi au drone et inversement");
    QTest::mouseClick(&mode, Qt::LeftButton);
    EXPECT_EQ(model->flyoverMode(), FlyoverMode::follow);
    EXPECT_EQ(mode.text(), "Suivi");
    EXPECT_EQ(mode.symbol(), "figure.hiking");

    EXPECT_EQ(pause.symbol(), "pause.fill");
    EXPECT_EQ(pause.accessibleName(), "Pause");
    QTest::mouseClick(&pause, Qt::LeftButton);
    EXPECT_TRUE(model->isFlyoverPaused());
    EXPECT_EQ(pause.symbol(), "play.fill");
    EXPECT_EQ(pause.accessibleName(), "Reprendre");
    QTest::mouseClick(&pause, Qt::LeftButton);
    EXPECT_FALSE(model->isFlyoverPaused());
    EXPECT_EQ(pause.symbol(), "pause.fill");
    EXPECT_EQ(canvas->calls.back(), "setFlyoverPaused 0");
}

TEST_F(FlyoverControls, TheDistanceAndStopButtonsActOnTheCanvas)
{
    FlyoverControlBar bar(*model, &screen);
    auto& farther = *bar.findChild<SymbolButton*>("farther");
    auto& closer = *bar.findChild<SymbolButton*>("closer");
    EXPECT_EQ(farther.symbol(), "minus");
    EXPECT_EQ(farther.accessibleName(), "S'éloigner");
    EXPECT_EQ(closer.symbol(), "plus");
    EXPECT_EQ(closer.accessibleName(), "Se rapprocher");
    QTest::mouseClick(&farther, Qt::LeftButton);
    QTest::mouseClick(&closer, Qt::LeftButton);
    EXPECT_EQ(canvas->zoomSteps, (std::vector<double> { -1, 1 }));
    auto& stop = *bar.findChild<TitledSymbolButton*>("stop");
    EXPECT_EQ(stop.text(), "Arrêter");
    QTest::mouseClick(&stop, Qt::LeftButton);
    EXPECT_EQ(canvas->calls, Calls { "stopAnimations" });
}

TEST_F(FlyoverControls, TheSliderFollowsThePositionReportsWithoutSeekingAndSeeksOnTheUsersMoves)
{
    FlyoverSlider slider(*model, &screen);
    model->flyoverPositionDidChange(425, 850);
    EXPECT_EQ(slider.slider().value(), FlyoverSlider::kSteps / 2) << "in the middle of its track";
    EXPECT_EQ(slider.distanceText(), "425 m / 850 m");
    for (double travelled : { 430.04, 512.37, 849.99 })
        model->flyoverPositionDidChange(travelled, 850);
    EXPECT_EQ(seeks(), 0) << "a report never seeks the flyover back to a rounded point";

    slider.slider().triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_FALSE(canvas->calls.empty());
    EXPECT_EQ(canvas->calls.back(), "seekFlyover 1");

    // A drag of the handle to the right end.
    slider.show();
    QSlider& bar = slider.slider();
    model->flyoverPositionDidChange(0, 850);
    canvas->calls.clear();
    const int y = bar.height() / 2;
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(3, y));
    QTest::mouseMove(&bar, QPoint(bar.width() / 2, y));
    QTest::mouseMove(&bar, QPoint(bar.width() + 40, y));
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(bar.width() + 40, y));
    ASSERT_GT(seeks(), 0);
    EXPECT_EQ(canvas->calls.back(), "seekFlyover 1");

    model->flyoverPositionDidChange(2500, 5000);
    EXPECT_EQ(slider.distanceText(), "2,50 km / 5,00 km");
}

TEST_F(FlyoverControls, TheCapsulesLookLikeTheMapControls)
{
    model->flyoverPositionDidChange(1234, 2500);
    model->toggleFlyoverPause();
    QWidget column;
    auto* stack = new QVBoxLayout(&column);
    stack->setSpacing(10);
    stack->addWidget(new FlyoverSlider(*model, &column), 0, Qt::AlignHCenter);
    stack->addWidget(new FlyoverControlBar(*model, &column), 0, Qt::AlignHCenter);
    const auto path = savePicture(column, "flyover-controls.png");
    const QImage image(QString::fromStdString(path.string()));
    EXPECT_GT(image.width(), 300) << path;
}

TEST_F(FlyoverControls, TheWaveOpensItsChoicesOnlyOverAProgress)
{
    FlightWave wave(*model, &screen);
    // Loading, no flight: a wave without progress, and a hover opens nothing.
    hover(wave, true);
    EXPECT_FALSE(wave.wave().progress());
    EXPECT_FALSE(wave.choices().isVisibleTo(&wave));

    // A flyover: "Arrêter" alone.
    model->flyoverProgressDidChange(0.4);
    EXPECT_EQ(wave.wave().progress(), std::optional<double>(0.4));
    EXPECT_TRUE(wave.choices().isVisibleTo(&wave)) << "the pointer is over it";
    EXPECT_FALSE(wave.skipButton().isVisibleTo(&wave));
    hover(wave, false);
    EXPECT_FALSE(wave.choices().isVisibleTo(&wave));

    // A camera flight: "Arrêter" and "Aller directement".
    model->flightDidChange(AppModel::FlightInfo { "Vol vers Lac Blanc", 1800 });
    hover(wave, true);
    EXPECT_TRUE(wave.stopButton().isVisibleTo(&wave));
    EXPECT_TRUE(wave.skipButton().isVisibleTo(&wave));
    EXPECT_EQ(wave.skipButton().text(), "Aller directement");
    EXPECT_EQ(wave.skipButton().symbol(), "arrow.up");
    savePicture(wave, "flight-wave-choices.png");

    canvas->flightDuration = 9;
    QTest::mouseClick(&wave.skipButton(), Qt::LeftButton);
    EXPECT_EQ(canvas->calls.front(), "writeJournal vol sauté");
    QTest::mouseClick(&wave.stopButton(), Qt::LeftButton);
    EXPECT_EQ(canvas->calls.back(), "endFlight") << "no flyover: the stop ends the flight";

    // The flight ends under the pointer: the choices close, and open again at the next
    // hover over a new progress.
    model->flightDidChange(std::nullopt);
    model->flyoverProgressDidChange(std::nullopt);
    EXPECT_FALSE(wave.choices().isVisibleTo(&wave));
    model->flyoverProgressDidChange(0.1);
    EXPECT_FALSE(wave.choices().isVisibleTo(&wave)) << "not before a new hover";
    hover(wave, true);
    EXPECT_TRUE(wave.choices().isVisibleTo(&wave));
}

TEST_F(FlyoverControls, TheBannerNamesTheFlightAndItsDistanceFromTheStart)
{
    struct Case {
        double meters;
        const char* text;
    };
    for (const Case& c : { Case { 999.6, "· 1000 m depuis le départ" }, Case { 2500, "· 2,50 km depuis le départ" } })
        EXPECT_EQ(FlightBanner::distanceText(c.meters), QString::fromUtf8(c.text)) << c.meters;

    FlightBanner banner(*model, &screen);
    model->flightDidChange(AppModel::FlightInfo { "Tour de Aiguille du Tour", 2500 });
    EXPECT_EQ(banner.name().text(), "Tour de Aiguille du Tour");
    EXPECT_EQ(banner.distance().text(), QString::fromUtf8("· 2,50 km depuis le départ"));
    savePicture(banner, "flight-banner.png");

    // Its back arrow says what it does and ends the flight.
    EXPECT_EQ(banner.backButton().accessibleName(), QString::fromUtf8("Arrêter le vol"));
    EXPECT_EQ(banner.backButton().symbol(), "arrow.uturn.backward");
    QTest::mouseClick(&banner.backButton(), Qt::LeftButton);
    EXPECT_EQ(canvas->calls.back(), "endFlight");
}
