#include "library/TracksView.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/RecordingTestSupport.h"
#include "library/GPXImport.h"
#include "library/TrackDetailView.h"
#include "testing/TestApplication.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

using velorin::GPXImportResult;
using velorin::TracksView;
namespace fs = std::filesystem;

namespace {

constexpr const char* kWalk = R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
<trk><name>%NAME%</name><trkseg>
<trkpt lat="45.90" lon="6.90"><ele>1200</ele><time>%START%</time></trkpt>
<trkpt lat="45.91" lon="6.90"><ele>1300</ele><time>%END%</time></trkpt>
</trkseg></trk></gpx>)";

class TracksViewTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    // A GPX document of two points; without `name` it has none.
    static std::string walk(const std::string& name, const std::string& start, const std::string& end)
    {
        std::string text = kWalk;
        auto replace = [&](const std::string& key, const std::string& value) {
            text.replace(text.find(key), key.size(), value);
        };
        replace("<name>%NAME%</name>", name.empty() ? "" : "<name>" + name + "</name>");
        replace("%START%", start);
        replace("%END%", end);
        return text;
    }

    // The walk as a file in `folder`.
    fs::path writeGpx(const std::string& file, const std::string& name, const std::string& start, const std::string& end)
    {
        const fs::path path = folder / file;
        std::ofstream(path) << walk(name, start, end);
        return path;
    }

    void waitForImport(TracksView& view)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (view.isImporting() && std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            mainQueue->runOneWaiting(0.01);
            mainQueue->drain();
        }
        ASSERT_FALSE(view.isImporting());
    }

    std::unique_ptr<TracksView> makeView()
    {
        return std::make_unique<TracksView>(*model, [](const velorin::Track&) {}, [](const velorin::Track&) {});
    }
};

} // namespace

TEST(GPXImportMessage, SaysWhichFilesHadNoPointAfterWhatWasImported)
{
    struct Case {
        GPXImportResult result;
        std::optional<std::string> message;
    };
    for (const Case& c : {
             Case { { 3, {}, {} }, std::nullopt },
             Case { { 0, {}, {} }, std::nullopt },
             Case { { 2, { "vide.gpx" }, {} }, "2 trajet(s) importé(s). Aucun point lisible dans : vide.gpx." },
             Case { { 0, { "a.gpx", "b.xml" }, {} }, "Aucun point lisible dans : a.gpx, b.xml." },
             Case { { 1, { "a.gpx" }, { "refuges.gpx" } },
                 "1 trajet(s) importé(s). Aucun point lisible dans : a.gpx. Ce fichier ne contient aucun trajet : "
                 "refuges.gpx." },
             Case { { 0, {}, { "refuges.gpx" } }, "Ce fichier ne contient aucun trajet : refuges.gpx." },
         })
        EXPECT_EQ(velorin::importMessage(c.result), c.message);
}

TEST_F(TracksViewTest, WithoutATrackTheTabSaysSoAndStillOffersTheImport)
{
    makeModel();
    auto view = makeView();
    EXPECT_TRUE(view->emptyState().isVisibleTo(view.get()));
    EXPECT_EQ(view->emptyState().findChild<QLabel*>("title")->text(), "Aucun trajet");
    EXPECT_TRUE(view->importButton().isVisibleTo(view.get()));
}

TEST_F(TracksViewTest, ImportingThreeFilesStoresTheTwoWithPointsAndTellsOfTheThird)
{
    makeModel();
    auto view = makeView();
    const std::vector<fs::path> files {
        writeGpx("matin.gpx", "Tour du lac", "2026-05-01T08:00:00Z", "2026-05-01T09:00:00Z"),
        writeGpx("Col de Balme.gpx", "", "2026-06-01T08:00:00Z", "2026-06-01T10:30:00Z"),
    };
    const fs::path empty = folder / "vide.gpx";
    std::ofstream(empty) << R"(<?xml version="1.0"?><gpx version="1.1" xmlns="http://www.topografix.com/GPX/1/1"><wpt lat="45" lon="6"/></gpx>)";

    view->importFiles({ files[0], empty, files[1] });
    EXPECT_FALSE(view->importButton().isEnabled()) << "one import at a time";
    waitForImport(*view);
    EXPECT_TRUE(view->importButton().isEnabled());

    ASSERT_EQ(view->list().count(), 2);
    EXPECT_EQ(view->rowTexts(0).front(), "Col de Balme") << "newest first; the file's name without a name inside";
    EXPECT_EQ(view->rowTexts(1).front(), "Tour du lac");
    ASSERT_NE(view->importAlert(), nullptr);
    EXPECT_EQ(view->importAlert()->windowTitle(), "Import");

    EXPECT_EQ(view->importAlert()->text(), "2 trajet(s) importé(s). Ce fichier ne contient aucun trajet : vide.gpx.")
        << "a file of waypoints only says so";
    EXPECT_TRUE(view->footer().text().startsWith("2 trajet(s) · ")) << view->footer().text().toStdString();
    EXPECT_FALSE(view->footer().text().endsWith("Zéro octet"));
    const auto picture = fs::read_symlink("/proc/self/exe").parent_path() / "library-tracks.png";
    EXPECT_TRUE(view->grab().save(QString::fromStdString(picture.string()), "PNG"));
}

