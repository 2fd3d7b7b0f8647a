#include "TileLoaderFixture.h"

#include "map-data/FranceBasemapKeys.h"
#include "platform/MappedFile.h"

#include <atomic>

using testing_support::LoopbackServer;
using velorin::TileKey;

namespace {

// A loader with a one-sheet catalogue ("S", 4 × 3 cells, image from sheet-4x3.webp) on a
// loopback media host; tiles decode for real.
class OfflinePreparation : public testing_support::TileLoaderFixture {
protected:
    void SetUp() override
    {
        velorin::Sheet sheet;
        sheet.name = "S";
        sheet.sourceWidth = 64;
        sheet.sourceHeight = 48;
        sheet.columns = 4;
        sheet.rows = 3;
        sheets.push_back(sheet);
        decodeImages = true;
        auto file = platform::MappedFile::open(std::filesystem::path(VELORIN_FIXTURES) / "sheet-4x3.webp");
        ASSERT_TRUE(file);
        server.route("/media/*",
            LoopbackServer::reply(200, std::string(reinterpret_cast<const char*>(file->bytes().data()), file->size())));
    }

    // Runs `prepareOffline` to its end; the progress it reported.
    std::vector<double> prepare(std::function<bool()> isCancelled = [] { return false; })
    {
        std::vector<double> progress;
        std::mutex mutex;
        std::atomic<bool> done = false;
        loader->prepareOffline(
            sheets[0],
            [&](double value) {
                std::lock_guard lock(mutex);
                progress.push_back(value);
            },
            std::move(isCancelled), [&] { done = true; });
        EXPECT_TRUE(settle([&] { return done.load(); }));
        return progress;
    }

    // A handler that counts the requests in flight at once.
    LoopbackServer::Handler countingTiles(int notFoundColumn)
    {
        return [this, notFoundColumn](const httplib::Request& request, httplib::Response& response) {
            int now = ++inFlight;
            int seen = maxInFlight.load();
            while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --inFlight;
            response.status = request.path == fmt::format("/tiles/7/{}/1.jpg", notFoundColumn) ? 404 : 200;
            response.set_content("TILE" + request.path, "image/jpeg");
        };
    }

    std::atomic<int> inFlight = 0;
    std::atomic<int> maxInFlight = 0;
};

} // namespace

TEST_F(OfflinePreparation, ASheetGetsItsThumbnailsAndEverySubtileInTheOfflineRoot)
{
    putFile(cached("thumb256/S.jpg"), "small thumbnail");
    server.route("/thumbs/*", LoopbackServer::reply(200, "thumbnail"));
    start();
    auto progress = prepare();

    EXPECT_EQ(server.requestCount("/thumbs/256/S.jpg"), 0) << "copied from the cache root";
    EXPECT_EQ(server.requestCount("/thumbs/1024/S.jpg"), 1);
    EXPECT_EQ(server.requestCount("/media/FR TOP25 IGN/S.webp"), 1);
    EXPECT_TRUE(std::filesystem::exists(offline("thumb256/S.jpg")));
    EXPECT_TRUE(std::filesystem::exists(offline("thumb1024/S.jpg")));
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 3; ++row)
            EXPECT_TRUE(std::filesystem::exists(offline(fmt::format("sub/S/{}_{}.jpg", column, row))));
    }
    EXPECT_TRUE(std::filesystem::exists(offline("sub/S/sliced")));
    EXPECT_FALSE(std::filesystem::exists(cached("sub/S")));

    ASSERT_EQ(progress.size(), 13U);
    EXPECT_DOUBLE_EQ(progress.front(), 0.1);
    EXPECT_DOUBLE_EQ(progress[1], 0.1 + 0.9 / 12);
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

