#include "library/TrackDetailView.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/LoopbackMaps.h"
#include "library/AltitudeProfileChart.h"
#include "library/TrackMapPreview.h"
#include "library/TrackPreviewFrame.h"
#include "recordings/GPXWriter.h"
#include "testing/TestApplication.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScrollArea>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

using velorin::AltitudeProfileChart;
using velorin::Track;
using velorin::TrackDetailView;
using velorin::TrackEdit;
using velorin::TrackPoint;
using velorin::TravelMode;
namespace fs = std::filesystem;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class TrackDetailViewTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override
    {
        testing_support::application();
        makeModel();
    }

    // A point `north` metres up the meridian from the start, `seconds` after it.
    TrackPoint pointAt(double north, double seconds, std::optional<double> altitude,
        std::optional<TravelMode> mode = TravelMode::walking) const
    {
        return { 45.9 + north / 111195.0, 6.9, altitude,
            now + std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(seconds)),
            5, mode };
    }

    Track trackOf(std::vector<TrackPoint> points, std::string name = "Lac Blanc") const
    {
        Track track;
        track.metadata.id = "6F1C2A9E-4B7D-4E1A-9C3B-2D5E8F0A1B2C";
        track.metadata.name = std::move(name);
        track.metadata.startedAt = now;
        track.points = std::move(points);
        return track;
    }

    // Ten minutes at the car park, a walk north climbing 100 m, then a drive.
    Track carParkWalkAndDrive() const
    {
        std::vector<TrackPoint> points;
        for (int i = 0; i < 7; ++i)
            points.push_back(pointAt(i % 2, 100.0 * i, 1200, TravelMode::stationary));
        for (int i = 1; i <= 5; ++i)
            points.push_back(pointAt(200.0 * i, 600 + 60.0 * i, 1200 + 20.0 * i));
        for (int i = 1; i <= 3; ++i)
            points.push_back(pointAt(1000 + 2000.0 * i, 900 + 60.0 * i, 1300, TravelMode::automotive));
        return trackOf(points);
    }

    // The view, with every callback written down in `calls` as it comes.
    std::unique_ptr<TrackDetailView> makeView(Track track)
    {
        TrackDetailView::Callbacks callbacks {
            .onShowOnMap = [this](const Track&) { calls.push_back("show"); },
            .onDelete = [this](const Track&) { calls.push_back("delete"); },
            .onRename = [this](const Track&, const std::string& name) { calls.push_back("rename " + name); },
            .onEdit = [this](TrackEdit edit) {
                calls.push_back(edit == TrackEdit::trimEnds ? "trim" : "foot");
                return edited;
            },
            .onFlyover = [this](const Track&) { calls.push_back("flyover"); },
            .dismiss = [this] { calls.push_back("dismiss"); },
        };
        auto view = std::make_unique<TrackDetailView>(std::move(track), *model, std::move(callbacks));
        view->resize(480, 1100);
        return view;
    }

    static QAbstractButton* button(const QWidget& view, const char* name)
    {
        return view.findChild<QAbstractButton*>(name);
    }

    static QString note(const QWidget& view, const char* name)
    {
        const auto* label = view.findChild<QLabel*>(name);
        return label ? label->property("value").toString() : QString();
    }

    static QAbstractButton* buttonNamed(QMessageBox& box, const QString& text)
    {
        for (QAbstractButton* button : box.buttons())
            if (button->text() == text)
                return button;
        return nullptr;
    }

    // Trims the car park walk and drive's ends through the detail's button, the edit giving
    // back its six walked points; the trimmed track.
    Track trimThroughTheButton(TrackDetailView& view)
    {
        Track trimmed = carParkWalkAndDrive();
        trimmed.points.erase(trimmed.points.begin(), trimmed.points.begin() + 6);
        trimmed.points.resize(6);
        edited = trimmed;
        button(view, "trimEnds")->click();
        buttonNamed(*view.editConfirmation(), "Élaguer")->click();
        QApplication::processEvents();
        return trimmed;
    }

    std::vector<std::string> calls;
    // What the next edit gives back.
    std::optional<Track> edited;
};

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

} // namespace

