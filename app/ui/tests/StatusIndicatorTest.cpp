#include "app/ui/StatusIndicator.h"

#include "app/tests/RecordingTestSupport.h"
#include "app/ui/tests/WidgetTest.h"
#include "widgets/MonospacedDigits.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include <filesystem>
#include <limits>
#include <optional>
#include <utility>
#include <string>

using velorin::StatusIndicator;
using Content = velorin::StatusIndicator::Content;

class StatusIndicatorWidget : public testing_support::WidgetTest {
protected:
    QWidget screen;
    StatusIndicator* indicator = nullptr;

    void SetUp() override
    {
        WidgetTest::SetUp();
        indicator = new StatusIndicator(*model, &screen);
    }

    QLabel* text(const char* name) const { return indicator->findChild<QLabel*>(name); }
    bool shows(const char* name) const { return !indicator->findChild<QWidget*>(name)->isHidden(); }

    void report(std::optional<std::string> sheet, std::int64_t queued,
        velorin::TileLoader::Phase phase = velorin::TileLoader::Phase::idle(), double progress = 0)
    {
        velorin::TileLoader::Status status;
        status.loadingSheet = std::move(sheet);
        status.queuedSheets = queued;
        status.phase = phase;
        status.sheetProgress = progress;
        model->tileStatusDidChange(status);
    }

    void setReachable(bool reachable)
    {
        network->report({ reachable, false });
        mainQueue->drain();
    }
};

TEST_F(StatusIndicatorWidget, ShowsNothingAndTakesNoRoomWhenAllIsWell)
{
    EXPECT_EQ(indicator->content(), Content::none);
    EXPECT_TRUE(indicator->isHidden());
    report(std::nullopt, 0);
    EXPECT_TRUE(indicator->isHidden());
}

TEST_F(StatusIndicatorWidget, CountsTheSheetsWaitingToBePrepared)
{
    struct Case {
        std::int64_t queued;
        const char* text;
    };
    for (auto c : { Case { 1, "1 carte à préparer" }, Case { 2, "2 cartes à préparer" }, Case { 17, "17 cartes à préparer" } }) {
        report(std::nullopt, c.queued);
        EXPECT_EQ(indicator->content(), Content::queue);
        EXPECT_FALSE(indicator->isHidden());
        EXPECT_TRUE(shows("queuePill"));
        EXPECT_FALSE(shows("sheetPill"));
        EXPECT_EQ(text("queueText")->text().toStdString(), c.text);
    }
}

TEST_F(StatusIndicatorWidget, ShowsTheSheetInPreparationWithItsQueueProgressAndPhase)
{
    struct Case {
        std::int64_t queued;
        velorin::TileLoader::Phase phase;
        bool badge;
        bool phaseRow;
    };
    for (const auto& c : {
             Case { 3, velorin::TileLoader::Phase::preparing(), true, true },
             Case { 0, velorin::TileLoader::Phase::downloading(1'500'000, 10'000'000), false, true },
             Case { 1, velorin::TileLoader::Phase::idle(), true, false },
         }) {
        report("3531OT Massif du Mont-Blanc", c.queued, c.phase, 0.25);
        EXPECT_EQ(indicator->content(), Content::sheet);
        EXPECT_TRUE(shows("sheetPill"));
        EXPECT_FALSE(shows("queuePill"));
        EXPECT_EQ(text("sheetName")->text(), "3531OT Massif du Mont-Blanc");
        EXPECT_EQ(shows("sheetBadge"), c.badge);
        if (c.badge) {
            EXPECT_EQ(velorin::MonospacedDigits::plainText(text("sheetBadge")->text()), QString("+%1").arg(c.queued));
        }
        EXPECT_EQ(shows("sheetPhase"), c.phaseRow);
        if (c.phaseRow) {
            EXPECT_EQ(velorin::MonospacedDigits::plainText(text("sheetPhase")->text()).toStdString(), *c.phase.label());
        }
        auto* bar = indicator->findChild<QProgressBar*>("sheetProgress");
        EXPECT_EQ(bar->value(), bar->maximum() / 4);
        EXPECT_EQ(bar->width(), StatusIndicator::kProgressWidthPoints);
    }
}

