#include "features/tests/PlaceStoreFixture.h"

#include <atomic>
#include <thread>


using testing_support::LoopbackServer;
using testing_support::PlaceRow;
using velorin::PlaceStore;
using velorin::Toponym;
using velorin::WorldPoint;
using velorin::WorldRect;

namespace {

constexpr double kBerneLatitude = 46.95;
constexpr double kBerneLongitude = 7.45;

// The zoom-11 cell of a position.
std::pair<int, int> cellOf(double latitude, double longitude)
{
    return {testing_support::cellColumn(longitude), testing_support::cellRow(latitude)};
}

WorldRect rectAround(double latitude, double longitude, double degrees)
{
    const auto north = WorldPoint::fromLatitudeLongitude(latitude + degrees, longitude - degrees);
    const auto south = WorldPoint::fromLatitudeLongitude(latitude - degrees, longitude + degrees);
    return {north.x, north.y, south.x, south.y};
}

} // namespace

class PlaceStoreDownloads : public testing_support::PlaceStoreTest {};

TEST_F(PlaceStoreDownloads, AMissingDatabaseIsDownloadedOpenedAndAnnouncedOnceOnTheMainQueue)
{
    serve("ch", databaseBytes({row(1, "Bundeshaus", kBerneLatitude, kBerneLongitude)}));
    auto& places = makeStore();
    const auto [x, y] = cellOf(kBerneLatitude, kBerneLongitude);

    places.ensureDatabase("ch");
    EXPECT_TRUE(places.isDownloading("ch"));
    EXPECT_TRUE(places.labelsInCell(x, y).empty()) << "nothing until the download ends";
    places.ensureDatabase("ch");
    ASSERT_TRUE(waitForDownload("ch"));

    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(log.contains(platform::LogLevel::info, "Places", "base ch : prête"));
    EXPECT_TRUE(places.isOpen("ch"));
    EXPECT_EQ(server.requestCount(path("ch")), 1) << "one download at a time";
    ASSERT_EQ(places.labelsInCell(x, y).size(), 1u);
    EXPECT_EQ(places.labelsInCell(x, y)[0].name, "Bundeshaus");
    EXPECT_TRUE(std::filesystem::exists(places.databaseFile("ch")));
    EXPECT_FALSE(std::filesystem::exists(this->places() / "places-ch.sqlite.download"));

    places.ensureDatabase("ch");
    auto& reopened = makeStore();
    reopened.ensureDatabase("ch");
    mainQueue.drain();
    EXPECT_TRUE(reopened.isOpen("ch")) << "the file on disk opens at once";
    EXPECT_EQ(server.requestCount(path("ch")), 1);
    EXPECT_EQ(changes, 0) << "opening a file already there announces nothing";
}

TEST_F(PlaceStoreDownloads, AFileOfAnotherVersionIsDeletedAndFetchedInTheSameCall)
{
    server.route(path("ch"), LoopbackServer::reply(404));
    for (const std::string& bytes : {databaseBytes({row(1, "Bundeshaus", kBerneLatitude, kBerneLongitude)}, 1),
             std::string()}) {
        auto& places = makeStore();
        write(places.databaseFile("ch"), bytes);
        const int requests = server.requestCount(path("ch"));
        places.ensureDatabase("ch");
        EXPECT_FALSE(std::filesystem::exists(places.databaseFile("ch"))) << bytes.size() << " bytes";
        EXPECT_TRUE(places.isDownloading("ch"));
        ASSERT_TRUE(waitForDownload("ch", std::size_t(requests + 1)));
        EXPECT_EQ(server.requestCount(path("ch")), requests + 1);
        EXPECT_FALSE(std::filesystem::exists(places.setAsideFile("ch"))) << "a readable file is not kept";
    }
}

