#include "library/RecordingPanel.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/RecordingTestSupport.h"
#include "testing/TestApplication.h"
#include "widgets/ControlLook.h"
#include "widgets/Symbols.h"

#include <QLabel>

#include <filesystem>

using velorin::RecordingPanel;
using velorin::TravelMode;
using Cell = RecordingPanel::Cell;

namespace {

class RecordingPanelTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }
};

} // namespace

TEST_F(RecordingPanelTest, AFreshRecordingWaitsForTheGpsThenReadsZeroFiguresEndingOnTheAscent)
{
    auto& model = makeModel();
    model.tracks().start();
    RecordingPanel panel(model.tracks());
    panel.refresh(QStringLiteral("2191 m"), std::nullopt);
    EXPECT_TRUE(panel.cells().empty()) << "no figures before a first point";
    EXPECT_FALSE(panel.waiting().isHidden());
    EXPECT_EQ(panel.waiting().text(), "En attente du GPS…");

    model.tracks().record(walkerFix(46.02, 6.97, 2191.4), std::nullopt);
    panel.refresh(std::nullopt, std::nullopt);
    EXPECT_TRUE(panel.waiting().isHidden());
    EXPECT_EQ(panel.cells(), (std::vector<Cell> { { "0 s", "durée" }, { "0 m", "distance" }, { "0 m", "D+" } }));
    EXPECT_TRUE(panel.modeIcon().isHidden()) << "the dot is followed by the duration";

    panel.refresh(QStringLiteral("2191 m"), TravelMode::walking);
    EXPECT_EQ(panel.cells().back(), (Cell { "2191 m", "altitude" }));
    EXPECT_FALSE(panel.modeIcon().isHidden());
    panel.refresh(std::nullopt, TravelMode::walking);
    EXPECT_EQ(panel.cells().back().label, "D+") << "the altitude cell goes with the altitude";
}

TEST_F(RecordingPanelTest, TheModeIconIsOrangeWhenTheWalkerIsNotMovingUnderTheirOwnPower)
{
    auto& model = makeModel();
    model.tracks().start();
    RecordingPanel panel(model.tracks());
    struct Case {
        TravelMode mode;
        const char* symbol;
        const char* name;
        bool orange;
    };
    for (const Case& c : {
             Case { TravelMode::stationary, "figure.stand", "à l'arrêt", true },
             Case { TravelMode::walking, "figure.walk", "à pied", false },
             Case { TravelMode::running, "figure.hiking", "en courant", false },
             Case { TravelMode::cycling, "bicycle", "à vélo", false },
             Case { TravelMode::automotive, "car.fill", "en voiture", true },
         }) {
        panel.refresh(std::nullopt, c.mode);
        const QLabel& icon = panel.modeIcon();
        EXPECT_EQ(icon.text(), velorin::Symbols::glyph(c.symbol)) << c.name;
        EXPECT_EQ(icon.accessibleName(), QString::fromUtf8(c.name));
        const QColor color = icon.palette().color(QPalette::WindowText);
        EXPECT_EQ(color == velorin::ControlLook::primaryColor(), !c.orange) << c.name;
        EXPECT_EQ(color == QColor(255, 159, 10), c.orange) << c.name;
    }
}

TEST_F(RecordingPanelTest, TheCapsuleDrawsTheRedDotTheModeAndTheFigures)
{
    auto& model = makeModel();
    model.tracks().start();
    QWidget map;
    map.setAutoFillBackground(true);
    QPalette palette = map.palette();
    palette.setColor(QPalette::Window, QColor(120, 150, 110));
    map.setPalette(palette);
    model.tracks().record(walkerFix(46.02, 6.97, 2191.4), std::nullopt);
    auto* panel = new RecordingPanel(model.tracks(), &map);
    panel->refresh(QStringLiteral("2191 m"), TravelMode::automotive);
    panel->move(12, 12);
    map.resize(panel->width() + 24, panel->height() + 24);
    const QImage image = map.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "recording-panel.png";
    ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));

    // The dot: the first red pixels from the leading edge, in the capsule's middle row.
    const int row = 12 + panel->height() / 2;
    int red = -1;
    for (int x = 0; x < image.width() && red < 0; ++x) {
        const QColor pixel = image.pixelColor(x, row);
        if (pixel.red() > 200 && pixel.green() < 120 && pixel.blue() < 120)
            red = x;
    }
    EXPECT_GE(red, 12 + RecordingPanel::kHorizontalPaddingPoints - 1) << path;
    EXPECT_LE(red, 12 + RecordingPanel::kHorizontalPaddingPoints + 2) << path;
}

TEST_F(RecordingPanelTest, AWriteFailureIsShownAfterTheFiguresUntilAWriteSucceeds)
{
    auto& model = makeModel();
    auto& tracks = model.tracks();
    tracks.start();
    QWidget map;
    map.setAutoFillBackground(true);
    QPalette palette = map.palette();
    palette.setColor(QPalette::Window, QColor(120, 150, 110));
    map.setPalette(palette);
    auto* panel = new RecordingPanel(tracks, &map);
    panel->refresh(std::nullopt, TravelMode::walking);
    EXPECT_FALSE(panel->writeFailure().isVisibleTo(panel));

    // A file where the track's folder was: nothing can be written.
    log.expect("Tracks", "ouverture du fichier de points impossible");
    const auto blocked = testing_support::blockRecordingFolder(tracks);
    tracks.record(testing_support::walkFix(0), TravelMode::walking);
    panel->refresh(std::nullopt, TravelMode::walking);
    EXPECT_TRUE(panel->writeFailure().isVisibleTo(panel));
    EXPECT_EQ(panel->writeFailure().text(), "Enregistrement impossible : un fichier occupe la place du dossier du trajet");
    EXPECT_EQ(panel->cells().size(), 3u) << "the figures stay";

    panel->move(12, 12);
    map.resize(panel->width() + 24, panel->height() + 24);
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "recording-panel-failure.png";
    EXPECT_TRUE(map.grab().save(QString::fromStdString(path.string()), "PNG"));

    std::filesystem::remove(blocked);
    tracks.record(testing_support::walkFix(1), TravelMode::walking);
    panel->refresh(std::nullopt, TravelMode::walking);
    EXPECT_FALSE(panel->writeFailure().isVisibleTo(panel));
    EXPECT_EQ(tracks.store().readPoints(tracks.current()->metadata.id).size(), 2u);
}