TEST_F(TracksViewTest, AFileOverTheSizeLimitIsNotRead)
{
    makeModel();
    const fs::path huge = folder / "énorme.gpx";
    std::ofstream(huge) << "<gpx>";
    fs::resize_file(huge, velorin::kMaximumGPXFileBytes + 1);
    const GPXImportResult result = velorin::importGPXFiles(model->tracks().store().root(), { huge }, now);
    EXPECT_EQ(result.imported, 0);
    EXPECT_EQ(result.failed, std::vector<std::string> { "énorme.gpx" });
}

TEST_F(TracksViewTest, ARowShowsTheNameAndFiguresAndARenameIsTrimmedWhileABlankOneIsIgnored)
{
    makeModel();
    auto& store = model->tracks().store();
    const auto metadata = store.create("Lac Blanc", now);
    store.writePoints({ { 45.9, 6.9, 1200, now, 5, {} }, { 45.91, 6.9, 1300, now + std::chrono::minutes(30), 5, {} } },
        metadata.id);
    store.finish(metadata.id, now + std::chrono::minutes(30));
    model->tracks().reloadSavedTracks();
    auto view = makeView();
    ASSERT_EQ(view->list().count(), 1);
    EXPECT_EQ(view->rowTexts(0), (std::vector<QString> { "Lac Blanc", "1,11 km", "100 m", "30 min", "2,2 km/h" }));

    struct Case {
        const char* typed;
        const char* name;
    };
    for (const Case& c : { Case { "  Refuge  ", "Refuge" }, Case { "   ", "Refuge" }, Case { "", "Refuge" } }) {
        view->beginRename(0);
        ASSERT_NE(view->renameField(), nullptr);
        EXPECT_EQ(view->renameField()->placeholderText(), "Nom");
        view->renameField()->setText(c.typed);
        view->renameDialog()->accept();
        QApplication::processEvents();
        EXPECT_EQ(model->tracks().savedTracks().front().name, c.name) << '"' << c.typed << '"';
        EXPECT_EQ(view->rowTexts(0).front(), c.name);
    }
}

TEST_F(TracksViewTest, TheRecordingTrackIsMarkedAndItsDeletionAsksThenStopsAndDeletes)
{
    makeModel();
    auto& recorder = model->tracks();
    const auto older = recorder.store().create("Hier", now - std::chrono::hours(24));
    recorder.store().finish(older.id, now - std::chrono::hours(23));
    recorder.start("Aujourd'hui");
    recorder.record(testing_support::walkFix(0), std::nullopt);
    recorder.reloadSavedTracks();
    auto view = makeView();
    ASSERT_EQ(view->list().count(), 2);
    EXPECT_EQ(view->rowTexts(0).back(), "En cours");
    EXPECT_NE(view->rowTexts(1).back(), "En cours");

    // A rename while recording survives the end of the recording.
    view->beginRename(0);
    view->renameField()->setText("Lac de Pormenaz");
    view->renameDialog()->accept();
    QApplication::processEvents();

    view->list().clearSelection();
    view->list().item(0)->setSelected(true);
    view->deleteSelected();
    ASSERT_NE(view->deleteConfirmation(), nullptr);
    EXPECT_EQ(view->deleteConfirmation()->text(), "Supprimer le trajet en cours ?");
    EXPECT_EQ(view->deleteConfirmation()->informativeText(), "L'enregistrement sera arrêté, puis le trajet supprimé.");
    auto buttonNamed = [&](const char* text) {
        for (QAbstractButton* button : view->deleteConfirmation()->buttons())
            if (button->text() == text)
                return button;
        return static_cast<QAbstractButton*>(nullptr);
    };
    ASSERT_NE(buttonNamed("Supprimer"), nullptr);
    buttonNamed("Annuler")->click();
    QApplication::processEvents();
    EXPECT_TRUE(recorder.isRecording()) << "Annuler deletes nothing";
    EXPECT_EQ(view->list().count(), 2);

    recorder.stop();
    EXPECT_EQ(recorder.savedTracks().front().name, "Lac de Pormenaz");
    recorder.start("Encore");
    recorder.reloadSavedTracks();
    ASSERT_EQ(view->list().count(), 3);
    view->list().clearSelection();
    const auto ids = view->rowIds();
    for (std::size_t i = 0; i < ids.size(); ++i)
        view->list().item(int(i))->setSelected(ids[i] == older.id || ids[i] == recorder.current()->metadata.id);
    view->deleteSelected();
    ASSERT_NE(view->deleteConfirmation(), nullptr);
    EXPECT_EQ(view->deleteConfirmation()->text(), "Supprimer 2 trajets ?") << "one question for both";
    EXPECT_EQ(view->deleteConfirmation()->informativeText(),
        "Cette action est définitive. L'enregistrement en cours sera arrêté.");
    buttonNamed("Supprimer")->click();
    QApplication::processEvents();
    EXPECT_FALSE(recorder.isRecording());
    ASSERT_EQ(recorder.savedTracks().size(), 1u) << "both selected tracks are deleted";
    EXPECT_EQ(recorder.savedTracks().front().name, "Lac de Pormenaz");
}