TEST_F(StatusIndicatorWidget, TheCountAndTheDownloadFiguresKeepTheirWidth)
{
    const auto font = testing_support::proportionalDigitsFont();
    if (!font)
        GTEST_SKIP() << "every font here has digits of one width";
    const QFont before = QApplication::font();
    QApplication::setFont(*font);
    QWidget other;
    auto* figures = new StatusIndicator(*model, &other);
    const auto widths = [&] {
        return std::pair{figures->findChild<QLabel*>("sheetBadge")->sizeHint().width(),
            figures->findChild<QLabel*>("sheetPhase")->sizeHint().width()};
    };
    report("Chamonix", 1, velorin::TileLoader::Phase::downloading(1 << 20, 11 << 20));
    const auto ones = widths();
    report("Chamonix", 8, velorin::TileLoader::Phase::downloading(8 << 20, 88 << 20));
    EXPECT_EQ(widths(), ones) << font->family().toStdString();
    other.resize(260, 110);
    QPalette map = other.palette();
    map.setColor(QPalette::Window, QColor(107, 122, 79));
    other.setPalette(map);
    other.setAutoFillBackground(true);
    auto* fade = figures->findChild<QVariantAnimation*>();
    fade->setCurrentTime(fade->duration());
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "status-sheet-pill.png";
    EXPECT_TRUE(other.grab().save(QString::fromStdString(file.string()), "PNG"));
    QApplication::setFont(before);
}

TEST_F(StatusIndicatorWidget, KeepsTheSheetBarWithinItsRangeWhateverTheLoaderReports)
{
    struct Case {
        double progress;
        double filled;
    };
    for (auto c : { Case { -0.5, 0 }, Case { 1.7, 1 }, Case { std::numeric_limits<double>::quiet_NaN(), 0 },
             Case { std::numeric_limits<double>::infinity(), 0 } }) {
        report("Chamonix", 0, velorin::TileLoader::Phase::preparing(), c.progress);
        auto* bar = indicator->findChild<QProgressBar*>("sheetProgress");
        EXPECT_EQ(bar->value(), int(c.filled * bar->maximum())) << c.progress;
    }
}

TEST_F(StatusIndicatorWidget, CutsALongSheetNameOnOneLine)
{
    const std::string name(300, 'M');
    report(name, 0);
    const QLabel* label = text("sheetName");
    EXPECT_LT(label->text().size(), int(name.size()));
    EXPECT_TRUE(label->text().endsWith(QChar(0x2026)));
    EXPECT_FALSE(label->wordWrap());
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), StatusIndicator::kSheetNameMaxWidthPoints);
}

TEST_F(StatusIndicatorWidget, ALoadingProblemReplacesTheSheetUntilItEnds)
{
    report("Chamonix", 2);
    setReachable(false);
    EXPECT_EQ(indicator->content(), Content::problem);
    EXPECT_TRUE(shows("problemPill"));
    EXPECT_FALSE(shows("sheetPill"));
    EXPECT_EQ(text("problemMessage")->text(), "Hors réseau");

    setReachable(true);
    EXPECT_EQ(indicator->content(), Content::sheet);
    EXPECT_TRUE(shows("sheetPill"));
    EXPECT_FALSE(shows("problemPill"));
}

TEST_F(StatusIndicatorWidget, ARecordingThatCannotBeWrittenComesFirstUntilItCanAgain)
{
    setReachable(false);
    auto& tracks = model->tracks();
    tracks.start();
    log.expect("Tracks", "ouverture du fichier de points impossible");
    const auto blocked = testing_support::blockRecordingFolder(tracks);
    tracks.record(testing_support::walkFix(0), std::nullopt);
    EXPECT_EQ(indicator->content(), Content::recording);
    EXPECT_TRUE(shows("recordingPill"));
    EXPECT_FALSE(shows("problemPill"));
    EXPECT_EQ(text("recordingMessage")->text(), "Enregistrement impossible : un fichier occupe la place du dossier du trajet");

    screen.resize(indicator->largestSize() + QSize(12, 12));
    QPalette map = screen.palette();
    map.setColor(QPalette::Window, QColor(107, 122, 79));
    screen.setPalette(map);
    screen.setAutoFillBackground(true);
    auto* fade = indicator->findChild<QVariantAnimation*>();
    fade->setCurrentTime(fade->duration());
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "status-recording-pill.png";
    EXPECT_TRUE(screen.grab().save(QString::fromStdString(file.string()), "PNG"));

    std::filesystem::remove(blocked);
    tracks.record(testing_support::walkFix(1), std::nullopt);
    EXPECT_EQ(indicator->content(), Content::problem) << "the loading problem is back";
}