TEST_F(TrackDetailViewTest, AShortTrackHasNoFlyoverAndATrackWithoutTwoAltitudesSaysNoneWasRecorded)
{
    struct Case {
        const char* name;
        std::vector<TrackPoint> points;
        bool flyover;
    };
    for (const Case& c : {
             Case { "no point", {}, false },
             Case { "one point", { pointAt(0, 0, 1500) }, false },
             Case { "two points, one altitude", { pointAt(0, 0, 1500), pointAt(100, 60, std::nullopt) }, true },
         }) {
        auto view = makeView(trackOf(c.points));
        EXPECT_EQ(button(*view, "flyover") != nullptr, c.flyover) << c.name;
        EXPECT_NE(button(*view, "showOnMap"), nullptr) << c.name;
        EXPECT_EQ(view->findChild<AltitudeProfileChart*>(), nullptr) << c.name;
        ASSERT_NE(view->findChild<QLabel*>("noAltitude"), nullptr) << c.name;
        EXPECT_EQ(view->findChild<QLabel*>("noAltitude")->text(), "Aucune altitude relevée");
        EXPECT_TRUE(view->findChild<QLabel*>("noAltitudeFooter")->text().startsWith(
            "Une position obtenue par Wi-Fi n'a pas de composante verticale."));
        EXPECT_EQ(button(*view, "trimEnds"), nullptr) << c.name << ": nothing to cut";
        EXPECT_EQ(button(*view, "keepOnFoot"), nullptr) << c.name;
    }
}

TEST_F(TrackDetailViewTest, TheChartSpansTheAltitudesWithTheirMarginAndWritesItsMarksInFrench)
{
    struct Case {
        const char* name;
        std::vector<TrackPoint> points;
        std::pair<double, double> range;
        std::vector<QString> altitudeMarks;
    };
    for (const Case& c : {
             Case { "flat", { pointAt(0, 0, 1500), pointAt(1200, 600, 1500), pointAt(2400, 1200, 1500) }, { 1490, 1510 },
                 { "1490 m", "1495 m", "1500 m", "1505 m", "1510 m" } },
             Case { "1000 m apart, one altitude damaged",
                 { pointAt(0, 0, 1000), pointAt(1200, 600, kNaN), pointAt(2400, 1200, 2000) }, { 850, 2150 },
                 { "1000 m", "1500 m", "2000 m" } },
         }) {
        auto view = makeView(trackOf(c.points));
        const auto* chart = view->findChild<AltitudeProfileChart*>();
        ASSERT_NE(chart, nullptr) << c.name;
        EXPECT_EQ(chart->altitudeRange(), c.range) << c.name;
        std::vector<QString> altitudes;
        for (const auto& [value, label] : chart->altitudeMarks())
            altitudes.push_back(label);
        EXPECT_EQ(altitudes, c.altitudeMarks) << c.name;
        std::vector<QString> distances;
        for (const auto& [value, label] : chart->distanceMarks())
            distances.push_back(label);
        EXPECT_EQ(distances, (std::vector<QString> { "0 km", "0,5 km", "1 km", "1,5 km", "2 km" })) << c.name;
        for (const velorin::ProfilePoint& point : chart->drawnPoints())
            EXPECT_TRUE(std::isfinite(point.meters) && std::isfinite(point.kilometers)) << c.name;
        EXPECT_EQ(view->findChild<QLabel*>("noAltitude"), nullptr) << c.name;
    }
}

