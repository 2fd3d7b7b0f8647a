#include "account/ui/SettingsView.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollArea>

#include "account/ui/tests/SheetPictures.h"

#include "app/tests/AppModelFixture.h"
#include "canvas/GestureJournal.h"
#include "map-data/TileRelay.h"
#include "testing/TestApplication.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QCoreApplication>

using velorin::AppModel;
using velorin::Basemap;
using velorin::SettingsView;

namespace {

class SettingsViewTest : public testing_support::AppModelFixture {
protected:
    std::vector<std::pair<bool, std::optional<bool>>> reloads;

    void SetUp() override { testing_support::application(); }

    std::unique_ptr<SettingsView> open()
    {
        auto& model = makeModel();
        return std::make_unique<SettingsView>(model, [this](bool requestAccess) {
            // What the preferences hold at the moment of the call.
            reloads.emplace_back(requestAccess, model_defaults()->boolean(AppModel::kLibraryPhotosKey));
        });
    }

    std::shared_ptr<platform::UserDefaults> model_defaults() { return model->defaults(); }
};

TEST_F(SettingsViewTest, TheSwitchesShowTheirDefaultsAndWriteNothingUntilMoved)
{
    auto view = open();
    EXPECT_FALSE(view->tileRelay().isChecked()) << "no relay is configured here";
    EXPECT_FALSE(view->videoHD().isChecked());
    EXPECT_FALSE(view->cameraInfo().isChecked());
    EXPECT_TRUE(view->libraryPhotos().isChecked());
    EXPECT_FALSE(std::filesystem::exists(folders.defaults())) << "showing the sheet writes nothing";
    testing_support::writeSheetPicture(*view, "settings-sheet.png");
    EXPECT_FALSE(std::filesystem::exists(folders.defaults())) << "nor drawing it";

    storePreferences(R"({"Velorin.libraryPhotos": "oui", "videoHD": true})");
    view = open();
    EXPECT_TRUE(view->libraryPhotos().isChecked()) << "a stored value that is no Boolean reads as true";
    EXPECT_TRUE(view->videoHD().isChecked());
    EXPECT_EQ(model->defaults()->string(AppModel::kLibraryPhotosKey), "oui") << "and is left alone";
}

TEST_F(SettingsViewTest, TheSheetIsTitledAndAsLargeAsItsSectionsWithinTheWindowItOpensOver)
{
    auto& model = makeModel();
    QWidget window;
    window.resize(1400, 1200);
    SettingsView large(model, {}, &window);
    auto* title = large.findChild<QLabel*>("title");
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), QStringLiteral("Réglages"));
    auto* scroll = large.findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    large.show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << "nothing to scroll: the sheet holds every section";
    EXPECT_GE(large.height(), scroll->widget()->sizeHint().height());
    large.hide();

    window.resize(700, 400);
    SettingsView small(model, {}, &window);
    EXPECT_LE(small.height(), 400) << "within a smaller window, which it scrolls in";
    EXPECT_LE(small.width(), 700);
}

TEST_F(SettingsViewTest, EachSwitchWritesItsKeyAtOnceAndThePhotosOneWritesBeforeItReloads)
{
    auto view = open();
    struct Case {
        QCheckBox& box;
        std::string_view key;
    };
    for (const Case& c : {Case {view->videoHD(), AppModel::kVideoHDKey},
             Case {view->cameraInfo(), velorin::GestureJournal::kEnabledKey},
             Case {view->libraryPhotos(), AppModel::kLibraryPhotosKey}}) {
        const bool before = c.box.isChecked();
        c.box.click();
        EXPECT_EQ(model->defaults()->boolean(c.key), !before) << c.key;
    }
    ASSERT_EQ(reloads.size(), 1u);
    EXPECT_EQ(reloads[0], std::pair(false, std::optional(false))) << "written first, then reloaded with the value";
}

TEST_F(SettingsViewTest, TheRelaySwitchWorksOnlyWithARelayAndSaysSoOtherwise)
{
    storePreferences(R"({"Velorin.tileRelay": true})");
    auto view = open();
    EXPECT_FALSE(view->tileRelay().isEnabled());
    EXPECT_FALSE(view->tileRelay().isChecked()) << "a greyed switch is not shown on";
    EXPECT_TRUE(view->networkFooter().text().endsWith(QString::fromUtf8(SettingsView::kNoRelaySentence)));
    EXPECT_EQ(model->defaults()->boolean(velorin::TileRelay::kSwitchKey), true) << "the stored choice is kept";

    hosts.relayHost = "relay.example.org";
    hosts.relayToken = "0123456789abcdef0123456789abcdef";
    view = open();
    EXPECT_TRUE(view->tileRelay().isEnabled());
    EXPECT_TRUE(view->tileRelay().isChecked());
    view->tileRelay().click();
    EXPECT_EQ(model->defaults()->boolean(velorin::TileRelay::kSwitchKey), false);
}

