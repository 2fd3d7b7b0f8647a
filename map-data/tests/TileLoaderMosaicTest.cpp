#include "TileLoaderFixture.h"

#include "PhotoImages.h"
#include "map-data/TileSources.h"

#include <map>
#include <mutex>

using namespace testing_support;
using velorin::Basemap;
using velorin::TileKey;

namespace {

// A loader with real image decoding, whose loopback server answers the upstream tiles
// that a test serves and 404 for any other.
class TileLoaderMosaic : public TileLoaderFixture {
protected:
    void SetUp() override
    {
        decodeImages = true;
        auto local = fmt::format("127.0.0.1:{}", server.port());
        extraHosts.spainHost = local;
        extraHosts.austriaHost = local;
        server.route("/*", [served = served_](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(served->mutex);
            auto file = served->files.find(request.target);
            response.status = file == served->files.end() ? 404 : 200;
            if (file != served->files.end())
                response.set_content(file->second, "image/jpeg");
        });
    }

    std::string url(Basemap basemap, int64_t z, int64_t x, int64_t y) const
    {
        return *velorin::basemapTileURL(hosts(), basemap, z, x, y);
    }
    std::string target(Basemap basemap, int64_t z, int64_t x, int64_t y) const
    {
        return url(basemap, z, x, y).substr(server.url("").size());
    }
    void serve(Basemap basemap, int64_t z, int64_t x, int64_t y, const std::vector<std::byte>& bytes)
    {
        std::lock_guard lock(served_->mutex);
        served_->files[target(basemap, z, x, y)]
            = std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    int requestCount(Basemap basemap, int64_t z, int64_t x, int64_t y) const
    {
        auto wanted = target(basemap, z, x, y);
        auto requests = server.requests();
        return int(std::ranges::count_if(requests, [&](const auto& request) { return request.target == wanted; }));
    }

    // The tile stored under `diskKey`, decoded.
    std::optional<platform::Image> stored(std::string_view diskKey)
    {
        waitForDiskWrites();
        auto file = store->read(diskKey);
        return file ? velorin::decodeRGBX(file->bytes()) : std::nullopt;
    }

private:
    // Upstream files by request target; shared with the server, which outlives this class's
    // members.
    struct Served {
        std::mutex mutex;
        std::map<std::string, std::string, std::less<>> files;
    };
    std::shared_ptr<Served> served_ = std::make_shared<Served>();
};

std::string orthophotoDiskKey(int64_t z, int64_t x, int64_t y)
{
    return fmt::format("web/orthophoto/{}/{}_{}.jpg", z, x, y);
}

// Near Geneva, where only Swiss imagery reaches.
constexpr int64_t kGenevaX13 = 4235, kGenevaY13 = 2907;

} // namespace

TEST_F(TileLoaderMosaic, AWhiteOrthophotoAreaTakesTheSwissPixelsUnlessTheyAreFlat)
{
    struct Case {
        std::string name;
        platform::Image swiss;
        Rgb shownInTheWhiteArea;
    };
    start();
    int64_t x = kGenevaX13;
    for (const auto& c : std::vector<Case> {
             { "textured", texturedPhoto(), kTexturedColour },
             { "flat", solidPhoto(kWhite), kWhite },
         }) {
        ++x;
        serve(Basemap::orthophoto, 13, x, kGenevaY13,
            jpegOf(imageOf(256, 256, [](int px, int) { return px < 128 ? kWhite : kGrey; })));
        serve(Basemap::swissImage, 13, x, kGenevaY13, jpegOf(c.swiss));
        auto key = TileKey::webTile(Basemap::orthophoto, 13, x, kGenevaY13);

        want({ key });
        ASSERT_TRUE(settle([&] { return cache->contains(key); })) << c.name;

        auto tile = stored(orthophotoDiskKey(13, x, kGenevaY13));
        ASSERT_TRUE(tile) << c.name;
        EXPECT_NEAR(meanOf(*tile, 0, 0, 120, 0, 256), c.shownInTheWhiteArea.r, 4) << c.name;
        EXPECT_NEAR(meanOf(*tile, 2, 0, 120, 0, 256), c.shownInTheWhiteArea.b, 4) << c.name;
        EXPECT_NEAR(meanOf(*tile, 2, 140, 256, 0, 256), kGrey.b, 4) << c.name;
        auto swissURL = url(Basemap::swissImage, 13, x, kGenevaY13);
        auto swissCopy = store->read(velorin::TileLoaderEngine::fetchCacheKey(swissURL));
        EXPECT_TRUE(swissCopy && !swissCopy->empty()) << c.name << ": the neighbour's tile is kept on disk";
    }
}

TEST_F(TileLoaderMosaic, AMissingOrthophotoTileShowsTheTexturedNeighbourElseWaitsAnHourWithoutAMark)
{
    start();
    constexpr int64_t z = 14, x = kGenevaX13 * 2, y = kGenevaY13 * 2;
    auto swiss = jpegOf(texturedPhoto());
    serve(Basemap::swissImage, z, x, y, swiss);
    auto standIn = TileKey::webTile(Basemap::orthophoto, z, x, y);
    want({ standIn });
    ASSERT_TRUE(settle([&] { return cache->contains(standIn); }));
    waitForDiskWrites();
    auto file = store->read(orthophotoDiskKey(z, x, y));
    ASSERT_TRUE(file);
    EXPECT_TRUE(std::ranges::equal(file->bytes(), swiss)) << "the neighbour's tile is stored as it came";

    auto missing = TileKey::webTile(Basemap::orthophoto, z, x + 1, y);
    want({ missing });
    ASSERT_TRUE(settle([&] {
        return requestCount(Basemap::orthophoto, z, x + 1, y) == 1 && loader->status().pending == 0;
    }));
    EXPECT_EQ(requestCount(Basemap::orthophoto, 12, (x + 1) >> 2, y >> 2), 1) << "the ancestor was asked for";
    clock->advance(velorin::TileLoaderEngine::kRetryAfterMissingPhotoSeconds - 1);
    want({ missing });
    EXPECT_EQ(loader->status().pending, 0);
    waitForDiskWrites();
    EXPECT_FALSE(std::filesystem::exists(cached(orthophotoDiskKey(z, x + 1, y))));
    EXPECT_FALSE(cache->contains(missing));

    clock->advance(2);
    want({ missing });
    EXPECT_TRUE(settle([&] { return requestCount(Basemap::orthophoto, z, x + 1, y) == 2; }));
}

TEST_F(TileLoaderMosaic, WhiteAreasOfSwissTilesWithFlatBlocksTakeTheOrthophotoOfTheirPlace)
{
    const Rgb kOrthophotoColour { 30, 170, 60 };
    serve(Basemap::orthophoto, 13, kGenevaX13, kGenevaY13, jpegOf(solidPhoto(kOrthophotoColour)));
    serve(Basemap::swissImage, 13, kGenevaX13, kGenevaY13,
        jpegOf(imageOf(256, 256, [](int x, int y) { return y < 128 ? texturedPixel(x) : kWhite; })));
    start();
    auto key = TileKey::webTile(Basemap::swissImage, 13, kGenevaX13, kGenevaY13);

    want({ key });
    ASSERT_TRUE(settle([&] { return cache->contains(key); }));

    auto tile = stored(fmt::format("web/swissImage/13/{}_{}.jpg", kGenevaX13, kGenevaY13));
    ASSERT_TRUE(tile);
    EXPECT_NEAR(meanOf(*tile, 1, 0, 256, 140, 256), kOrthophotoColour.g, 6);
    EXPECT_NEAR(meanOf(*tile, 2, 0, 256, 0, 116), kTexturedColour.b, 6);
}

TEST_F(TileLoaderMosaic, ABorderPhotoFoundOnDiskAsDownloadedIsShownAndKeptRepairedWithoutAnotherDownload)
{
    // The trees keep the aerial photos they download under the map's own keys, unrepaired.
    start();
    const int64_t x = kGenevaX13 * 16 + 3;
    const int64_t y = kGenevaY13 * 16 + 5;
    const auto downloaded = jpegOf(imageOf(256, 256, [](int px, int) { return px < 128 ? kWhite : kGrey; }));
    store->writeNow(downloaded, orthophotoDiskKey(17, x, y));
    serve(Basemap::swissImage, 17, x, y, jpegOf(texturedPhoto()));
    auto key = TileKey::webTile(Basemap::orthophoto, 17, x, y);

    want({ key });
    ASSERT_TRUE(settle([&] { return cache->contains(key); }));
    EXPECT_EQ(requestCount(Basemap::orthophoto, 17, x, y), 0) << "one download for the map and the trees";
    auto tile = stored(orthophotoDiskKey(17, x, y));
    ASSERT_TRUE(tile);
    EXPECT_NEAR(meanOf(*tile, 0, 0, 120, 0, 256), kTexturedColour.r, 4) << "the white area took the Swiss pixels";
    EXPECT_NEAR(meanOf(*tile, 2, 140, 256, 0, 256), kGrey.b, 4);
}