TEST_F(TracksViewTest, ClosingTheSheetDuringAnImportDoesNotWaitAndTheImportStillReachesTheLibraryWithoutAnAlert)
{
    makeModel();
    // The import reads a pipe, and cannot end before the test writes the walk into it.
    const fs::path pipe = folder / "matin.gpx";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto view = makeView();
    view->importFiles({ pipe, folder / "absent.gpx" });

    std::promise<void> sheetGone;
    std::atomic<bool> written = false;
    std::thread writer([&, gone = sheetGone.get_future()] {
        // A sheet that waited for its import would wait for ever: it is let go after a while.
        gone.wait_for(std::chrono::seconds(30));
        std::ofstream(pipe) << walk("Tour du lac", "2026-05-01T08:00:00Z", "2026-05-01T09:00:00Z");
        written = true;
    });
    view.reset();
    EXPECT_FALSE(written) << "the sheet waited for its import";
    sheetGone.set_value();
    writer.join();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (model->tracks().savedTracks().empty() && std::chrono::steady_clock::now() < deadline)
        mainQueue->runOneWaiting(0.01);
    ASSERT_EQ(model->tracks().savedTracks().size(), 1u);
    EXPECT_EQ(model->tracks().savedTracks().front().name, "Tour du lac");
    QApplication::processEvents();
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<QMessageBox*>(window), nullptr) << "nobody is left to read of the missing file";
}

