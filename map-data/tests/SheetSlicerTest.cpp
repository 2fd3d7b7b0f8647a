#include "map-data/SheetSlicer.h"
#include "platform/Image.h"
#include "platform/ManualClock.h"
#include "platform/MappedFile.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using velorin::SheetSlicer;
using velorin::SubtileCell;
using velorin::TileKey;

namespace {

// A 64 × 48 sheet of 4 × 3 solid cells; cell (c, r) is (40 + 50·c, 40 + 60·r, 128).
class SheetSlicerTest : public ::testing::Test {
protected:
    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    velorin::DiskStore store { folder / "cache", folder / "offline" };
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    velorin::TextureCache cache { clock, std::int64_t(64) << 20 };
    velorin::Sheet sheet = makeSheet();
    velorin::SheetCatalog catalog { { sheet } };
    std::vector<TileKey> wanted;
    int decodes = 0;
    int tilesReady = 0;
    std::vector<double> sheetProgress;
    std::vector<double> progress;
    velorin::TileLoader::Decoder decoder = [this](std::span<const std::byte>) {
        ++decodes;
        return gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4));
    };

    static velorin::Sheet makeSheet()
    {
        velorin::Sheet sheet;
        sheet.name = "2531 ET";
        sheet.sourceWidth = 64;
        sheet.sourceHeight = 48;
        sheet.columns = 4;
        sheet.rows = 3;
        return sheet;
    }

    std::vector<std::byte> sheetImage() const
    {
        auto file = platform::MappedFile::open(std::filesystem::path(VELORIN_FIXTURES) / "sheet-4x3.webp");
        EXPECT_TRUE(file);
        return { file->bytes().begin(), file->bytes().end() };
    }

    std::int64_t slice(std::span<const std::byte> data, const std::vector<SubtileCell>& cells, bool offline = false)
    {
        SheetSlicer::Loader loader {
            .catalog = catalog,
            .store = store,
            .cache = cache,
            .decode = decoder,
            .isWanted = [this](const TileKey& key) { return std::ranges::find(wanted, key) != wanted.end(); },
            .setSheetProgress = [this](double value) { sheetProgress.push_back(value); },
            .tileReady = [this] { ++tilesReady; },
        };
        std::int64_t finished = 0;
        SheetSlicer::slice(data, sheet, cells, loader, 0.55, offline, finished, std::int64_t(cells.size()),
            [this](double fraction) { progress.push_back(fraction); });
        return finished;
    }

    std::filesystem::path subtile(std::string_view root, int column, int row) const
    {
        return folder / std::string(root) / "sub" / sheet.name / (std::to_string(column) + "_" + std::to_string(row) + ".jpg");
    }
};

} // namespace

TEST_F(SheetSlicerTest, CutsTheCellsIntoJpegsOfTheirOwnPixelsAndReportsEachOne)
{
    auto data = sheetImage();
    std::vector<SubtileCell> cells { { 3, 2 }, { 0, 0 }, { 2, 1 }, { 1, 2 } };
    EXPECT_EQ(slice(data, cells, true), 4);

    EXPECT_EQ(progress, (std::vector<double> { 0.25, 0.5, 0.75, 1.0 }));
    ASSERT_EQ(sheetProgress.size(), 4U);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(sheetProgress[i], (std::vector<double> { 0.6625, 0.775, 0.8875, 1.0 })[i]);
    for (auto [column, row] : cells) {
        SCOPED_TRACE(testing::Message() << column << "_" << row);
        EXPECT_FALSE(std::filesystem::exists(subtile("cache", int(column), int(row))));
        auto file = platform::MappedFile::open(subtile("offline", int(column), int(row)));
        ASSERT_TRUE(file);
        ASSERT_TRUE(platform::probeImage(file->bytes()));
        EXPECT_EQ(platform::probeImage(file->bytes())->format, platform::ImageFormat::jpeg);
        auto image = platform::decodeImage(file->bytes());
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, 16);
        EXPECT_EQ(image->height, 16);
        auto centre = std::size_t(8 * 16 + 8) * 4;
        EXPECT_NEAR(int(image->pixels[centre]), 40 + 50 * column, 6);
        EXPECT_NEAR(int(image->pixels[centre + 1]), 40 + 60 * row, 6);
        EXPECT_NEAR(int(image->pixels[centre + 2]), 128, 6);
    }
    EXPECT_FALSE(std::filesystem::exists(subtile("offline", 1, 1))) << "only the cells asked for";
}

TEST_F(SheetSlicerTest, OnlyWantedSubtilesMissingFromTheCacheAreDecoded)
{
    wanted = { TileKey::subtile(0, 0, 0), TileKey::subtile(0, 1, 0) };
    cache.insert(gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4)), TileKey::subtile(0, 0, 0));
    auto data = sheetImage();
    EXPECT_EQ(slice(data, { { 0, 0 }, { 1, 0 }, { 2, 0 } }), 3);

    EXPECT_EQ(decodes, 1);
    EXPECT_EQ(tilesReady, 1);
    EXPECT_TRUE(cache.contains(TileKey::subtile(0, 1, 0)));
    EXPECT_FALSE(cache.contains(TileKey::subtile(0, 2, 0)));
    EXPECT_TRUE(std::filesystem::exists(subtile("cache", 0, 0))) << "a cached sub-tile is still written to disk";
}

TEST_F(SheetSlicerTest, EmptyAndOutOfGridCellsAreSkippedWithoutCounting)
{
    sheet.columns = 128; // half a pixel a column: every other cell is empty
    catalog = velorin::SheetCatalog({ sheet });
    auto data = sheetImage();
    EXPECT_EQ(slice(data, { { 0, 0 }, { 1, 0 }, { 128, 0 }, { -1, 0 }, { 0, 3 } }), 1);
    EXPECT_EQ(progress, (std::vector<double> { 0.2 }));
    EXPECT_FALSE(std::filesystem::exists(subtile("cache", 0, 0)));
    EXPECT_TRUE(std::filesystem::exists(subtile("cache", 1, 0)));

    progress.clear();
    EXPECT_EQ(slice(data, {}), 0);
    EXPECT_TRUE(progress.empty());
}

TEST_F(SheetSlicerTest, UnreadableImageDataFailsBeforeAnythingIsWritten)
{
    std::string garbage = "not an image at all";
    try {
        slice(std::as_bytes(std::span(garbage)), { { 0, 0 } });
        FAIL() << "no failure";
    } catch (const SheetSlicer::Error& error) {
        EXPECT_EQ(error.failure(), SheetSlicer::Failure::decodeFailed);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "cache" / "sub"));
    EXPECT_TRUE(progress.empty());
}
