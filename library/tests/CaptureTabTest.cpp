#include "library/CaptureTab.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "library/CapturePrompts.h"
#include "library/CaptureRow.h"
#include "library/CaptureTexts.h"
#include "library/CaptureThumbnail.h"
#include "library/ProgressRing.h"
#include "library/TracksView.h"
#include "testing/LocalTimeZone.h"
#include "testing/TestApplication.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>

using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::Basemap;
using velorin::CameraPose;
using velorin::CaptureTab;
using velorin::CaptureTexts;
using velorin::SavedVideo;
using velorin::SavedView;
using velorin::TracksView;
namespace fs = std::filesystem;

namespace {

constexpr CameraPose kPose { 0.52, 0.36, 13, 0.4, 0.9, 1.5, 1280, 800 };

// A picture of the map: sky over green slopes, so a thumbnail shows in the PNG.
platform::Image landscape(int width, int height)
{
    platform::Image image { width, height, std::vector<std::byte>(std::size_t(width) * height * 4) };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::byte* pixel = &image.pixels[(std::size_t(y) * width + x) * 4];
            const bool sky = y < height / 2 - (x * height) / (4 * width);
            pixel[0] = std::byte(sky ? 120 : 60);
            pixel[1] = std::byte(sky ? 170 : 140 + (y * 60) / height);
            pixel[2] = std::byte(sky ? 230 : 70);
            pixel[3] = std::byte(255);
        }
    return image;
}

std::string utf8(const QString& text)
{
    return text.toStdString();
}

class CaptureTabTest : public testing_support::AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();
    testing_support::LocalTimeZone zone { testing_support::LocalTimeZone::kFrance };

    CaptureTabTest()
    {
        testing_support::application();
        // 2024-05-01 08:05 UTC, 10:05 in France.
        now = platform::SystemTime(std::chrono::seconds(1714550700));
    }

    AppModel& makeShownModel()
    {
        auto& shown = makeModel();
        mainQueue->drain();
        shown.setCanvas(canvas);
        return shown;
    }

    SavedView saveView(const std::string& name)
    {
        auto view = model->captures().saveView(name, Basemap::planIGN, kPose, landscape(320, 200));
        EXPECT_TRUE(view);
        now += std::chrono::minutes(1);
        return *view;
    }

    SavedVideo saveVideo(const std::string& name, std::size_t poses, double frameRate, bool thumbnail = true)
    {
        model->captures().saveVideo(name, Basemap::orthophoto, std::vector<CameraPose>(poses, kPose), frameRate,
            thumbnail ? std::optional(landscape(320, 180)) : std::nullopt);
        now += std::chrono::minutes(1);
        return model->captures().videos().front();
    }

    std::unique_ptr<TracksView> makeView(TracksView::Tab tab)
    {
        auto view = std::make_unique<TracksView>(*model, [](const velorin::Track&) {}, [](const velorin::Track&) {});
        view->setTab(tab);
        return view;
    }

    // Runs the copies waiting on the photo worker, then what they handed back.
    void runCopies() { runPhotoLookups(); }

    // Until every row with a thumbnail file shows it.
    void waitForThumbnails(const CaptureTab& tab, int expected)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        auto loaded = [&] {
            int count = 0;
            for (int i = 0; i < tab.list().count(); ++i)
                count += tab.row(i).thumbnail().image().isNull() ? 0 : 1;
            return count;
        };
        while (loaded() < expected && std::chrono::steady_clock::now() < deadline) {
            mainQueue->runOneWaiting(0.01);
            mainQueue->drain();
        }
        ASSERT_EQ(loaded(), expected);
    }

    // The message of the alert on screen; a closed one shows nothing.
    static QString alertText(TracksView& view)
    {
        QMessageBox* alert = view.capturePrompts().alert();
        return alert && alert->isVisible() ? alert->text() : QString();
    }

    static void closeAlert(TracksView& view)
    {
        if (QMessageBox* alert = view.capturePrompts().alert()) {
            alert->buttons().front()->click();
            QApplication::processEvents();
        }
    }

    static fs::path besideTheBinary(const char* name)
    {
        return fs::read_symlink("/proc/self/exe").parent_path() / name;
    }
};

} // namespace

