#include "ScreenFixture.h"

#include "map-data/ui/ByteCountText.h"
#include "map-data/ui/OfflineView.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include <filesystem>
#include <fstream>

namespace {

class OfflineViewTest : public testing_support::ScreenFixture {
protected:
    std::unique_ptr<velorin::OfflineView> makeView()
    {
        return std::make_unique<velorin::OfflineView>(downloader, [this] { return visible; });
    }
    QPushButton* button(QObject& view, const char* name) { return child<QPushButton>(view, name); }

    std::vector<velorin::Sheet> visible;
};

} // namespace

TEST(ByteCountText, WritesFileSizesInFrenchDecimalUnits)
{
    struct Case {
        std::uintmax_t bytes;
        const char* text;
    };
    for (auto c : { Case { 0, "Zéro octet" }, Case { 1, "1 octet" }, Case { 999, "999 octets" }, Case { 3500, "4 ko" },
             Case { 10'500'000, "10,5 Mo" }, Case { 999'999, "1,0 Mo" }, Case { 29'200'000'000, "29,20 Go" } })
        EXPECT_EQ(velorin::byteCountText(c.bytes), c.text) << c.bytes;
}

TEST_F(OfflineViewTest, AnEmptyViewOffersNothingToDownload)
{
    makeDownloader();
    auto view = makeView();
    EXPECT_EQ(view->windowTitle(), "Hors ligne");
    EXPECT_EQ(labelText(*view, "sheetCount"), "0");
    EXPECT_EQ(labelText(*view, "sizeEstimate"), "Zéro octet");
    EXPECT_FALSE(button(*view, "downloadZone")->isEnabled());
    EXPECT_EQ(button(*view, "downloadBasemap")->text(), "Télécharger le fond France (≈ 29 Mo)");
    EXPECT_TRUE(child<QGroupBox>(*view, "zones")->isHidden()) << "no zone, no section";
}

TEST_F(OfflineViewTest, NamingAZoneProposesANameAndAnEmptyNameGivesZone)
{
    addSheets({ "A", "B", "C" });
    // Nothing listens there: the job is only started, never run.
    hosts.mediaHost = "127.0.0.1:9";
    makeDownloader();
    visible = sheets;
    auto view = makeView();
    EXPECT_EQ(labelText(*view, "sheetCount"), "3");
    EXPECT_EQ(labelText(*view, "sizeEstimate"), "10,5 Mo");

    button(*view, "downloadZone")->click();
    auto naming = child<QDialog>(*view, "namingDialog");
    EXPECT_TRUE(naming->isVisible());
    EXPECT_EQ(naming->windowTitle(), "Nom de la zone");
    EXPECT_EQ(labelText(*view, "namingMessage"), "3 carte(s), environ 10,5 Mo.");
    auto name = child<QLineEdit>(*view, "zoneName");
    EXPECT_EQ(name->text(), "A et 2 autres");
    EXPECT_EQ(name->placeholderText(), "Zone");

    name->clear();
    button(*view, "confirmZone")->click();
    ASSERT_TRUE(downloader->job());
    EXPECT_EQ(downloader->job()->title, "Zone");
    EXPECT_EQ(downloader->job()->total, 3);
    EXPECT_FALSE(naming->isVisible());

    // While it runs, both downloads are off and emptying the cache does nothing.
    EXPECT_FALSE(button(*view, "downloadZone")->isEnabled());
    EXPECT_FALSE(button(*view, "downloadBasemap")->isEnabled());
    std::filesystem::create_directories(folder / "cache" / "pyramid");
    std::ofstream(folder / "cache" / "pyramid" / "tile.jpg") << "tile";
    downloader->clearCache();
    EXPECT_TRUE(std::filesystem::exists(folder / "cache" / "pyramid" / "tile.jpg"));

    EXPECT_EQ(velorin::OfflineView::defaultZoneName({}), "Zone");
    EXPECT_EQ(velorin::OfflineView::defaultZoneName({ sheets[1] }), "B");
}