TEST_F(TrackDetailViewTest, AWalkBetweenACarParkAndADriveShowsItsFiguresPauseModeAndBothEdits)
{
    auto view = makeView(carParkWalkAndDrive());
    EXPECT_EQ(view->findChild<QLabel*>("name")->text(), "Lac Blanc");
    EXPECT_FALSE(view->findChild<QLabel*>("date")->text().isEmpty());
    const auto cells = view->cells();
    ASSERT_EQ(cells.size(), 6u);
    const std::vector<QString> labels { "distance", "durée", "D+", "D\u2212", "en marche", "vitesse moyenne" };
    for (std::size_t i = 0; i < cells.size(); ++i)
        EXPECT_EQ(cells[i].label, labels[i]);
    EXPECT_EQ(cells[0].value, "7,01 km");
    EXPECT_EQ(cells[1].value, "18 min");
    EXPECT_EQ(cells[2].value, "100 m");
    EXPECT_EQ(cells[3].value, "0 m");
    EXPECT_EQ(cells[4].value, "8 min");
    EXPECT_EQ(note(*view, "altitudeRange"), "de 1200 à 1300 m");
    EXPECT_EQ(note(*view, "pauses"), "1 pause(s) · 10 min à l'arrêt");
    EXPECT_EQ(note(*view, "mainMode"), "Principalement à pied");
    EXPECT_EQ(view->findChild<QLabel*>("editsFooter")->text(),
        "Retire 6 point(s) relevés à l'arrêt avant le départ et après l'arrivée.");

    struct Case {
        TrackEdit edit;
        const char* button;
        const char* title;
        const char* action;
        const char* message;
    };
    for (const Case& c : {
             Case { TrackEdit::trimEnds, "trimEnds", "Élaguer les extrémités ?", "Élaguer",
                 "6 point(s) relevés sans bouger seront retirés du début et de la fin. Les statistiques et le profil "
                 "seront recalculés." },
             Case { TrackEdit::keepOnFoot, "keepOnFoot", "Ne garder que la marche ?", "Retirer la voiture",
                 "3 point(s) motorisés seront retirés ; seul le plus long passage parcouru à pied est conservé. Les "
                 "statistiques et le profil seront recalculés. Cette action est définitive." },
         }) {
        ASSERT_NE(button(*view, c.button), nullptr) << c.button;
        button(*view, c.button)->click();
        QMessageBox* box = view->editConfirmation();
        ASSERT_NE(box, nullptr) << c.button;
        EXPECT_EQ(box->text(), c.title);
        EXPECT_EQ(box->informativeText(), c.message);
        ASSERT_NE(buttonNamed(*box, c.action), nullptr) << c.button;
        buttonNamed(*box, "Annuler")->click();
        QApplication::processEvents();
        EXPECT_TRUE(calls.empty()) << c.button << ": Annuler changes nothing";
    }

    // An edit that was not applied leaves the screen as it was.
    button(*view, "trimEnds")->click();
    buttonNamed(*view->editConfirmation(), "Élaguer")->click();
    QApplication::processEvents();
    EXPECT_EQ(calls, std::vector<std::string> { "trim" });
    EXPECT_EQ(view->values().trimCount, 6u);

    // The edited track comes back: every section follows it, and nothing more is to cut.
    const Track trimmed = trimThroughTheButton(*view);
    EXPECT_EQ(view->track(), trimmed);
    EXPECT_EQ(button(*view, "trimEnds"), nullptr);
    EXPECT_EQ(button(*view, "keepOnFoot"), nullptr);
    EXPECT_EQ(view->findChild<QLabel*>("editsFooter"), nullptr);
    EXPECT_EQ(note(*view, "pauses"), "");
    EXPECT_EQ(view->cells()[0].value, "1,00 km");
}

TEST_F(TrackDetailViewTest, AnEditHandsTheEditedTrackToTheSamePreviewWhichDrawsItThen)
{
    auto view = makeView(carParkWalkAndDrive());
    QPointer<velorin::TrackMapPreview> preview = view->findChild<velorin::TrackMapPreview*>();
    ASSERT_NE(preview, nullptr);
    // The tile hosts refuse at once: a picture is the track's line over the plain background.
    auto pictureOf = [](const Track& track) {
        return velorin::TrackMapPreview::render(*velorin::TrackPreviewFrame::make(track.points), {});
    };
    auto shows = [&](const QImage& expected) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!(preview->image() && *preview->image() == expected) && std::chrono::steady_clock::now() < deadline) {
            mainQueue->runOneWaiting(0.01);
            mainQueue->drain();
        }
        return preview->image() && *preview->image() == expected;
    };
    ASSERT_TRUE(shows(pictureOf(carParkWalkAndDrive())));

    const Track trimmed = trimThroughTheButton(*view);
    ASSERT_TRUE(preview) << "the preview outlives the edit";
    EXPECT_EQ(view->findChild<velorin::TrackMapPreview*>(), preview.data());
    EXPECT_TRUE(preview->isVisibleTo(view.get()));
    EXPECT_TRUE(preview->image()) << "the earlier picture stays until the new one is drawn";
    EXPECT_TRUE(shows(pictureOf(trimmed)));
}

