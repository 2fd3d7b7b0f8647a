#include "ScreenFixture.h"

#include "map-data/ui/DownloadBanner.h"

#include <QProgressBar>

namespace {

class DownloadBanner : public testing_support::ScreenFixture { };

} // namespace

TEST_F(DownloadBanner, ShowsTheJobUntilItEndsAndStopsItOnRequest)
{
    addSheets({ "A" });
    makeDownloader();
    QWidget screen;
    auto banner = new velorin::DownloadBanner(downloader, &screen);
    EXPECT_TRUE(banner->isHidden()) << "no job, no banner";

    downloader->downloadBasemap();
    EXPECT_FALSE(banner->isHidden());
    EXPECT_EQ(labelText(*banner, "title"), "Fond de carte France");
    EXPECT_EQ(child<QPushButton>(*banner, "stop")->text(), "Arrêter");

    child<QPushButton>(*banner, "stop")->click();
    EXPECT_TRUE(downloader->cancelRequested());
    EXPECT_EQ(labelText(*banner, "title"), "Annulation…");
    EXPECT_FALSE(banner->isHidden());

    runQueues();
    EXPECT_FALSE(downloader->job());
    EXPECT_TRUE(banner->isHidden());
}

TEST_F(DownloadBanner, ShowsAZoneJobByItsTitle)
{
    addSheets({ "A", "B" });
    makeDownloader();
    QWidget screen;
    auto banner = new velorin::DownloadBanner(downloader, &screen);
    downloader->downloadZone("Belledonne", sheets);
    EXPECT_EQ(labelText(*banner, "title"), "Belledonne");
    EXPECT_EQ(child<QProgressBar>(*banner, "progress")->value(), 0);
}