TEST_F(SettingsViewTest, TheBasemapRowsChooseFollowAndCreditTheModelsBasemap)
{
    auto view = open();
    view->basemapRow(Basemap::openTopo)->click();
    EXPECT_TRUE(view->isMarked(Basemap::openTopo));
    view->basemapRow(Basemap::planIGN)->click();
    EXPECT_EQ(model->basemap(), Basemap::planIGN);
    EXPECT_TRUE(view->isMarked(Basemap::planIGN));
    EXPECT_FALSE(view->isMarked(Basemap::openTopo));
    EXPECT_EQ(view->basemapFooter().text(), QStringLiteral("© IGN — Géoplateforme"));
    EXPECT_TRUE(view->basemapFooter().isVisibleTo(view.get()));
    EXPECT_FALSE(view->commerce().isVisibleTo(view.get()));
    EXPECT_FALSE(view->overlaysFooter().text().contains(QStringLiteral("cartes du monde")));
    EXPECT_FALSE(view->basemapRow(Basemap::top25)) << "TOP25 and the slope map are not offered";
    EXPECT_FALSE(view->basemapRow(Basemap::slopes));
    EXPECT_EQ(view->basemapRow(Basemap::applePlan)->text(), QStringLiteral("OpenStreetMap"));
    EXPECT_EQ(view->basemapRow(Basemap::applePlan)->isEnabled(), AppModel::worldMapsAvailable());

    for (auto [basemap, credit] : {std::pair {Basemap(Basemap::top25), false}, std::pair {Basemap(Basemap::slopes), true}}) {
        model->selectBasemap(basemap);
        ASSERT_EQ(model->basemap(), basemap);
        EXPECT_EQ(view->basemapFooter().isVisibleTo(view.get()), credit) << basemap.rawValue();
        for (Basemap offered : Basemap::selectable)
            EXPECT_FALSE(view->isMarked(offered)) << "no row marked for " << basemap.rawValue();
    }

    // A stored world map, credited as every basemap is.
    storePreferences(R"({"Velorin.basemap": "appleSatellite"})");
    view = open();
    ASSERT_EQ(model->basemap(), Basemap::appleSatellite);
    EXPECT_TRUE(view->basemapFooter().isVisibleTo(view.get()));
    EXPECT_TRUE(view->basemapFooter().text().startsWith(QStringLiteral("Sentinel-2 cloudless")));
    EXPECT_TRUE(view->commerce().isVisibleTo(view.get()));
    EXPECT_TRUE(view->overlaysFooter().text().endsWith(QString::fromUtf8(SettingsView::kWorldMapsSentence)));
    view->basemapRow(Basemap::planIGN)->click();
    EXPECT_FALSE(view->commerce().isVisibleTo(view.get()));
    EXPECT_FALSE(view->overlaysFooter().text().contains(QStringLiteral("cartes du monde")));
}

TEST_F(SettingsViewTest, TheOverlaySwitchesInvertTheModelsFlags)
{
    auto view = open();
    const bool slopes = model->showsSlopes();
    view->slopes().click();
    EXPECT_EQ(model->showsSlopes(), !slopes);
    EXPECT_EQ(view->slopes().isChecked(), model->showsSlopes());
    const bool commerce = model->showsAppleCommerce();
    view->commerce().click();
    EXPECT_EQ(model->showsAppleCommerce(), !commerce);
}

} // namespace

TEST_F(SettingsViewTest, ThePositionChoiceNamesTheSourceAndStoresItOnceItIsComplete)
{
    auto view = open();
    EXPECT_EQ(view->positionKind().currentText(), "Automatique");
    EXPECT_TRUE(view->positionPath().isHidden());

    view->positionKind().setCurrentIndex(2);
    emit view->positionKind().activated(2);
    EXPECT_FALSE(view->positionPath().isHidden());
    EXPECT_EQ(view->positionKind().currentIndex(), 2) << "an NMEA choice waits for its path";
    EXPECT_EQ(model->positionSource(), platform::PositionSourceChoice {});
    view->positionPath().setText("/dev/ttyACM0");
    emit view->positionPath().editingFinished();
    EXPECT_EQ(model->positionSource(), platform::PositionSourceChoice::nmea("/dev/ttyACM0"));
    EXPECT_EQ(readPreferences()->string(AppModel::kPositionSourceKey), "nmea:/dev/ttyACM0");
    // The section itself: the sheet, never shown, does not scroll down to it.
    QWidget* section = view->positionKind().parentWidget();
    section->resize(section->sizeHint().expandedTo(QSize(480, 0)));
    const auto picture = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "settings-sheet-position.png";
    EXPECT_TRUE(section->grab().save(QString::fromStdString(picture.string()), "PNG"));

    view->positionKind().setCurrentIndex(1);
    emit view->positionKind().activated(1);
    EXPECT_EQ(readPreferences()->string(AppModel::kPositionSourceKey), "gpsd");
    view->positionPath().setText("10.0.0.2:2948");
    emit view->positionPath().editingFinished();
    EXPECT_EQ(readPreferences()->string(AppModel::kPositionSourceKey), "gpsd:10.0.0.2:2948");

    struct Case {
        int kind;
        const char* path;
        std::optional<platform::PositionSourceChoice> choice;
    };
    for (const Case& c : { Case { 0, "", platform::PositionSourceChoice {} }, Case { 1, "", platform::PositionSourceChoice::gpsd() },
             Case { 1, "hote", std::nullopt }, Case { 2, " sortie.nmea ", platform::PositionSourceChoice::nmea("sortie.nmea") },
             Case { 2, "", std::nullopt } }) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SettingsView::positionChoice(c.kind, c.path), c.choice);
    }

    view = open();
    EXPECT_EQ(view->positionKind().currentIndex(), 1) << "read back from the preferences";
    EXPECT_EQ(view->positionPath().text(), "10.0.0.2:2948");
}