TEST(CaptureTexts, AVideoReadsItsDateThenHowLongItsReplayLasts)
{
    testing_support::LocalTimeZone zone { testing_support::LocalTimeZone::kFrance };
    const platform::SystemTime date(std::chrono::seconds(1714550700));
    struct Case {
        std::size_t poses;
        double frameRate;
        const char* length;
    };
    for (const Case& c : { Case { 900, 30, "30 s" }, Case { 5400, 30, "3 min" }, Case { 0, 30, "0 s" },
             Case { 900, 0, "—" }, Case { 900, -30, "—" }, Case { 900, std::numeric_limits<double>::infinity(), "—" },
             Case { 900, std::numeric_limits<double>::quiet_NaN(), "—" } }) {
        const SavedVideo video { "ID", date, "Survol", "orthophoto", c.frameRate, std::vector<CameraPose>(c.poses, kPose) };
        EXPECT_EQ(CaptureTexts::videoSubtitle(video), std::string("1 mai 2024 à 10:05 · ") + c.length)
            << c.poses << " poses at " << c.frameRate;
    }
    EXPECT_EQ(CaptureTexts::viewSubtitle(SavedView { "ID", date, "Vue", "planIGN", kPose }), "1 mai 2024 à 10:05");
}

TEST_F(CaptureTabTest, WithoutCapturesEachTabShowsItsEmptyStateAndTheVideosNoNotice)
{
    makeShownModel();
    auto view = makeView(TracksView::Tab::tracks);
    struct Case {
        TracksView::Tab tab;
        const char* title;
    };
    for (const Case& c : { Case { TracksView::Tab::views, "Aucune vue" }, Case { TracksView::Tab::videos, "Aucune vidéo" } }) {
        ASSERT_TRUE(view->tabButton(c.tab).isEnabled());
        view->tabButton(c.tab).click();
        EXPECT_EQ(view->tab(), c.tab);
        EXPECT_TRUE(view->emptyState(c.tab).isVisibleTo(view.get())) << c.title;
        EXPECT_EQ(view->emptyState(c.tab).findChild<QLabel*>("title")->text(), c.title);
        EXPECT_FALSE(view->captureTab(c.tab).isVisibleTo(view.get())) << "no list, so no film notice";
        EXPECT_FALSE(view->importButton().isVisibleTo(view.get()));
    }

    // A video recorded while the sheet is open takes the empty state's place.
    saveVideo("Survol · Lac Blanc", 900, 30);
    EXPECT_TRUE(view->captureTab(TracksView::Tab::videos).isVisibleTo(view.get()));
    EXPECT_FALSE(view->emptyState(TracksView::Tab::videos).isVisibleTo(view.get()));
}

TEST_F(CaptureTabTest, TheFilmNoticeSaysTheHeightThatTheSettingAsksEachTimeTheTabShows)
{
    makeShownModel();
    saveVideo("Survol · Lac Blanc", 900, 30);
    auto view = makeView(TracksView::Tab::tracks);
    view->show();
    struct Case {
        std::optional<bool> hd;
        const char* lines;
    };
    for (const Case& c : { Case { std::nullopt, "720" }, Case { true, "1080" }, Case { false, "720" } }) {
        if (c.hd)
            model->defaults()->setBoolean(AppModel::kVideoHDKey, *c.hd);
        view->setTab(TracksView::Tab::tracks);
        view->setTab(TracksView::Tab::videos);
        const QLabel* notice = view->captureTab(TracksView::Tab::videos).notice();
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(notice->isVisibleTo(view.get()));
        EXPECT_EQ(utf8(notice->text()),
            std::string("Le film se calcule à la première demande, image par image (") + c.lines
                + " lignes, réglable dans les réglages). La carte reste figée pendant ce temps. Les 50 dernières "
                  "animations sont gardées.");
    }
    EXPECT_EQ(view->captureTab(TracksView::Tab::views).notice(), nullptr);
}

