#include "features/tests/PlaceStoreFixture.h"

#include <sqlite3.h>

#include <random>

using testing_support::LoopbackServer;
using testing_support::PlaceRow;
using velorin::WorldPoint;

namespace {

// Enough rows that the file spans many pages, each page holding a part of them.
std::vector<PlaceRow> alpineRows()
{
    std::vector<PlaceRow> rows;
    for (int i = 1; i <= 3000; ++i) {
        PlaceRow row;
        row.id = i;
        row.name = "Pointe " + std::to_string(i) + " des Aiguilles Rouges";
        row.latitude = 46 + i * 1e-4;
        row.longitude = 7 + i * 1e-4;
        row.altitude = 2000 + i;
        rows.push_back(row);
    }
    return rows;
}

std::string randomBytes(std::size_t size)
{
    std::mt19937 random(11);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
}

// A leaf page of the `place` table in the middle of the file at `path`.
int middlePlacePage(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* pages = nullptr;
    sqlite3_prepare_v2(db, "SELECT pageno FROM dbstat WHERE name = 'place' AND pagetype = 'leaf' ORDER BY pageno", -1,
        &pages, nullptr);
    std::vector<int> leaves;
    while (sqlite3_step(pages) == SQLITE_ROW)
        leaves.push_back(sqlite3_column_int(pages, 0));
    sqlite3_finalize(pages);
    sqlite3_close(db);
    return leaves.empty() ? 0 : leaves[leaves.size() / 2];
}

struct Damage {
    std::string what;
    std::string bytes;
    // Whether opening finds nothing wrong, leaving the first query to find it.
    bool opens;
};

// The same database damaged four ways: SQLite finds the first three as it opens the file,
// the last only when a query reads the places of the overwritten page.
std::vector<Damage> damages(const std::string& whole, int placePage)
{
    constexpr std::size_t kPageBytes = 4096;
    std::string overwritten = whole;
    overwritten.replace((placePage - 1) * kPageBytes, kPageBytes, randomBytes(kPageBytes));
    return {
        {"cut after 3 KB", whole.substr(0, 3 * 1024), false},
        {"cut in half", whole.substr(0, whole.size() / 2), false},
        {"random bytes", randomBytes(whole.size()), false},
        {"a page of places overwritten", overwritten, true},
    };
}

} // namespace

class PlaceDamage : public testing_support::PlaceStoreTest {
protected:
    void SetUp() override
    {
        log.expect("Places", "base ch : fichier endommagé, mis de côté");
        writePlaceDatabase(folder / "whole.sqlite", alpineRows());
        whole = read(folder / "whole.sqlite");
        damaged = damages(whole, middlePlacePage(folder / "whole.sqlite"));
    }

    std::string whole;
    std::vector<Damage> damaged;

    // Asks for what the country can give, as the map and the search do.
    void use(velorin::PlaceStore& places, const Damage& damage)
    {
        const std::size_t before = timesSaidDamaged();
        places.ensureDatabase("ch");
        EXPECT_EQ(places.isOpen("ch"), damage.opens);
        EXPECT_EQ(timesSaidDamaged(), before + (damage.opens ? 0 : 1));
        places.labelsInCell(testing_support::cellColumn(7.2), testing_support::cellRow(46.2));
        places.placeSearch("pointe", WorldPoint::fromLatitudeLongitude(46.2, 7.2), 25);
    }

    std::size_t timesSaidDamaged() const
    {
        std::size_t times = 0;
        for (const auto& entry : log.entries())
            times += entry.level == platform::LogLevel::error && entry.category == "Places"
                && entry.message == "base ch : fichier endommagé, mis de côté";
        return times;
    }
};

TEST_F(PlaceDamage, ADamagedFileOnDiskIsSetAsideAndFetchedAgainAtOnceButOnlyOnce)
{
    ASSERT_GT(whole.size(), 100'000u);
    for (const Damage& damage : damaged) {
        SCOPED_TRACE(damage.what);
        serve("ch", whole);
        auto& places = makeStore();
        write(places.setAsideFile("ch"), "an older damaged file");
        const std::string& bytes = damage.bytes;
        write(places.databaseFile("ch"), bytes);
        const std::size_t said = timesSaidDamaged();
        const std::size_t ended = downloadsEnded("ch");
        const int changed = changes;
        use(places, damage);

        EXPECT_EQ(timesSaidDamaged(), said + 1) << "said once";
        EXPECT_TRUE(read(places.setAsideFile("ch")) == bytes) << "set aside as it was, replacing the older one";
        ASSERT_TRUE(waitForDownload("ch", ended + 1)) << "downloaded again at once";
        EXPECT_TRUE(places.isOpen("ch"));
        EXPECT_EQ(places.placeSearch("pointe 2999", WorldPoint::fromLatitudeLongitude(46.2, 7.2), 25).size(), 1u);
        mainQueue.drain();
        EXPECT_EQ(changes, changed + 1) << "the names are built again with it";
    }

    // Damaged again, and fetched damaged: the country then waits as after a failed download.
    const Damage& damage = damaged.front();
    serve("ch", damage.bytes);
    auto& places = makeStore();
    write(places.databaseFile("ch"), damage.bytes);
    const std::size_t ended = downloadsEnded("ch");
    use(places, damage);
    ASSERT_TRUE(waitForDownload("ch", ended + 1));
    EXPECT_FALSE(places.isOpen("ch"));
    const int requests = server.requestCount(path("ch"));
    clock.advance(velorin::PlaceStore::kRetryAfterFailureSeconds - 1);
    places.ensureDatabase("ch");
    EXPECT_EQ(server.requestCount(path("ch")), requests) << "one new download, then five minutes' wait";
    clock.advance(1);
    places.ensureDatabase("ch");
    ASSERT_TRUE(waitForDownload("ch", ended + 2));
    EXPECT_EQ(server.requestCount(path("ch")), requests + 1);
}

TEST_F(PlaceDamage, ADamagedDownloadIsCaughtByItsCheckAndSetAside)
{
    for (const Damage& damage : damaged) {
        SCOPED_TRACE(damage.what);
        const std::string& bytes = damage.bytes;
        serve("ch", bytes);
        auto& places = makeStore();
        const std::size_t ended = downloadsEnded("ch");
        const std::size_t said = timesSaidDamaged();
        places.ensureDatabase("ch");
        ASSERT_TRUE(waitForDownload("ch", ended + 1));
        EXPECT_TRUE(log.contains(platform::LogLevel::info, "Places", "base ch : échec"));
        EXPECT_EQ(timesSaidDamaged(), said + 1);
        EXPECT_FALSE(places.isOpen("ch"));
        EXPECT_EQ(changes, 0);
        EXPECT_TRUE(read(places.setAsideFile("ch")) == bytes);
        EXPECT_FALSE(std::filesystem::exists(places.databaseFile("ch")));
    }
}