TEST_F(TracksViewTest, DeletingSeveralTracksAsksFirstNamingHowManyWhileOneRowGoesAtOnce)
{
    makeModel();
    auto& store = model->tracks().store();
    for (int i = 0; i < 4; ++i) {
        const auto metadata = store.create("Balade " + std::to_string(i + 1), now + std::chrono::hours(i));
        store.finish(metadata.id, now + std::chrono::hours(i) + std::chrono::minutes(30));
    }
    model->tracks().reloadSavedTracks();
    auto view = makeView();
    view->show();
    // The keys go to the list as the walker types them there.
    auto focusList = [&] {
        QApplication::setActiveWindow(view.get());
        view->list().setFocus();
        QApplication::processEvents();
        return view->list().hasFocus();
    };
    ASSERT_TRUE(focusList());
    auto settle = [] {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    auto buttonNamed = [&](const char* text) {
        for (QAbstractButton* button : view->deleteConfirmation()->buttons())
            if (button->text() == text)
                return button;
        return static_cast<QAbstractButton*>(nullptr);
    };

    view->list().setCurrentRow(0);
    QTest::keyClick(&view->list(), Qt::Key_Delete);
    settle();
    EXPECT_EQ(view->deleteConfirmation(), nullptr) << "one row goes at once";
    ASSERT_EQ(model->tracks().savedTracks().size(), 3u);

    auto selectAllAndDelete = [&] {
        EXPECT_TRUE(focusList());
        QTest::keyClick(&view->list(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(view->list().selectedItems().size(), 3);
        QTest::keyClick(&view->list(), Qt::Key_Delete);
        settle();
        EXPECT_EQ(model->tracks().savedTracks().size(), 3u) << "nothing goes before the answer";
        return view->deleteConfirmation();
    };
    QMessageBox* box = selectAllAndDelete();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Supprimer");
    EXPECT_EQ(box->text(), "Supprimer 3 trajets ?");
    EXPECT_EQ(box->informativeText(), "Cette action est définitive.");
    ASSERT_NE(buttonNamed("Supprimer"), nullptr);
    EXPECT_EQ(box->buttonRole(buttonNamed("Supprimer")), QMessageBox::DestructiveRole);
    const auto picture = fs::read_symlink("/proc/self/exe").parent_path() / "library-delete-tracks.png";
    EXPECT_TRUE(box->grab().save(QString::fromStdString(picture.string()), "PNG"));
    buttonNamed("Annuler")->click();
    settle();
    EXPECT_EQ(view->deleteConfirmation(), nullptr);
    EXPECT_EQ(model->tracks().savedTracks().size(), 3u) << "Annuler keeps every track";

    ASSERT_NE(selectAllAndDelete(), nullptr);
    buttonNamed("Supprimer")->click();
    settle();
    EXPECT_TRUE(model->tracks().savedTracks().empty());
    EXPECT_TRUE(view->emptyState().isVisibleTo(view.get()));
}

TEST_F(TracksViewTest, AnOpenedRowShowsItsDetailWhoseActionsGoThroughTheRecorderAndOnlyMapAndFlyoverCloseTheSheet)
{
    makeModel();
    auto& store = model->tracks().store();
    // A walk, then a drive that the on-foot edit cuts.
    const auto metadata = store.create("Lac Blanc", now);
    std::vector<velorin::TrackPoint> points;
    for (int i = 0; i < 4; ++i)
        points.push_back({ 45.9 + 0.002 * i, 6.9, 1200.0 + 30 * i, now + std::chrono::minutes(5 * i), 5,
            i < 2 ? velorin::TravelMode::walking : velorin::TravelMode::automotive });
    store.writePoints(points, metadata.id);
    store.finish(metadata.id, now + std::chrono::minutes(15));
    model->tracks().reloadSavedTracks();

    std::vector<std::string> shown, flown;
    TracksView view(*model, [&](const velorin::Track& track) { shown.push_back(track.metadata.name); },
        [&](const velorin::Track& track) { flown.push_back(track.metadata.name); });
    auto open = [&] {
        view.open();
        emit view.list().itemActivated(view.list().item(0));
        QApplication::processEvents();
        EXPECT_NE(view.detail(), nullptr);
        return view.detail();
    };
    auto settle = [] {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    auto click = [](QWidget* parent, const char* name) { parent->findChild<QAbstractButton*>(name)->click(); };

    velorin::TrackDetailView* detail = open();
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(detail->isVisibleTo(&view));
    EXPECT_FALSE(view.list().isVisibleTo(&view));
    EXPECT_EQ(detail->track().points.size(), 4u) << "read afresh from the store";
    click(detail, "back");
    settle();
    EXPECT_EQ(view.detail(), nullptr);
    EXPECT_TRUE(view.list().isVisibleTo(&view));

    // A rename and an edit keep the sheet and the detail open.
    detail = open();
    click(detail, "rename");
    detail->renameField()->setText(" Lac Blanc et Lac Cornu ");
    detail->renameDialog()->accept();
    settle();
    EXPECT_EQ(store.readMetadata(metadata.id)->name, "Lac Blanc et Lac Cornu");
    EXPECT_EQ(view.rowTexts(0).front(), "Lac Blanc et Lac Cornu");
    click(detail, "keepOnFoot");
    for (QAbstractButton* button : detail->editConfirmation()->buttons())
        if (button->text() == "Retirer la voiture")
            button->click();
    settle();
    EXPECT_EQ(view.detail(), detail);
    EXPECT_EQ(detail->track().points.size(), 2u);
    EXPECT_EQ(store.readPoints(metadata.id).size(), 2u);
    EXPECT_TRUE(view.isVisible());

    // The map and the flyover hand the track on, then close the whole sheet.
    click(detail, "showOnMap");
    settle();
    EXPECT_EQ(shown, std::vector<std::string> { "Lac Blanc et Lac Cornu" });
    EXPECT_FALSE(view.isVisible());
    detail = open();
    click(detail, "flyover");
    settle();
    EXPECT_EQ(flown, std::vector<std::string> { "Lac Blanc et Lac Cornu" });
    EXPECT_FALSE(view.isVisible());

    // A deletion goes back to the list, which the sheet still shows.
    detail = open();
    click(detail, "delete");
    for (QAbstractButton* button : detail->deleteConfirmation()->buttons())
        if (button->text() == "Supprimer")
            button->click();
    settle();
    EXPECT_EQ(view.detail(), nullptr);
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(model->tracks().savedTracks().empty());
    EXPECT_TRUE(view.emptyState().isVisibleTo(&view));
}

TEST_F(TracksViewTest, ARowWhoseMetadataIsGoneOpensNothing)
{
    makeModel();
    auto& store = model->tracks().store();
    const auto metadata = store.create("Lac Blanc", now);
    model->tracks().reloadSavedTracks();
    auto view = makeView();
    fs::remove(store.root() / metadata.id / velorin::TrackStore::kMetadataFile);
    emit view->list().itemActivated(view->list().item(0));
    EXPECT_EQ(view->detail(), nullptr);
}