TEST_F(OfflinePreparation, ACancelledPreparationFetchesNothingAndAMissingThumbnailIsSkipped)
{
    server.route("/thumbs/*", LoopbackServer::reply(404));
    start();
    EXPECT_TRUE(prepare([] { return true; }).empty());
    EXPECT_EQ(server.requestCount(), 0);

    auto progress = prepare();
    EXPECT_EQ(server.requestCount(), 3);
    EXPECT_FALSE(std::filesystem::exists(offline("thumb256/S.jpg")));
    EXPECT_TRUE(std::filesystem::exists(offline("sub/S/sliced")));
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

TEST_F(OfflinePreparation, KeyDownloadsRunEightAtATimeAndStopStartingOnceCancelled)
{
    server.route("/tiles/*", countingTiles(3));
    putFile(offline("pyramid/7/5_1.jpg"), "TILE");
    putFile(cached("pyramid/7/6_1.jpg"), "TILE cached");
    start();
    std::vector<TileKey> keys;
    for (int x = 0; x < 20; ++x)
        keys.push_back(TileKey::pyramid(7, x, 1));

    std::vector<double> progress;
    bool done = false;
    std::size_t unavailable = 0;
    const auto finished = [&](std::size_t missing) {
        done = true;
        unavailable = missing;
    };
    loader->downloadKeys(keys, [] { return false; }, [&](double value) { progress.push_back(value); }, finished);
    ASSERT_TRUE(settle([&] { return done; }));
    ASSERT_EQ(progress.size(), 20U);
    for (std::size_t i = 0; i < progress.size(); ++i)
        EXPECT_DOUBLE_EQ(progress[i], double(i + 1) / 20);
    EXPECT_EQ(server.requestCount(), 18) << "one key in the offline root, one copied from the cache root";
    EXPECT_LE(maxInFlight.load(), 8);
    EXPECT_EQ(std::filesystem::file_size(offline("pyramid/7/6_1.jpg")), 11U);
    EXPECT_FALSE(std::filesystem::exists(offline("pyramid/7/3_1.jpg"))) << "a 404 stores nothing";
    EXPECT_EQ(unavailable, 1U) << "and is told as a tile the server does not have";
    EXPECT_TRUE(std::filesystem::exists(offline("pyramid/7/19_1.jpg")));

    // A second run asks only for the tile still missing; a cancel after three tiles ended
    // lets the two started since run to their end.
    progress.clear();
    done = false;
    keys.clear();
    for (int x = 0; x < 20; ++x)
        keys.push_back(TileKey::pyramid(7, x, 2));
    loader->downloadKeys(
        keys, [&] { return progress.size() >= 3; }, [&](double value) { progress.push_back(value); }, finished);
    ASSERT_TRUE(settle([&] { return done; }));
    EXPECT_EQ(server.requestCount(), 28);
    EXPECT_DOUBLE_EQ(progress.back(), 10.0 / 20);
}

TEST(FranceBasemapKeys, CoverFranceLevelsFiveToTenWithAMarginJoinedWithTheSheets)
{
    auto keys = velorin::franceBasemapKeys(velorin::SheetCatalog());
    EXPECT_EQ(keys.size(), 2920U);
    EXPECT_EQ(keys.front(), TileKey::pyramid(5, 14, 9)) << "France spans columns 15…16 and rows 10…11 at level 5";
    EXPECT_EQ(keys[1], TileKey::pyramid(5, 14, 10));
    EXPECT_EQ(std::ranges::count_if(keys, [](const TileKey& key) { return std::get<TileKey::Pyramid>(key.value).z == 5; }),
        4 * 4);

    // A sheet in the Alps' east stretches every level eastwards.
    velorin::Sheet sheet;
    sheet.worldRect = { 0.53, 0.35, 0.54, 0.36 };
    auto joined = velorin::franceBasemapKeys(velorin::SheetCatalog({ sheet }));
    EXPECT_GT(joined.size(), keys.size());
    EXPECT_NE(std::ranges::find(joined, TileKey::pyramid(10, 553, 359)), joined.end());
}