TEST_F(CaptureTabTest, RowsShowThumbnailNameAndDateNewestFirstAndAVideoItsLength)
{
    makeShownModel();
    saveView("Aiguille du Midi");
    saveView("Lac Blanc");
    saveVideo("Survol · Tour du lac", 900, 30);
    saveVideo("Vol vers le Brévent", 5400, 30, false);
    auto view = makeView(TracksView::Tab::views);
    view->resize(520, 420);
    view->show();

    CaptureTab& views = view->captureTab(TracksView::Tab::views);
    ASSERT_EQ(views.list().count(), 2);
    EXPECT_EQ(views.row(0).name(), "Lac Blanc");
    EXPECT_EQ(utf8(views.row(0).subtitle()), "1 mai 2024 à 10:06");
    EXPECT_EQ(views.row(1).name(), "Aiguille du Midi");
    EXPECT_TRUE(views.row(0).showsSaveButtons());
    EXPECT_EQ(views.row(0).photosButton().accessibleName(), "Enregistrer dans Photos");
    EXPECT_EQ(views.row(0).fileButton().accessibleName(), "Enregistrer dans un fichier");
    waitForThumbnails(views, 2);
    EXPECT_EQ(views.row(0).thumbnail().image().size(), QSize(240, 150));
    EXPECT_TRUE(view->grab().save(QString::fromStdString(besideTheBinary("library-views.png").string()), "PNG"));

    view->setTab(TracksView::Tab::videos);
    CaptureTab& videos = view->captureTab(TracksView::Tab::videos);
    ASSERT_EQ(videos.list().count(), 2);
    EXPECT_EQ(utf8(videos.row(0).subtitle()), "1 mai 2024 à 10:08 · 3 min");
    EXPECT_EQ(utf8(videos.row(1).subtitle()), "1 mai 2024 à 10:07 · 30 s");
    waitForThumbnails(videos, 1);
    EXPECT_TRUE(videos.row(0).thumbnail().image().isNull()) << "a video saved without a picture keeps the plate";
}

TEST_F(CaptureTabTest, WhileAFilmComputesOnlyItsRowShowsTheRingThenTheFilmGoesToVideos)
{
    makeShownModel();
    saveVideo("Survol · Tour du lac", 900, 30);
    const SavedVideo computed = saveVideo("Vol vers le Brévent", 60, 30);
    auto view = makeView(TracksView::Tab::videos);
    view->resize(520, 360);
    view->show();
    CaptureTab& videos = view->captureTab(TracksView::Tab::videos);
    ASSERT_EQ(videos.rowIds().front(), computed.id);

    videos.row(0).photosButton().click();
    ASSERT_EQ(canvas->exports.size(), 1u);
    EXPECT_EQ(canvas->exports[0].height, 720);
    EXPECT_FALSE(videos.row(0).showsSaveButtons());
    ASSERT_NE(videos.row(0).progressRing(), nullptr);
    EXPECT_TRUE(videos.row(1).showsSaveButtons()) << "the other rows keep their buttons";
    EXPECT_EQ(videos.row(1).progressRing(), nullptr);
    canvas->exports[0].progress(0.4);
    EXPECT_DOUBLE_EQ(videos.row(0).progressRing()->value(), 0.4);
    waitForThumbnails(videos, 2);
    EXPECT_TRUE(view->grab().save(QString::fromStdString(besideTheBinary("library-videos.png").string()), "PNG"));

    std::ofstream(canvas->exports[0].path) << "film";
    canvas->exports[0].completion(true);
    EXPECT_TRUE(videos.row(0).showsSaveButtons());
    runCopies();
    EXPECT_EQ(alertText(*view), "Enregistré dans Photos.");
    const fs::path copy = folders.videos / "Vol vers le Brévent.mp4";
    ASSERT_TRUE(fs::exists(copy));
    EXPECT_EQ(fs::file_size(copy), 4u);

    // The film exists now: a second save copies it at once, beside the first.
    closeAlert(*view);
    videos.row(0).photosButton().click();
    runCopies();
    EXPECT_EQ(canvas->exports.size(), 1u);
    EXPECT_TRUE(fs::exists(folders.videos / "Vol vers le Brévent (2).mp4"));
}

