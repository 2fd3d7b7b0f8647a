#include "TileLoaderFixture.h"

#include "map-data/FranceBasemapKeys.h"
#include "map-data/RegionDownloader.h"
#include "platform/MappedFile.h"
#include "platform/NumberFormat.h"
#include "platform/Uuid.h"

#include <nlohmann/json.hpp>

#include <set>

using testing_support::LoopbackServer;
using testing_support::tileReply;
using velorin::RegionDownloader;

namespace {

// 2026-01-01 00:00:00 UTC.
constexpr std::int64_t kNewYearUnixSeconds = 1767225600;
constexpr double kNewYearSince2001 = 788918400;

// A downloader over a loader whose catalogue holds sheets "S" and "T" (4 × 3 cells in the
// Alps, both served from sheet-4x3.webp), with its utility work on a hand-run queue.
class RegionDownloaderTest : public testing_support::TileLoaderFixture {
protected:
    void SetUp() override
    {
        for (auto name : { "S", "T" }) {
            velorin::Sheet sheet;
            sheet.id = std::int64_t(sheets.size());
            sheet.name = name;
            sheet.sourceWidth = 64;
            sheet.sourceHeight = 48;
            sheet.columns = 4;
            sheet.rows = 3;
            // In the Alps, inside the France box.
            sheet.worldRect = { 0.518, 0.356, 0.519, 0.357 };
            sheets.push_back(sheet);
        }
        decodeImages = true;
        auto file = platform::MappedFile::open(std::filesystem::path(VELORIN_FIXTURES) / "sheet-4x3.webp");
        ASSERT_TRUE(file);
        sheetImage.assign(reinterpret_cast<const char*>(file->bytes().data()), file->size());
    }

    void TearDown() override
    {
        downloader.reset();
        TileLoaderFixture::TearDown();
    }

    void serveSheets()
    {
        server.route("/media/*", LoopbackServer::reply(200, sheetImage));
        server.route("/thumbs/*", LoopbackServer::reply(200, "thumbnail"));
    }

    void makeDownloader()
    {
        if (!loader)
            start();
        downloader = RegionDownloader::make({ store, loader.get(), mainQueue, utilityQueue,
            [this] { return std::chrono::system_clock::from_time_t(kNewYearUnixSeconds + secondsLater); } });
        downloader->observe([this] {
            if (downloader->job())
                jobs.push_back(*downloader->job());
        });
        ASSERT_TRUE(settleAll([] { return true; }));
    }

    // Runs every queue until `condition` holds; false after 60 s (the base map is
    // thousands of transfers).
    bool settleAll(const std::function<bool()>& condition)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            runQueues();
            if (utilityQueue->runAll() == 0 && condition())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    bool runToEnd() { return settleAll([&] { return !downloader->job() && utilityQueue->pendingCount() == 0; }); }

    nlohmann::json zonesFile() const
    {
        auto file = platform::MappedFile::open(offline("zones.json"));
        if (!file)
            return nullptr;
        return nlohmann::json::parse(std::string_view(reinterpret_cast<const char*>(file->bytes().data()), file->size()));
    }

    std::shared_ptr<testing_support::ManualExecutor> utilityQueue = std::make_shared<testing_support::ManualExecutor>();
    std::shared_ptr<RegionDownloader> downloader;
    std::vector<RegionDownloader::Job> jobs;
    std::string sheetImage;
    int secondsLater = 0;
};

} // namespace