TEST_F(PlaceStoreDownloads, AFailedDownloadHoldsTheCountryOffForFiveMinutesThenTriesTheDiskFirst)
{
    server.route(path("es"), LoopbackServer::reply(404));
    auto& places = makeStore();
    places.ensureDatabase("es");
    ASSERT_TRUE(waitForDownload("es"));
    EXPECT_TRUE(log.contains(platform::LogLevel::info, "Places", "base es : échec"));
    EXPECT_EQ(changes, 0);

    // Even a file that appears meanwhile waits out the hold-off.
    write(places.databaseFile("es"), databaseBytes({row(7, "Aneto", 42.63, 0.66)}));
    for (double wait : {1.0, 150.0, 148.9}) {
        clock.advance(wait);
        places.ensureDatabase("es");
        EXPECT_FALSE(places.isDownloading("es"));
        EXPECT_FALSE(places.isOpen("es"));
    }
    EXPECT_EQ(server.requestCount(path("es")), 1);

    clock.advance(0.1);
    places.ensureDatabase("es");
    EXPECT_TRUE(places.isOpen("es"));
    EXPECT_EQ(server.requestCount(path("es")), 1) << "the file on disk comes first";
}

TEST_F(PlaceStoreDownloads, WithoutAMediaHostOnlyFilesOnDiskOpenAndThatIsSaidOnce)
{
    hosts.mediaHost.reset();
    auto& places = makeStore();
    EXPECT_FALSE(places.canDownload());
    write(places.databaseFile("at"), databaseBytes({row(12, "Innsbruck", 47.26, 11.39, 2, "place")}));
    for (const PlaceStore::Country& country : PlaceStore::countries)
        places.ensureDatabase(country.code);
    places.ensureDatabase("fr");
    EXPECT_TRUE(places.isOpen("at"));
    EXPECT_FALSE(places.isDownloading("fr"));
    EXPECT_EQ(server.requestCount(), 0);
    int said = 0;
    for (const auto& entry : log.entries())
        said += entry.message.find("aucun hôte média") != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 1);
}

TEST_F(PlaceStoreDownloads, DestroyedDuringADownloadItCallsNobody)
{
    server.route(path("fr"), server.delayed(0.3, LoopbackServer::reply(200, databaseBytes({row(1, "Paris", 48.85, 2.35)}))));
    makeStore().ensureDatabase("fr");
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount(path("fr")) == 1; }));
    store.reset();
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 1; }))
        << "the transfer went with the store";
    mainQueue.drain();
    EXPECT_EQ(changes, 0);
}

TEST(PlaceStoreCountries, BoxesMeetRectanglesThatTouchThemAndPrefetchFollowsTheTable)
{
    const auto& swiss = PlaceStore::countries[1];
    ASSERT_EQ(swiss.code, "ch");
    const auto corner = WorldPoint::fromLatitudeLongitude(47.9, 10.6);
    EXPECT_TRUE(swiss.intersects({corner.x, corner.y, corner.x + 0.01, corner.y + 0.01})) << "touching the north-east corner";
    const auto beyond = WorldPoint::fromLatitudeLongitude(48.0, 10.7);
    EXPECT_FALSE(swiss.intersects({beyond.x, beyond.y - 0.01, beyond.x + 0.01, beyond.y}));
    EXPECT_TRUE(PlaceStore::countries[0].intersects(rectAround(43.3, -1.8, 0.05)));
    EXPECT_TRUE(PlaceStore::countries[3].intersects(rectAround(43.3, -1.8, 0.05))) << "the Basque coast is in both";
}

TEST_F(PlaceStoreDownloads, PrefetchingARegionEnsuresEveryCountryWhoseBoxItMeets)
{
    for (const char* code : {"fr", "ch", "at", "es"})
        server.route(path(code), LoopbackServer::reply(404));
    auto& places = makeStore();
    // Near Feldkirch: in the French, Swiss and Austrian boxes, not the Spanish one.
    places.prefetchCountries(rectAround(47.2, 9.6, 0.01));
    for (const char* code : {"fr", "ch", "at"})
        EXPECT_TRUE(places.isDownloading(code)) << code;
    EXPECT_FALSE(places.isDownloading("es"));
    for (const char* code : {"fr", "ch", "at"})
        ASSERT_TRUE(waitForDownload(code)) << code;
}