TEST_F(CaptureTabTest, TwoSavesOfAViewGiveTwoPicturesAndAMissingPictureIsNotSaved)
{
    makeShownModel();
    const SavedView saved = saveView("Lac Blanc");
    auto view = makeView(TracksView::Tab::views);
    CaptureTab& views = view->captureTab(TracksView::Tab::views);
    for (int save = 0; save < 2; ++save) {
        views.saveToPhotos(0);
        runCopies();
        EXPECT_EQ(alertText(*view), "Enregistré dans Photos.");
        closeAlert(*view);
    }
    EXPECT_EQ(fs::file_size(folders.pictures / "Lac Blanc.jpg"), fs::file_size(model->captures().photoFile(saved)));
    EXPECT_TRUE(fs::exists(folders.pictures / "Lac Blanc (2).jpg"));

    fs::remove(model->captures().photoFile(saved));
    views.saveToPhotos(0);
    runCopies();
    EXPECT_EQ(utf8(alertText(*view)), "Le fichier n'a pas été enregistré.");
    EXPECT_FALSE(fs::exists(folders.pictures / "Lac Blanc (3).jpg"));
}

TEST_F(CaptureTabTest, AFilmThatCannotBeComputedSaysSoFromEitherButton)
{
    makeShownModel();
    saveVideo("Survol · Tour du lac", 900, 30);
    model->setCanvas({});
    auto view = makeView(TracksView::Tab::videos);
    CaptureTab& videos = view->captureTab(TracksView::Tab::videos);
    for (QAbstractButton* button : { &videos.row(0).photosButton(), &videos.row(0).fileButton() }) {
        button->click();
        runCopies();
        EXPECT_EQ(utf8(alertText(*view)), "Le film n'a pas pu être calculé.") << utf8(button->accessibleName());
        EXPECT_EQ(view->capturePrompts().exporter(), nullptr);
        closeAlert(*view);
    }
}

TEST_F(CaptureTabTest, TheFileExporterOffersTheCaptureUnderItsNameAndCopiesItWhereChosen)
{
    makeShownModel();
    const SavedView saved = saveView("Lac Blanc");
    auto view = makeView(TracksView::Tab::views);
    view->show();
    CaptureTab& views = view->captureTab(TracksView::Tab::views);
    struct Case {
        const char* what;
        bool missing;
        const char* message;
    };
    for (const Case& c : { Case { "copied", false, "" }, Case { "source gone", true, "Le fichier n'a pas été enregistré." } }) {
        SCOPED_TRACE(c.what);
        if (c.missing)
            fs::remove(model->captures().photoFile(saved));
        views.row(0).fileButton().click();
        QFileDialog* exporter = view->capturePrompts().exporter();
        ASSERT_NE(exporter, nullptr);
        EXPECT_EQ(view->capturePrompts().exporting()->url, model->captures().photoFile(saved));
        EXPECT_EQ(exporter->selectedFiles().value(0).section('/', -1), "photo.jpg");
        const fs::path chosen = folder / (std::string(c.what) + ".jpg");
        exporter->selectFile(QString::fromStdString(chosen.string()));
        static_cast<QDialog*>(exporter)->accept();
        QApplication::processEvents();
        EXPECT_FALSE(view->capturePrompts().exporting());
        runCopies();
        EXPECT_EQ(fs::exists(chosen), !c.missing);
        EXPECT_EQ(utf8(alertText(*view)), c.message);
        closeAlert(*view);
    }
}