TEST_F(TrackDetailViewTest, ARenameIsTrimmedABlankOneIgnoredAndTheExportFileFollowsTheName)
{
    auto view = makeView(carParkWalkAndDrive());
    ASSERT_TRUE(view->exportFile());
    const fs::path first = *view->exportFile();
    EXPECT_EQ(first.filename(), "Lac-Blanc.gpx");
    EXPECT_NE(contents(first).find("<name>Lac Blanc</name>"), std::string::npos);

    struct Case {
        const char* typed;
        const char* name;
        std::vector<std::string> calls;
    };
    for (const Case& c : {
             Case { "   \n", "Lac Blanc", {} },
             Case { "", "Lac Blanc", {} },
             Case { "  Refuge du Lac Blanc\n", "Refuge du Lac Blanc", { "rename Refuge du Lac Blanc" } },
         }) {
        calls.clear();
        button(*view, "rename")->click();
        ASSERT_NE(view->renameField(), nullptr);
        EXPECT_EQ(view->renameField()->placeholderText(), "Nom");
        EXPECT_EQ(view->renameDialog()->windowTitle(), "Renommer le trajet");
        view->renameField()->setText(c.typed);
        view->renameDialog()->accept();
        QApplication::processEvents();
        EXPECT_EQ(calls, c.calls) << '"' << c.typed << '"';
        EXPECT_EQ(view->findChild<QLabel*>("name")->text(), c.name);
        EXPECT_EQ(view->track().metadata.name, c.name);
    }
    ASSERT_TRUE(view->exportFile());
    EXPECT_EQ(view->exportFile()->filename(), "Refuge-du-Lac-Blanc.gpx");
    EXPECT_NE(contents(*view->exportFile()).find("<name>Refuge du Lac Blanc</name>"), std::string::npos);
    EXPECT_FALSE(fs::exists(first)) << "no copy is left under the old name";
}

TEST_F(TrackDetailViewTest, CallbacksComeBeforeTheScreenClosesAndOnlyShowFlyoverAndDeleteCloseIt)
{
    struct Case {
        const char* name;
        std::function<void(TrackDetailView&)> act;
        std::vector<std::string> calls;
    };
    for (const Case& c : {
             Case { "map", [](TrackDetailView& view) { button(view, "showOnMap")->click(); }, { "show", "dismiss" } },
             Case { "flyover", [](TrackDetailView& view) { button(view, "flyover")->click(); }, { "flyover", "dismiss" } },
             Case { "back", [](TrackDetailView& view) { button(view, "back")->click(); }, { "dismiss" } },
             Case { "delete",
                 [](TrackDetailView& view) {
                     button(view, "delete")->click();
                     ASSERT_NE(view.deleteConfirmation(), nullptr);
                     EXPECT_EQ(view.deleteConfirmation()->text(), "Supprimer ce trajet ?");
                     EXPECT_EQ(view.deleteConfirmation()->informativeText(),
                         "Cette action est définitive. Exportez le trajet en GPX si vous souhaitez le conserver.");
                     buttonNamed(*view.deleteConfirmation(), "Supprimer")->click();
                 },
                 { "delete", "dismiss" } },
             Case { "delete cancelled",
                 [](TrackDetailView& view) {
                     button(view, "delete")->click();
                     buttonNamed(*view.deleteConfirmation(), "Annuler")->click();
                 },
                 {} },
             Case { "rename",
                 [](TrackDetailView& view) {
                     button(view, "rename")->click();
                     view.renameField()->setText("Col de Balme");
                     view.renameDialog()->accept();
                 },
                 { "rename Col de Balme" } },
             Case { "edit",
                 [](TrackDetailView& view) {
                     button(view, "keepOnFoot")->click();
                     buttonNamed(*view.editConfirmation(), "Retirer la voiture")->click();
                 },
                 { "foot" } },
         }) {
        calls.clear();
        auto view = makeView(carParkWalkAndDrive());
        c.act(*view);
        QApplication::processEvents();
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

TEST_F(TrackDetailViewTest, WhileItsTrackRecordsTheRenameAndEditsWaitAndDeletingSaysTheRecordingStops)
{
    auto& recorder = model->tracks();
    recorder.start("En route");
    const std::string id = recorder.current()->metadata.id;
    Track track = carParkWalkAndDrive();
    track.metadata = recorder.current()->metadata;
    auto view = makeView(track);
    EXPECT_FALSE(button(*view, "rename")->isEnabled());
    EXPECT_FALSE(button(*view, "trimEnds")->isEnabled());
    EXPECT_FALSE(button(*view, "keepOnFoot")->isEnabled());
    view->beginRename();
    EXPECT_EQ(view->renameDialog(), nullptr);

    button(*view, "delete")->click();
    ASSERT_NE(view->deleteConfirmation(), nullptr);
    EXPECT_EQ(view->deleteConfirmation()->text(), "Supprimer le trajet en cours ?");
    EXPECT_EQ(view->deleteConfirmation()->informativeText(), "L'enregistrement sera arrêté, puis le trajet supprimé.");
    buttonNamed(*view->deleteConfirmation(), "Annuler")->click();
    QApplication::processEvents();

    recorder.stop();
    EXPECT_TRUE(button(*view, "rename")->isEnabled()) << "the recording ended";
    EXPECT_TRUE(button(*view, "trimEnds")->isEnabled());
}

TEST_F(TrackDetailViewTest, ExportCopiesTheGpxFileWhereChosenAndSaysSoWhenItCannot)
{
    auto view = makeView(carParkWalkAndDrive());
    ASSERT_TRUE(view->exportFile());
    EXPECT_TRUE(button(*view, "export")->isVisibleTo(view.get()));
    EXPECT_EQ(button(*view, "export")->accessibleName(), "Exporter en GPX");
    EXPECT_EQ(view->exportFile()->parent_path(), velorin::gpxExportFolder(folders)) << "never the shared temporary folder";

    const fs::path chosen = folder / "Documents" / "lac.gpx";
    fs::create_directories(chosen.parent_path());
    std::ofstream(chosen) << "an older walk";
    EXPECT_TRUE(view->exportTo(chosen));
    EXPECT_EQ(contents(chosen), contents(*view->exportFile()));
    EXPECT_EQ(view->exportAlert(), nullptr);

    // Under a file, where no folder can be made.
    EXPECT_FALSE(view->exportTo(chosen / "lac.gpx"));
    ASSERT_NE(view->exportAlert(), nullptr);
    EXPECT_EQ(view->exportAlert()->text(), "Le fichier n'a pas été enregistré.");
}

// A plan tile of pale meadow crossed by a darker grid, as a map's squares would be.
std::string meadowTile()
{
    constexpr int side = testing_support::kTileSide;
    platform::Image image { side, side, std::vector<std::byte>(std::size_t(side) * side * 4) };
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool line = x % 64 == 0 || y % 64 == 0;
            auto* pixel = image.pixels.data() + (std::size_t(y) * side + x) * 4;
            pixel[0] = std::byte(line ? 170 : 222);
            pixel[1] = std::byte(line ? 190 : 234);
            pixel[2] = std::byte(line ? 160 : 204);
            pixel[3] = std::byte(255);
        }
    }
    return testing_support::pngOf(image);
}