class PlaceStoreLabels : public testing_support::PlaceStoreTest {};

TEST_F(PlaceStoreLabels, CellsTakeTheLabelRowsOfTheirLabellingCountriesInTableOrder)
{
    // Near the Rhine between Switzerland and Austria, in both boxes.
    const double latitude = 47.4;
    const double longitude = 9.6;
    const auto [x, y] = cellOf(latitude, longitude);
    PlaceRow lake = row(3, "Bodensee", latitude, longitude, 2, "lake");
    PlaceRow unnamed = row(4, "", latitude, longitude);
    unnamed.name.reset();
    unnamed.altitude = 1450;
    PlaceRow hidden = row(5, "Hidden", latitude, longitude);
    hidden.label = false;
    PlaceRow elsewhere = row(6, "Elsewhere", latitude + 1, longitude);
    PlaceRow offTheGlobe = row(7, "Nowhere", 200, longitude);
    offTheGlobe.cellX = x;
    offTheGlobe.cellY = y;
    auto& places = makeStore();
    testing_support::writePlaceDatabase(places.databaseFile("ch"), {row(1, "Au", latitude, longitude), lake, unnamed, hidden, elsewhere, offTheGlobe});
    testing_support::writePlaceDatabase(places.databaseFile("at"), {row(12, "Lustenau", latitude, longitude, 2, "place")});
    testing_support::writePlaceDatabase(places.databaseFile("fr"), {row(1, "Paris", 48.85, 2.35)});
    for (const char* code : {"fr", "ch", "at"})
        places.ensureDatabase(code);

    const std::vector<Toponym> labels = places.labelsInCell(x, y);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0], (Toponym{"ch1", "Au", Toponym::Kind::summit, latitude, longitude, 3, std::nullopt}));
    EXPECT_EQ(labels[1], (Toponym{"ch4", "", Toponym::Kind::summit, latitude, longitude, 3, 1450.0}));
    EXPECT_EQ(labels[2], (Toponym{"at12", "Lustenau", Toponym::Kind::place, latitude, longitude, 2, std::nullopt}));

    const auto [parisX, parisY] = cellOf(48.85, 2.35);
    EXPECT_TRUE(places.labelsInCell(parisX, parisY).empty()) << "France's labels do not come from its database";
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(PlaceStoreDownloads, QueriesOnSeveralThreadsShareTheConnectionsWhileADownloadLands)
{
    std::vector<PlaceRow> rows;
    for (int i = 1; i <= 200; ++i)
        rows.push_back(row(i, "Piz " + std::to_string(i), 47.4, 9.6 + i * 1e-5));
    serve("at", databaseBytes(rows));
    auto& places = makeStore();
    testing_support::writePlaceDatabase(places.databaseFile("ch"), rows);
    places.ensureDatabase("ch");
    places.ensureDatabase("at");
    const auto [x, y] = cellOf(47.4, 9.6);

    std::atomic<bool> stop{false};
    std::thread mapWorker([&] {
        while (!stop)
            EXPECT_GE(places.labelsInCell(x, y).size(), 200u);
    });
    while (places.isDownloading("at"))
        EXPECT_EQ(places.placeSearch("piz", WorldPoint::fromLatitudeLongitude(47.4, 9.6), 50).size(), 50u);
    stop = true;
    mapWorker.join();
    ASSERT_TRUE(waitForDownload("at"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(places.labelsInCell(x, y).size(), 400u) << "both countries label the border cell";
    EXPECT_EQ(places.placeSearch("piz 1", WorldPoint::fromLatitudeLongitude(47.4, 9.6), 25).size(), 25u);
}