TEST_F(CaptureTabTest, DeletingRemovesTheSelectedCapturesFoldersAndKeepsTheOthersInOrder)
{
    makeShownModel();
    const SavedView first = saveView("Aiguille du Midi");
    saveView("Lac Blanc");
    const SavedView newest = saveView("Brévent");
    const SavedVideo video = saveVideo("Survol", 30, 30);
    auto view = makeView(TracksView::Tab::views);
    CaptureTab& views = view->captureTab(TracksView::Tab::views);
    ASSERT_EQ(views.rowIds().front(), newest.id);
    views.list().item(0)->setSelected(true);
    views.list().item(2)->setSelected(true);
    views.deleteSelected();
    EXPECT_FALSE(fs::exists(model->captures().photoFile(newest).parent_path()));
    EXPECT_FALSE(fs::exists(model->captures().photoFile(first).parent_path()));
    ASSERT_EQ(views.list().count(), 1);
    EXPECT_EQ(views.row(0).name(), "Lac Blanc");

    CaptureTab& videos = view->captureTab(TracksView::Tab::videos);
    videos.list().item(0)->setSelected(true);
    videos.deleteSelected();
    EXPECT_TRUE(model->captures().videos().empty());
    EXPECT_FALSE(fs::exists(model->captures().thumbnailFile(video).parent_path()));
    view->setTab(TracksView::Tab::videos);
    EXPECT_TRUE(view->emptyState(TracksView::Tab::videos).isVisibleTo(view.get()));
}

TEST_F(CaptureTabTest, TappingARowHandsItToTheModelAndThenClosesTheSheet)
{
    makeShownModel();
    const SavedView saved = saveView("Lac Blanc");
    const SavedVideo video = saveVideo("Survol", 30, 30);
    for (TracksView::Tab tab : { TracksView::Tab::views, TracksView::Tab::videos }) {
        canvas->viewCalls.clear();
        auto view = makeView(tab);
        view->show();
        std::vector<std::string> callsWhenClosed;
        QObject::connect(view.get(), &QDialog::finished, [&] { callsWhenClosed = canvas->viewCalls; });
        view->captureTab(tab).row(0).tapArea().click();
        EXPECT_FALSE(view->isVisible());
        ASSERT_FALSE(callsWhenClosed.empty()) << "the sheet closed before the model had the capture";
        if (tab == TracksView::Tab::views) {
            EXPECT_EQ(callsWhenClosed.front(), "apply");
            EXPECT_EQ(canvas->appliedPoses.back(), saved.pose);
        } else {
            EXPECT_EQ(callsWhenClosed.back(), "play");
            EXPECT_EQ(canvas->playedVideos.back(), video);
        }
    }
}

TEST_F(CaptureTabTest, ASaveOutlivingTheSheetEndsItsCopyAndOnlyLogsItsMessage)
{
    makeShownModel();
    saveView("Lac Blanc");
    saveVideo("Survol", 60, 30);
    auto view = makeView(TracksView::Tab::views);
    view->captureTab(TracksView::Tab::views).saveToPhotos(0);
    view->captureTab(TracksView::Tab::videos).saveToFile(0);
    ASSERT_EQ(canvas->exports.size(), 1u);
    view.reset();

    std::ofstream(canvas->exports[0].path) << "film";
    canvas->exports[0].completion(true);
    runCopies();
    EXPECT_TRUE(fs::exists(folders.pictures / "Lac Blanc.jpg"));
    EXPECT_TRUE(log.contains(platform::LogLevel::info, "Tracks", "Enregistré dans Photos."));
    EXPECT_TRUE(log.contains(platform::LogLevel::info, "Tracks", "exportation"));
}
