#include "map-data/DiskStore.h"
#include "testing/LogCapture.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>

using velorin::DiskStore;
using testing_support::LogCapture;
using testing_support::TemporaryFolder;
namespace fs = std::filesystem;

namespace {

std::vector<std::byte> bytes(std::string_view text)
{
    auto span = std::as_bytes(std::span(text.data(), text.size()));
    return {span.begin(), span.end()};
}

std::optional<std::string> readText(const DiskStore& store, std::string_view key)
{
    auto file = store.read(key);
    if (!file)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(file->bytes().data()), file->size());
}

void put(const fs::path& path, std::string_view text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

struct Roots {
    TemporaryFolder folder;
    fs::path cache = folder / "cache";
    fs::path offline = folder / "offline";
};

} // namespace

TEST(DiskStore, CreatesBothRootsAndReadsTheOfflineCopyFirst)
{
    Roots roots;
    DiskStore store(roots.cache, roots.offline);
    EXPECT_TRUE(fs::is_directory(roots.cache));
    EXPECT_TRUE(fs::is_directory(roots.offline));

    put(roots.cache / "pyramid/7/65_44.jpg", "cached");
    put(roots.offline / "pyramid/7/65_44.jpg", "prepared");
    put(roots.cache / "pyramid/7/65_45.jpg", "cached only");
    put(roots.offline / "sub/A/0_0.jpg", "offline only");
    put(roots.cache / "web/planIGN/12/1_2.png", "");

    EXPECT_EQ(readText(store, "pyramid/7/65_44.jpg"), "prepared");
    EXPECT_EQ(readText(store, "pyramid/7/65_45.jpg"), "cached only");
    EXPECT_EQ(readText(store, "sub/A/0_0.jpg"), "offline only");
    EXPECT_EQ(readText(store, "web/planIGN/12/1_2.png"), "") << "the mark of a tile missing upstream";
    EXPECT_EQ(readText(store, "pyramid/7/1_1.jpg"), std::nullopt);
    EXPECT_EQ(readText(store, "pyramid/7"), std::nullopt) << "a folder is not a file";

    EXPECT_TRUE(store.exists("sub/A/0_0.jpg"));
    EXPECT_TRUE(store.exists("pyramid/7/65_45.jpg"));
    EXPECT_FALSE(store.exists("pyramid/7/1_1.jpg"));
    EXPECT_FALSE(store.exists("pyramid/7"));
    EXPECT_TRUE(store.directoryExists("pyramid/7"));
    EXPECT_TRUE(store.directoryExists("sub/A"));
    EXPECT_FALSE(store.directoryExists("pyramid/7/65_44.jpg"));
}

TEST(DiskStore, WritesLandInCallOrderInTheRootTheyNameWithTheirFolders)
{
    Roots roots;
    {
        DiskStore store(roots.cache, roots.offline);
        store.write(bytes("first"), "dem/11/1_2.png");
        store.write(bytes("second"), "dem/11/1_2.png");
        store.write(bytes("zone"), "zones.json", true);
        store.writeNow(bytes("now"), "fetch/ab/cdef", true);
        EXPECT_EQ(readText(store, "fetch/ab/cdef"), "now") << "a synchronous write is readable at once";
    }
    DiskStore reopened(roots.cache, roots.offline);
    EXPECT_EQ(readText(reopened, "dem/11/1_2.png"), "second");
    EXPECT_TRUE(fs::is_regular_file(roots.cache / "dem/11/1_2.png"));
    EXPECT_TRUE(fs::is_regular_file(roots.offline / "zones.json"));
    EXPECT_TRUE(fs::is_regular_file(roots.offline / "fetch/ab/cdef"));
    EXPECT_FALSE(fs::exists(roots.cache / "zones.json"));
}

TEST(DiskStore, ClearingTheCacheKeepsOfflineFilesAndTheRoots)
{
    Roots roots;
    DiskStore store(roots.cache, roots.offline);
    store.write(bytes("queued"), "pyramid/8/1_1.jpg");
    store.writeNow(bytes("cached"), "pyramid/7/65_44.jpg");
    store.writeNow(bytes("prepared"), "pyramid/7/65_45.jpg", true);

    store.clearCache();

    EXPECT_TRUE(fs::is_directory(roots.cache));
    EXPECT_TRUE(fs::is_directory(roots.offline));
    EXPECT_TRUE(fs::is_empty(roots.cache)) << "a write asked for before the clearing is cleared too";
    EXPECT_FALSE(store.exists("pyramid/7/65_44.jpg"));
    EXPECT_EQ(readText(store, "pyramid/7/65_45.jpg"), "prepared");
}