TEST_F(TrackDetailViewTest, APictureOfADetailWithItsChartAndItsPreviewOverLoopbackTiles)
{
    testing_support::LoopbackServer server;
    server.route("/*", testing_support::LoopbackServer::reply(200, meadowTile(), { { "Content-Type", "image/png" } }));
    hosts.ignHost = fmt::format("127.0.0.1:{}", server.port());
    makeModel();
    // A wait at the car park, up and over a pass with a stop at the top, then a drive.
    std::vector<TrackPoint> points;
    for (int i = 0; i < 4; ++i)
        points.push_back(pointAt(i % 2, 120.0 * i - 480, 1450, TravelMode::stationary));
    for (int i = 0; i <= 400; ++i) {
        const double climb = i <= 200 ? i : 400 - i;
        points.push_back(pointAt(25.0 * i, 30.0 * i + (i > 200 ? 600 : 0), 1450 + 3.2 * climb + 8 * std::sin(i / 7.0)));
    }
    for (int i = 1; i <= 3; ++i)
        points.push_back(pointAt(10000 + 1500.0 * i, 12630 + 60.0 * i, 1450 - 40.0 * i, TravelMode::automotive));
    auto view = makeView(trackOf(points, "Col du Brévent par le Plan Praz"));
    view->show();
    auto* preview = view->findChild<velorin::TrackMapPreview*>();
    ASSERT_NE(preview, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!preview->image() && std::chrono::steady_clock::now() < deadline) {
        mainQueue->runOneWaiting(0.01);
        mainQueue->drain();
        QApplication::processEvents();
    }
    ASSERT_TRUE(preview->image());
    EXPECT_GT(server.requestCount(), 0);
    QApplication::processEvents();
    const auto picture = fs::read_symlink("/proc/self/exe").parent_path() / "library-track-detail.png";
    EXPECT_TRUE(view->grab().save(QString::fromStdString(picture.string()), "PNG"));
    const auto* chart = view->findChild<AltitudeProfileChart*>();
    ASSERT_NE(chart, nullptr);
    EXPECT_LE(chart->drawnPoints().size(), points.size());
}