TEST_F(StatusIndicatorWidget, NamesEachLoadingProblem)
{
    auto status = busy(1);
    status.transportFailures = 3;
    model->tileStatusDidChange(status);
    EXPECT_EQ(text("problemMessage")->text(), "Serveur injoignable");

    model->tileStatusDidChange(busy(1));
    advance(velorin::AppModel::kStallTimeoutSeconds);
    ASSERT_TRUE(model->isStalled());
    EXPECT_EQ(text("problemMessage")->text(), "Chargement bloqué");
}

TEST_F(StatusIndicatorWidget, FadesInANewProblemOrSheetButNotANewCountOrProgress)
{
    report(std::nullopt, 2);
    EXPECT_FALSE(indicator->isFading()) << "sheets waiting is no new problem nor sheet";

    report("Chamonix", 2, velorin::TileLoader::Phase::preparing(), 0.1);
    EXPECT_TRUE(indicator->isFading());
    auto* fade = indicator->findChild<QVariantAnimation*>();
    fade->setCurrentTime(fade->duration());
    ASSERT_FALSE(indicator->isFading());
    report("Chamonix", 1, velorin::TileLoader::Phase::preparing(), 0.6);
    EXPECT_FALSE(indicator->isFading());

    setReachable(false);
    EXPECT_TRUE(indicator->isFading());
}

TEST_F(StatusIndicatorWidget, AProblemThatEndsFadesOutBeforeTheIndicatorGoes)
{
    setReachable(false);
    auto* fade = indicator->findChild<QVariantAnimation*>();
    fade->setCurrentTime(fade->duration());
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(indicator->graphicsEffect());
    ASSERT_TRUE(effect);

    setReachable(true);
    EXPECT_EQ(indicator->content(), Content::none);
    EXPECT_FALSE(indicator->isHidden()) << "still there, fading";
    EXPECT_TRUE(shows("problemPill"));
    EXPECT_EQ(text("problemMessage")->text(), "Hors réseau");
    ASSERT_TRUE(indicator->isFading());
    EXPECT_EQ(fade->duration(), StatusIndicator::kFadeMilliseconds);
    fade->setCurrentTime(fade->duration() / 2);
    EXPECT_NEAR(effect->opacity(), 0.5, 0.01) << "eased in and out";
    report(std::nullopt, 0);
    EXPECT_FALSE(indicator->isHidden()) << "another report does not cut the fade short";
    fade->setCurrentTime(fade->duration());
    EXPECT_TRUE(indicator->isHidden());
    EXPECT_FALSE(indicator->isFading());

    // A problem back while the pill fades out fades it in again.
    setReachable(false);
    fade->setCurrentTime(fade->duration());
    setReachable(true);
    setReachable(false);
    EXPECT_TRUE(indicator->isFading());
    fade->setCurrentTime(fade->duration());
    EXPECT_FALSE(indicator->isHidden());
    EXPECT_TRUE(shows("problemPill"));
}

TEST_F(StatusIndicatorWidget, APressAnywhereOnTheProblemPillAsksForTheDiagnosticsOnce)
{
    setReachable(false);
    QSignalSpy requests(indicator, &StatusIndicator::diagnosticsRequested);
    for (const char* part : { "problemChevron", "problemMessage", "problemPill" }) {
        requests.clear();
        QWidget* target = indicator->findChild<QWidget*>(part);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
        EXPECT_EQ(requests.count(), 1) << part;
    }
}