TEST_F(RegionDownloaderTest, AZoneLandsInTheZoneListNewestFirstOnceItsSheetsAreOffline)
{
    serveSheets();
    makeDownloader();
    downloader->downloadZone("Alpes", sheets);
    ASSERT_TRUE(downloader->job());
    ASSERT_TRUE(runToEnd());

    EXPECT_EQ(jobs.front(), (RegionDownloader::Job { "Alpes", 0, 2, 0, false }));
    EXPECT_TRUE(std::ranges::any_of(jobs, [](const auto& job) { return job.completed == 1; }));
    EXPECT_TRUE(std::ranges::is_sorted(jobs, {}, &RegionDownloader::Job::progress));
    EXPECT_DOUBLE_EQ(jobs.back().progress, 1.0);
    for (auto name : { "S", "T" }) {
        EXPECT_TRUE(std::filesystem::exists(offline(fmt::format("sub/{}/3_2.jpg", name))));
        EXPECT_TRUE(std::filesystem::exists(offline(fmt::format("thumb1024/{}.jpg", name))));
    }
    EXPECT_GT(downloader->offlineSize(), 0U);

    secondsLater = 60;
    downloader->downloadZone("Solo", { sheets[1] });
    ASSERT_TRUE(runToEnd());
    ASSERT_EQ(downloader->zones().size(), 2U);
    EXPECT_EQ(downloader->zones()[0].name, "Solo");

    auto file = zonesFile();
    ASSERT_TRUE(file.is_array());
    ASSERT_EQ(file.size(), 2U);
    EXPECT_EQ(file[0]["name"], "Solo");
    EXPECT_EQ(file[1]["name"], "Alpes");
    EXPECT_EQ(file[1]["sheetNames"], nlohmann::json({ "S", "T" }));
    EXPECT_EQ(file[1]["createdAt"].get<double>(), kNewYearSince2001);
    EXPECT_EQ(file[0]["createdAt"].get<double>(), kNewYearSince2001 + 60);
    EXPECT_TRUE(platform::isUuid(file[1]["id"].get<std::string>()));

    // Read back by a new downloader, newest first.
    auto zones = downloader->zones();
    makeDownloader();
    EXPECT_EQ(downloader->zones(), zones);
}

TEST_F(RegionDownloaderTest, AZoneWhoseSheetsFailedIsNotRecordedAndANoticeSaysSo)
{
    log.expect("TileLoader", "téléchargement de S impossible");
    makeDownloader();
    downloader->downloadZone("Alpes", { sheets[0] });
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(downloader->zones().empty());
    EXPECT_FALSE(std::filesystem::exists(offline("zones.json")));
    ASSERT_TRUE(downloader->notice());
    EXPECT_NE(downloader->notice()->find("Réessayez"), std::string::npos);
}

TEST_F(RegionDownloaderTest, StartingAJobWhileOneRunsOrWithoutSheetsChangesNothing)
{
    serveSheets();
    makeDownloader();
    downloader->downloadZone("Vide", {});
    EXPECT_FALSE(downloader->job());

    downloader->downloadZone("Alpes", { sheets[0] });
    auto running = downloader->job();
    downloader->downloadZone("Autre", { sheets[1] });
    downloader->downloadBasemap();
    downloader->clearCache();
    EXPECT_EQ(downloader->job(), running);
    ASSERT_TRUE(runToEnd());
    ASSERT_EQ(downloader->zones().size(), 1U);
    EXPECT_EQ(downloader->zones()[0].name, "Alpes");
    EXPECT_EQ(server.requestCount("/tiles/5/14/9.jpg"), 0);
}

TEST_F(RegionDownloaderTest, DeletingAZoneKeepsTheSheetsAnotherZoneListsAndNothingOutsideTheOfflineRoot)
{
    serveSheets();
    makeDownloader();
    downloader->downloadZone("Les deux", sheets);
    ASSERT_TRUE(runToEnd());
    downloader->downloadZone("S seule", { sheets[0] });
    ASSERT_TRUE(runToEnd());

    downloader->deleteZone(downloader->zones()[1].id); // "Les deux"
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(std::filesystem::exists(offline("sub/S/0_0.jpg")));
    EXPECT_TRUE(std::filesystem::exists(offline("thumb256/S.jpg")));
    EXPECT_FALSE(std::filesystem::exists(offline("sub/T")));
    EXPECT_FALSE(std::filesystem::exists(offline("thumb256/T.jpg")));
    EXPECT_FALSE(std::filesystem::exists(offline("thumb1024/T.jpg")));
    EXPECT_EQ(zonesFile().size(), 1U);

    downloader->deleteZone(downloader->zones()[0].id);
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(std::filesystem::exists(offline("sub/S")));
    EXPECT_TRUE(downloader->zones().empty());

    // A zone list edited by hand names folders outside the offline root.
    putFile(folder / "outside" / "keep.txt", "user data");
    putFile(offline("zones.json"),
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"x","createdAt":1,)"
        R"("sheetNames":["..","../..","../../outside",".","","sub/../.."]}])");
    makeDownloader();
    ASSERT_EQ(downloader->zones().size(), 1U);
    downloader->deleteZone(downloader->zones()[0].id);
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(std::filesystem::exists(folder / "outside" / "keep.txt"));
    EXPECT_TRUE(std::filesystem::exists(folder / "offline" / "zones.json"));
    EXPECT_TRUE(std::filesystem::exists(folder / "cache"));
}