TEST_F(OfflineViewTest, ZonesAreListedWithTheirSheetCountAndDateAndTheBasemapShowsDone)
{
    std::filesystem::create_directories(folder / "offline");
    // 788918400 s after 2001: 2026-01-01 00:00 UTC; noon keeps the day in any time zone.
    std::ofstream(folder / "offline" / "zones.json")
        << R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Chartreuse","sheetNames":["A","B"],"createdAt":788961600}])";
    std::ofstream(folder / "offline" / "basemap.done");
    hosts.mediaHost = "127.0.0.1:9";
    makeDownloader();
    auto view = makeView();

    EXPECT_FALSE(child<QGroupBox>(*view, "zones")->isHidden());
    auto list = child<QListWidget>(*view, "zoneList");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Chartreuse\n2 carte(s) · 1 janv. 2026");
    EXPECT_EQ(button(*view, "downloadBasemap")->text(), "Fond de carte téléchargé");
    EXPECT_TRUE(button(*view, "downloadBasemap")->isEnabled());
    EXPECT_NE(labelText(*view, "offlineSize"), "Zéro octet");
    EXPECT_EQ(labelText(*view, "cacheSize"), "Zéro octet");

    list->item(0)->setSelected(true);
    child<QAction>(*list, "deleteZone")->trigger();
    EXPECT_TRUE(downloader->zones().empty());
    EXPECT_TRUE(child<QGroupBox>(*view, "zones")->isHidden());
}

TEST_F(OfflineViewTest, WithoutAMediaHostTheScreenSaysSoAndOffersNoDownload)
{
    addSheets({ "A" });
    makeDownloader();
    visible = sheets;
    auto view = makeView();
    EXPECT_EQ(labelText(*view, "noMediaHost").toStdString(), velorin::OfflineView::kNoMediaHostMessage);
    EXPECT_FALSE(button(*view, "downloadZone")->isEnabled());
    EXPECT_FALSE(button(*view, "downloadBasemap")->isEnabled());
    EXPECT_TRUE(button(*view, "clearCache")->isEnabled());

    hosts.mediaHost = "127.0.0.1:9";
    makeDownloader();
    auto configured = makeView();
    EXPECT_FALSE(configured->findChild<QLabel*>("noMediaHost"));
    EXPECT_TRUE(button(*configured, "downloadZone")->isEnabled());
    EXPECT_TRUE(button(*configured, "downloadBasemap")->isEnabled());
}

TEST_F(OfflineViewTest, AnIncompleteDownloadIsExplainedUntilDismissedOrTheNextDownload)
{
    makeDownloader();
    auto view = makeView();
    auto row = child<QWidget>(*view, "noticeRow");
    EXPECT_TRUE(row->isHidden());

    // Without a media host the base map ends at once, incomplete.
    downloader->downloadBasemap();
    runQueues();
    ASSERT_TRUE(downloader->notice());
    EXPECT_FALSE(row->isHidden());
    EXPECT_EQ(labelText(*view, "notice").toStdString(), *downloader->notice());
    EXPECT_TRUE(labelText(*view, "notice").startsWith("Le fond de carte n'a pas pu être téléchargé en entier."));
    view->resize(view->sizeHint());
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "offline-notice.png";
    EXPECT_TRUE(view->grab().save(QString::fromStdString(file.string()), "PNG"));

    child<QToolButton>(*view, "dismissNotice")->click();
    EXPECT_FALSE(downloader->notice());
    EXPECT_TRUE(row->isHidden());

    downloader->downloadBasemap();
    runQueues();
    EXPECT_FALSE(row->isHidden());
    downloader->downloadBasemap();
    EXPECT_TRUE(row->isHidden()) << "a new download starts without the old notice";
    runQueues();
}

TEST_F(OfflineViewTest, ZoneRowsKeepTheirSelectionWhileTheDownloaderReports)
{
    std::filesystem::create_directories(folder / "offline");
    std::ofstream(folder / "offline" / "zones.json")
        << R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Chartreuse","sheetNames":["A"],"createdAt":788961600},)"
        << R"({"id":"0C247A3E-C36C-495A-93FC-E621E1F86E5F","name":"Vercors","sheetNames":["B"],"createdAt":788875200}])";
    makeDownloader();
    auto view = makeView();
    auto list = child<QListWidget>(*view, "zoneList");
    ASSERT_EQ(list->count(), 2);
    QListWidgetItem* vercors = list->item(1);
    vercors->setSelected(true);

    downloader->refreshSizes();
    runQueues();
    EXPECT_EQ(list->item(1), vercors) << "the rows stay";
    EXPECT_TRUE(vercors->isSelected());

    list->item(0)->setSelected(true);
    vercors->setSelected(false);
    child<QAction>(*list, "deleteZone")->trigger();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Vercors\n1 carte(s) · 31 déc. 2025");
    EXPECT_FALSE(list->item(0)->isSelected()) << "the selection follows its zone, not its row";
}

TEST_F(OfflineViewTest, TheDownloadButtonsDrawTheirSymbols)
{
    makeDownloader();
    auto view = makeView();
    for (const char* name : { "downloadZone", "downloadBasemap" }) {
        const QIcon icon = button(*view, name)->icon();
        ASSERT_FALSE(icon.isNull()) << name;
        const QImage image = icon.pixmap(24, 24).toImage();
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << name;
    }
}