TEST(DiskStore, RemovingACachedFileFollowsEarlierWritesAndSparesTheOfflineCopy)
{
    Roots roots;
    {
        DiskStore store(roots.cache, roots.offline);
        store.write(bytes("broken"), "pyramid/7/65_44.jpg");
        store.writeNow(bytes("prepared"), "pyramid/7/65_44.jpg", true);
        store.removeCached("pyramid/7/65_44.jpg");
        store.removeCached("pyramid/7/1_1.jpg");
    }
    EXPECT_FALSE(fs::exists(roots.cache / "pyramid/7/65_44.jpg"));
    EXPECT_TRUE(fs::is_regular_file(roots.offline / "pyramid/7/65_44.jpg"));
}

TEST(DiskStore, AnUnwritableRootThrowsForWriteNowAndLogsForWrite)
{
    TemporaryFolder folder;
    put(folder / "blocked", "a file where the cache root should be");
    LogCapture log;
    log.expect("DiskStore", "écriture web/planIGN/12/1_2.png : ");
    {
        DiskStore store(folder / "blocked", folder / "offline");
        EXPECT_THROW(store.writeNow(bytes("x"), "web/planIGN/12/1_2.png"), fs::filesystem_error);
        store.write(bytes("x"), "web/planIGN/12/1_2.png");
        EXPECT_FALSE(store.read("web/planIGN/12/1_2.png"));
    }
    EXPECT_TRUE(log.contains(platform::LogLevel::error, "DiskStore", "écriture web/planIGN/12/1_2.png : "));
}

TEST(DiskStore, KeysThatCouldLeaveTheirRootReadAsMissingAndWriteNothing)
{
    Roots roots;
    put(roots.folder / "secret", "outside");
    put(roots.cache / "a/b", "inside");
    const std::string keys[] = {
        "", "/secret", "../secret", "a/../../secret", "a//b", "./a/b", "a/./b", "a/b/", ".", "..",
        std::string("a/b\0c", 5),
    };
    LogCapture log;
    {
        DiskStore store(roots.cache, roots.offline);
        for (const auto& key : keys) {
            SCOPED_TRACE(key);
            log.expect("DiskStore", "écriture " + key + " : clé refusée");
            EXPECT_FALSE(DiskStore::isValidKey(key));
            EXPECT_FALSE(store.read(key));
            EXPECT_FALSE(store.exists(key));
            EXPECT_FALSE(store.directoryExists(key));
            EXPECT_THROW(store.writeNow(bytes("overwritten"), key), fs::filesystem_error);
            store.write(bytes("overwritten"), key);
        }
    }
    std::ifstream secret(roots.folder / "secret");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(secret), {}), "outside");
    EXPECT_EQ(log.entries().size(), std::size(keys));
    for (auto key : {"a..b/c.jpg", "thumb256/..A", "pyramid/7/65_44.jpg"})
        EXPECT_TRUE(DiskStore::isValidKey(key)) << key;
}

TEST(DiskStore, AllocatedSizeSumsTheFilesBelowAFolder)
{
    Roots roots;
    DiskStore store(roots.cache, roots.offline);
    EXPECT_EQ(DiskStore::allocatedSize(roots.offline), 0u);
    EXPECT_EQ(DiskStore::allocatedSize(roots.folder / "missing"), 0u);

    store.writeNow(std::vector<std::byte>(10000, std::byte{1}), "sub/A/0_0.jpg", true);
    store.writeNow(std::vector<std::byte>(20000, std::byte{2}), "sub/A/deep/0_1.jpg", true);
    auto size = DiskStore::allocatedSize(roots.offline);
    EXPECT_GE(size, 30000u);
    EXPECT_LT(size, 30000u + 2 * 65536u);
    EXPECT_EQ(DiskStore::allocatedSize(roots.cache), 0u);
}