TEST_F(RegionDownloaderTest, AZoneListThatDoesNotDecodeStartsEmpty)
{
    for (auto text : { "not json", R"({"id":"x"})", R"([{"id":"x","name":"y","sheetNames":[1],"createdAt":2}])" }) {
        SCOPED_TRACE(text);
        putFile(offline("zones.json"), text);
        makeDownloader();
        EXPECT_TRUE(downloader->zones().empty());
    }
}

TEST_F(RegionDownloaderTest, TheBasemapAsksForTheFranceTilesAndIsMarkedDoneOnlyWhenAllAreOffline)
{
    server.route("/tiles/*", LoopbackServer::reply(503));
    makeDownloader();
    downloader->downloadBasemap();
    EXPECT_EQ(downloader->job(), (RegionDownloader::Job { "Fond de carte France", 0, 1, 0, false }));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(server.requestCount(), 2920);
    EXPECT_FALSE(downloader->hasBaseMap()) << "a server that fails leaves the base map missing";
    EXPECT_FALSE(std::filesystem::exists(offline("basemap.done")));
    ASSERT_TRUE(downloader->notice());
    EXPECT_EQ(*downloader->notice(), "Le fond de carte n'a pas pu être téléchargé en entier. Réessayez avec une connexion.");

    // A server that answers it has no such tiles is not a connection to try again.
    server.route("/tiles/*", LoopbackServer::reply(404));
    downloader->downloadBasemap();
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(downloader->hasBaseMap());
    ASSERT_TRUE(downloader->notice());
    EXPECT_EQ(*downloader->notice(), "Le fond de carte n'a pas pu être téléchargé en entier : "
        + platform::frenchNumber(2920, 0) + " tuiles ne sont pas disponibles sur ce serveur.");

    server.route("/tiles/*", tileReply());
    downloader->downloadBasemap();
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(downloader->hasBaseMap());
    EXPECT_TRUE(std::filesystem::exists(offline("basemap.done")));
    EXPECT_FALSE(downloader->notice());
    EXPECT_DOUBLE_EQ(jobs.back().progress, 1.0);
    EXPECT_EQ(jobs.back().completed, 0);

    std::set<std::string> asked;
    for (const auto& request : server.requests())
        asked.insert(request.path);
    std::set<std::string> france;
    for (const auto& key : velorin::franceBasemapKeys(velorin::SheetCatalog(sheets))) {
        auto pyramid = std::get<velorin::TileKey::Pyramid>(key.value);
        france.insert(fmt::format("/tiles/{}/{}/{}.jpg", pyramid.z, pyramid.x, pyramid.y));
    }
    EXPECT_EQ(asked, france);
    EXPECT_EQ(server.requestCount(), 3 * 2920);

    // A second run fetches nothing and marks the base map done again.
    std::filesystem::remove(offline("basemap.done"));
    makeDownloader();
    downloader->downloadBasemap();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(server.requestCount(), 3 * 2920);
    EXPECT_TRUE(std::filesystem::exists(offline("basemap.done")));
}

TEST_F(RegionDownloaderTest, ACancelledBasemapStartsNoTileAndClaimsNothing)
{
    server.route("/tiles/*", tileReply());
    makeDownloader();
    downloader->downloadBasemap();
    downloader->cancel();
    EXPECT_TRUE(downloader->job()->isCancelling);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(downloader->hasBaseMap());
    EXPECT_FALSE(std::filesystem::exists(offline("basemap.done")));
    EXPECT_FALSE(downloader->notice()) << "a cancel is no failure";
}

TEST_F(RegionDownloaderTest, ClearingTheCacheRunsOffTheMainThreadThenMeasuresAgain)
{
    putFile(cached("pyramid/5/1_1.jpg"), std::string(10000, 'x'));
    putFile(offline("pyramid/5/1_1.jpg"), std::string(10000, 'x'));
    makeDownloader();
    EXPECT_GT(downloader->cacheSize(), 0U);

    downloader->clearCache();
    EXPECT_TRUE(std::filesystem::exists(cached("pyramid/5/1_1.jpg"))) << "nothing happens on the calling thread";
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(std::filesystem::exists(cached("pyramid/5/1_1.jpg")));
    EXPECT_EQ(downloader->cacheSize(), 0U);
    EXPECT_GT(downloader->offlineSize(), 0U);
}
