#include "TileLoaderFixture.h"

#include "platform/MappedFile.h"

using testing_support::LoopbackServer;
using velorin::TileKey;
using velorin::TileLoaderEngine;
using Kind = velorin::TileLoaderPhase::Kind;

namespace {

// A loader whose catalogue holds one 4 × 3 sheet "S", served by the media host from the
// sheet-4x3.webp fixture; sub-tiles decode for real.
class SheetJob : public testing_support::TileLoaderFixture {
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
        sheetBytes.assign(reinterpret_cast<const char*>(file->bytes().data()), file->size());
    }

    void serveSheet(int status, std::string body)
    {
        server.route("/media/*", LoopbackServer::reply(status, std::move(body), { { "Content-Type", "image/webp" } }));
    }

    int sheetRequests() const { return server.requestCount("/media/FR TOP25 IGN/S.webp"); }

    std::string sheetBytes;
};

} // namespace

TEST_F(SheetJob, AWantedSubtileDownloadsTheSheetAndCutsItWholeIntoTheCacheRoot)
{
    serveSheet(200, sheetBytes);
    start();
    want({ TileKey::subtile(0, 2, 1) });
    ASSERT_TRUE(settle([&] { return cache->contains(TileKey::subtile(0, 2, 1)) && !loader->status().loadingSheet; }));

    EXPECT_EQ(sheetRequests(), 1);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(tilesReady, 1);
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 3; ++row)
            EXPECT_TRUE(std::filesystem::exists(cached(fmt::format("sub/S/{}_{}.jpg", column, row))));
    }
    EXPECT_TRUE(std::filesystem::exists(cached("sub/S/sliced")));
    EXPECT_TRUE(log.contains(platform::LogLevel::info, "TileLoader", "découpage terminé : S (12 sous-tuiles)"));

    // Downloading from 0, preparing from 0.55, then idle again.
    ASSERT_GE(published.size(), 3U);
    EXPECT_EQ(published[0].loadingSheet, "S");
    EXPECT_EQ(published[0].phase, velorin::TileLoaderPhase::downloading(0, 0));
    auto preparing = std::ranges::find_if(published, [](const auto& status) { return status.phase.kind == Kind::preparing; });
    ASSERT_NE(preparing, published.end());
    EXPECT_DOUBLE_EQ(preparing->sheetProgress, TileLoaderEngine::kSheetDownloadShare);
    EXPECT_EQ(published.back().phase, velorin::TileLoaderPhase::idle());
    EXPECT_FALSE(published.back().loadingSheet);
    EXPECT_EQ(published.back().sheetProgress, 0);
}

TEST_F(SheetJob, AFailedDownloadOrSliceHoldsTheSheetOffThirtySeconds)
{
    struct Case {
        int status;
        std::string body;
        std::string logged;
    };
    for (const auto& c : { Case { 404, "", "téléchargement de S impossible" },
             Case { 200, "not an image", "découpage de S : image illisible" } }) {
        SCOPED_TRACE(c.logged);
        log.expect("TileLoader", c.logged);
        serveSheet(c.status, c.body);
        start();
        auto before = sheetRequests();
        want({ TileKey::subtile(0, 0, 0) });
        ASSERT_TRUE(settle([&] { return sheetRequests() == before + 1 && !loader->status().loadingSheet; }));
        EXPECT_TRUE(log.contains(platform::LogLevel::error, "TileLoader", c.logged));

        clock->advance(TileLoaderEngine::kSheetRetryDelaySeconds - 1);
        want({ TileKey::subtile(0, 1, 0) });
        EXPECT_EQ(sheetRequests(), before + 1);
        EXPECT_FALSE(std::filesystem::exists(cached("sub/S/sliced")));

        clock->advance(2);
        want({ TileKey::subtile(0, 0, 0) });
        ASSERT_TRUE(settle([&] { return sheetRequests() == before + 2 && !loader->status().loadingSheet; }));
        loader.reset();
    }
}

TEST_F(SheetJob, OnlyTheMarkCountsASheetSlicedAndALostSubtileCutsTheSheetAgain)
{
    serveSheet(200, sheetBytes);
    putFile(cached("sub/S/0_0.jpg"), "left over from a cut that stopped");
    start();
    want({ TileKey::subtile(0, 3, 2) });
    ASSERT_TRUE(settle([&] { return cache->contains(TileKey::subtile(0, 3, 2)) && !loader->status().loadingSheet; }));
    EXPECT_EQ(sheetRequests(), 1) << "a first sub-tile on disk does not make the sheet sliced";

    // The cache root is cleared under the running loader: the sheet is cut again at once.
    std::filesystem::remove_all(folder / "cache" / "sub");
    cache->clear();
    want({ TileKey::subtile(0, 3, 2) });
    ASSERT_TRUE(settle([&] { return cache->contains(TileKey::subtile(0, 3, 2)) && !loader->status().loadingSheet; }));
    EXPECT_EQ(sheetRequests(), 2);
    EXPECT_EQ(server.requestCount(), 2) << "the sheet is cut again, never fetched as one sub-tile";
    EXPECT_TRUE(std::filesystem::exists(cached("sub/S/sliced")));

    // A cell outside the grid, which no cut produces, never fetches the sheet.
    want({ TileKey::subtile(0, 3, 2), TileKey::subtile(0, 4, 0), TileKey::subtile(0, 0, 3) });
    ASSERT_TRUE(settle([&] { return !loader->status().loadingSheet; }));
    EXPECT_EQ(sheetRequests(), 2);
    EXPECT_EQ(loader->status().queuedSheets, 0);
}

TEST_F(SheetJob, DestroyingTheLoaderEndsASheetDownloadInFlight)
{
    server.route("/media/*", server.stalledBody("RIFF", 100000));
    start(true);
    loader->setDesired({ TileKey::subtile(0, 0, 0) });
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return sheetRequests() == 1; }));

    auto started = std::chrono::steady_clock::now();
    loader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}
