#include "app/tests/AppModelFixture.h"
#include "testing/LoopbackServer.h"
#include "testing/PlaceDatabaseFile.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

using testing_support::LoopbackServer;

class AppModelPlaces : public testing_support::AppModelFixture {
protected:
    // Outlives the model, whose session closes its connections first.
    LoopbackServer server;
};

TEST_F(AppModelPlaces, ADownloadedDatabaseBuildsTheMapsNamesAgainThenRaisesThePlacesRevisionOnce)
{
    testing_support::PlaceRow zermatt;
    zermatt.id = 1;
    zermatt.name = "Zermatt";
    zermatt.kind = "place";
    zermatt.latitude = 46.02;
    zermatt.longitude = 7.75;
    // In the Engadine, east of the French box: its cell's names come from the database alone.
    testing_support::PlaceRow zernez;
    zernez.id = 2;
    zernez.name = "Piz Terza";
    zernez.latitude = 46.70;
    zernez.longitude = 10.09;
    testing_support::writePlaceDatabase(folder / "ch.sqlite", {zermatt, zernez});
    std::ifstream file(folder / "ch.sqlite", std::ios::binary);
    const std::string database{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // The download waits until the map's first names are in.
    auto released = std::make_shared<std::atomic<bool>>(false);
    server.route("/places/places-ch.bin", [released, database](const httplib::Request&, httplib::Response& response) {
        while (!*released)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        response.set_content(database, "application/octet-stream");
    });
    hosts.scheme = "http";
    hosts.mediaHost = "127.0.0.1:" + std::to_string(server.port());
    auto& model = makeModel();
    EXPECT_EQ(model.placesRevision(), 0);

    velorin::PlaceStore& places = model.places();
    EXPECT_EQ(&model.places(), &places) << "one store for the model's life";
    velorin::ToponymService& toponyms = model.toponyms();
    const velorin::WorldPoint engadine = velorin::WorldPoint::fromLatitudeLongitude(46.70, 10.09);
    const velorin::WorldRect around{engadine.x - 1e-5, engadine.y - 1e-5, engadine.x + 1e-5, engadine.y + 1e-5};
    toponyms.request(around, 14);
    toponyms.waitForLoads();
    EXPECT_TRUE(toponyms.visibleToponyms(14).empty());
    EXPECT_TRUE(places.isDownloading("ch")) << "the names asked for the country's database";
    *released = true;
    // Other main-queue work may come first, such as the position source's permission.
    while (model.placesRevision() == 0)
        ASSERT_TRUE(mainQueue->runOneWaiting(20)) << "the download never ended";
    mainQueue->drain();
    EXPECT_EQ(model.placesRevision(), 1);
    EXPECT_GE(changes, 1);
    EXPECT_TRUE(std::filesystem::exists(folders.places() / "places-ch.sqlite")) << "in the user's Places folder";
    EXPECT_EQ(places.placeSearch("zer", velorin::WorldPoint{0.5, 0.3}, 25).size(), 1u);

    toponyms.request(around, 14);
    toponyms.waitForLoads();
    const auto names = toponyms.visibleToponyms(14);
    ASSERT_EQ(names.size(), 1u) << "the cell was built again with the new database's label";
    EXPECT_EQ(names[0].name, "Piz Terza");
}
