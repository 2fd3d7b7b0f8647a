#include "app/tests/AppModelFixture.h"
#include "testing/LoopbackServer.h"
#include "testing/PlaceDatabaseFile.h"

#include <fstream>
#include <iterator>

using testing_support::LoopbackServer;

class AppModelPlaces : public testing_support::AppModelFixture {
protected:
    // Outlives the model, whose session closes its connections first.
    LoopbackServer server;
};

TEST_F(AppModelPlaces, ADownloadedDatabaseRaisesThePlacesRevisionOnce)
{
    testing_support::PlaceRow zermatt;
    zermatt.id = 1;
    zermatt.name = "Zermatt";
    zermatt.kind = "place";
    zermatt.latitude = 46.02;
    zermatt.longitude = 7.75;
    testing_support::writePlaceDatabase(folder / "ch.sqlite", {zermatt});
    std::ifstream file(folder / "ch.sqlite", std::ios::binary);
    server.route("/places/places-ch.bin",
        LoopbackServer::reply(200, std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}));
    hosts.scheme = "http";
    hosts.mediaHost = "127.0.0.1:" + std::to_string(server.port());
    auto& model = makeModel();
    EXPECT_EQ(model.placesRevision(), 0);

    velorin::PlaceStore& places = model.places();
    EXPECT_EQ(&model.places(), &places) << "one store for the model's life";
    places.ensureDatabase("ch");
    // Other main-queue work may come first, such as the position source's permission.
    while (model.placesRevision() == 0)
        ASSERT_TRUE(mainQueue->runOneWaiting(20)) << "the download never ended";
    mainQueue->drain();
    EXPECT_EQ(model.placesRevision(), 1);
    EXPECT_GE(changes, 1);
    EXPECT_TRUE(std::filesystem::exists(folders.places() / "places-ch.sqlite")) << "in the user's Places folder";
    EXPECT_EQ(places.placeSearch("zer", velorin::WorldPoint{0.5, 0.3}, 25).size(), 1u);
}
