#include "features/ToponymService.h"

#include "features/PlaceStore.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/LogCapture.h"
#include "testing/LoopbackServer.h"
#include "testing/PlaceDatabaseFile.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using nlohmann::json;
using testing_support::LoopbackServer;
using velorin::Toponym;
using velorin::ToponymService;
using Cell = ToponymService::Cell;
using Kind = Toponym::Kind;

namespace {

constexpr std::string_view kFeaturePath = "/wfs/ows";
constexpr std::string_view kAltimetryPath = "/altimetrie/1.0/calcul/alti/rest/elevation.json";
constexpr double kAltimetryMeters = 1234;
// In the Écrins; west edge 6.50390625°.
constexpr Cell kAlps{1061, 735};
// Geneva: inside the French box and the Swiss one.
constexpr Cell kGeneva{1058, 726};
// Vienna: outside the French box.
constexpr Cell kVienna{1117, 710};

json point(double longitude, double latitude)
{
    return {{"type", "Point"}, {"coordinates", {longitude, latitude}}};
}

json feature(std::optional<std::string> id, std::string nature, std::string name, json geometry,
    json importance = "2")
{
    json f = {{"type", "Feature"}, {"geometry", std::move(geometry)},
        {"properties", {{"nature", std::move(nature)}, {"toponyme", std::move(name)}, {"importance", importance}}}};
    if (id)
        f["id"] = *id;
    return f;
}

std::string collection(const std::vector<json>& features)
{
    return json{{"type", "FeatureCollection"}, {"features", features}}.dump();
}

// A rectangle well inside a cell.
velorin::WorldRect inside(const Cell& cell)
{
    const velorin::WorldRect rect = cell.rect();
    const double margin = (rect.maxX - rect.minX) / 4;
    return {rect.minX + margin, rect.minY + margin, rect.maxX - margin, rect.maxY - margin};
}

std::vector<std::string> ids(const std::vector<Toponym>& toponyms)
{
    std::vector<std::string> list;
    for (const Toponym& toponym : toponyms)
        list.push_back(toponym.id);
    return list;
}

std::string layerOf(const httplib::Request& request)
{
    const std::string typeName = request.get_param_value("TYPENAMES");
    return typeName.substr(typeName.find(':') + 1);
}

} // namespace

class ToponymServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.route(std::string(kFeaturePath), [this](const httplib::Request& request, httplib::Response& response) {
            LoopbackServer::Handler handler;
            {
                std::lock_guard lock(mutex);
                auto found = layerReplies.find(layerOf(request));
                if (found != layerReplies.end())
                    handler = found->second;
            }
            if (handler)
                handler(request, response);
            else
                response.set_content(collection({}), "application/json");
        });
        server.route(std::string(kAltimetryPath), [](const httplib::Request& request, httplib::Response& response) {
            const std::string longitudes = request.get_param_value("lon");
            const auto points = std::count(longitudes.begin(), longitudes.end(), '|') + 1;
            response.set_content(json{{"elevations", std::vector<double>(points, kAltimetryMeters)}}.dump(),
                "application/json");
        });
    }

    velorin::ServiceHosts loopbackHosts() const
    {
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = hosts.terrariumHost = "127.0.0.1:" + std::to_string(server.port());
        return hosts;
    }

    void answer(std::string layer, LoopbackServer::Handler handler)
    {
        std::lock_guard lock(mutex);
        layerReplies[std::move(layer)] = std::move(handler);
    }
    void answer(std::string layer, const std::vector<json>& features)
    {
        answer(std::move(layer), LoopbackServer::reply(200, collection(features), {{"Content-Type", "application/json"}}));
    }

    ToponymService& makeService(velorin::PlaceStore* places = nullptr,
        std::optional<velorin::ServiceHosts> hosts = std::nullopt)
    {
        service.reset();
        ToponymService::Dependencies dependencies;
        dependencies.store = store;
        dependencies.session = session;
        dependencies.hosts = hosts.value_or(loopbackHosts());
        dependencies.places = places;
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        service = std::make_unique<ToponymService>(std::move(dependencies));
        service->setOnChange([this] {
            EXPECT_TRUE(mainQueue->isMainThread());
            ++changes;
        });
        return *service;
    }

    // Asks for the cell at `zoom` and waits for its load to end.
    void load(const Cell& cell, double zoom = 13)
    {
        service->request(inside(cell), zoom);
        service->waitForLoads();
        mainQueue->drain();
    }

    int featureRequests() const { return server.requestCount(kFeaturePath); }

    testing_support::LogCapture log;
    testing_support::TemporaryFolder folder;
    // Before the server, whose handlers read them until it stops.
    std::mutex mutex;
    std::map<std::string, LoopbackServer::Handler> layerReplies;
    LoopbackServer server;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::HttpSession> session = std::make_shared<platform::HttpSession>();
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::unique_ptr<ToponymService> service;
    int changes = 0;
};

TEST(ToponymCells, CoverTheRectangleColumnByColumnClampedToTheWorld)
{
    constexpr double kCell = 1.0 / ToponymService::kCellsAcross;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    struct Case {
        const char* what;
        double minX, minY, maxX, maxY;
        std::vector<Cell> cells;
    };
    for (const Case& c : {
             Case{"inside", 10.5 * kCell, 20.5 * kCell, 11.5 * kCell, 21.2 * kCell, {{10, 20}, {10, 21}, {11, 20}, {11, 21}}},
             Case{"past the west and north edges", -0.5, -0.25, 0.5 * kCell, 0.5 * kCell, {{0, 0}}},
             Case{"past the east and south edges", 1 - 0.5 * kCell, 1 - 0.5 * kCell, 3, 1e300, {{2047, 2047}}},
             Case{"wholly west", -0.5, 0.5, -0.1, 0.6, {}},
             Case{"wholly south", 0.5, 1.5, 0.6, 2, {}},
             Case{"infinite", -kInf, 1 - 0.5 * kCell, 0.5 * kCell, kInf, {{0, 2047}}},
             Case{"a NaN side", nan, 0.5, 0.6, 0.6, {}},
             Case{"reversed", 0.6, 0.5, 0.5, 0.6, {}},
         }) {
        SCOPED_TRACE(c.what);
        const auto cells = ToponymService::cellsCovering(c.minX, c.minY, c.maxX, c.maxY);
        EXPECT_EQ(cells.size(), c.cells.size());
        EXPECT_TRUE(cells == c.cells);
    }
}

TEST(ToponymCells, ThoseMeetingATiltedViewsGroundComeNearestItsMiddleFirst)
{
    constexpr double kCell = 1.0 / ToponymService::kCellsAcross;
    const auto at = [&](double column, double row) { return velorin::WorldPoint{(1000 + column) * kCell, (700 + row) * kCell}; };
    // A strip 0.2 cells wide along the diagonal of a 3 × 3 block: it misses the block's other
    // two corners.
    const std::array<velorin::WorldPoint, 4> strip{at(0.3, 0.1), at(2.9, 2.7), at(2.7, 2.9), at(0.1, 0.3)};
    const std::vector<Cell> expected{{1000, 700}, {1000, 701}, {1001, 700}, {1001, 701}, {1001, 702}, {1002, 701},
        {1002, 702}};
    EXPECT_TRUE(ToponymService::cellsMeeting(strip, at(0.5, 0.5)) == expected);
    std::array<velorin::WorldPoint, 4> reversed = strip;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_TRUE(ToponymService::cellsMeeting(reversed, at(0.5, 0.5)) == expected) << "either way round";
    EXPECT_TRUE(ToponymService::cellsMeeting(strip, at(2.5, 2.5)).front() == (Cell{1002, 702}));
}

TEST_F(ToponymServiceTest, NothingIsAskedOrShownBelowZoomThirteenAndTwoRequestsMakeOneLoad)
{
    answer("detail_orographique", {feature("sommet.1", "Sommet", "Pic de Neige Cordier", point(6.6, 45.15), "1")});
    makeService();
    load(kAlps, 12.99);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(service->visibleToponyms(12.99).empty());

    service->request(inside(kAlps), 13);
    service->request(inside(kAlps), 13);
    service->waitForLoads();
    mainQueue->drain();
    EXPECT_EQ(featureRequests(), 4) << "one request a layer, for one load";
    EXPECT_EQ(changes, 1);
    const auto visible = service->visibleToponyms(13);
    ASSERT_EQ(visible.size(), 1u);
    EXPECT_EQ(visible[0].name, "Pic de Neige Cordier");
    EXPECT_EQ(visible[0].altitude, kAltimetryMeters);
    EXPECT_TRUE(service->visibleToponyms(12.99).empty());
}

TEST_F(ToponymServiceTest, NamesShowFromTheirKindsBaseZoomLaterByImportanceAndComeInLabelOrder)
{
    const auto name = [](std::string id, Kind kind, int64_t importance) {
        return Toponym{std::move(id), "n", kind, 45.15, 6.6, importance, std::nullopt};
    };
    const std::vector<Toponym> cached{name("p2", Kind::place, 2), name("s3", Kind::summit, 3),
        name("v2", Kind::viewpoint, 2), name("r2", Kind::refuge, 2), name("sb1", Kind::summit, 1),
        name("c0", Kind::col, 0), name("sa1", Kind::summit, 1), name("g2", Kind::ridge, 2),
        name("s6", Kind::summit, 6), name("p6", Kind::place, 6), name("r3", Kind::refuge, 3)};
    const std::string text = nlohmann::ordered_json(cached).dump();
    store->writeNow(std::as_bytes(std::span(text.data(), text.size())), ToponymService::cacheKey(kAlps.x, kAlps.y));
    makeService();
    load(kAlps);
    EXPECT_EQ(server.requestCount(), 0) << "the cell comes from the disk cache";
    EXPECT_TRUE(log.contains(platform::LogLevel::debug, "Toponyms", "cellule 1061/735 : 11 toponymes (disque)"));

    struct Case {
        double zoom;
        std::vector<std::string> ids;
    };
    for (const Case& c : {
             Case{13, {"c0", "sa1", "sb1"}},
             Case{13.49, {"c0", "sa1", "sb1"}},
             Case{13.5, {"c0", "sa1", "sb1", "s3", "r2"}},
             Case{14, {"c0", "sa1", "sb1", "s3", "r2", "r3"}},
             Case{15, {"c0", "sa1", "sb1", "s3", "s6", "r2", "r3", "g2", "v2"}},
             Case{15.5, {"c0", "sa1", "sb1", "s3", "s6", "r2", "r3", "g2", "v2", "p2"}},
             Case{17.5, {"c0", "sa1", "sb1", "s3", "s6", "r2", "r3", "g2", "v2", "p2", "p6"}},
         }) {
        SCOPED_TRACE(c.zoom);
        EXPECT_EQ(ids(service->visibleToponyms(c.zoom)), c.ids);
    }
}

TEST_F(ToponymServiceTest, AFailedCellIsLeftAloneForAMinuteAndAnnouncesNothing)
{
    log.expect("Toponyms", "cellule 1061/735 : réponse incorrecte du serveur");
    for (const auto* layer : {"detail_orographique", "zone_d_activite_ou_d_interet", "lieu_dit_non_habite",
             "zone_d_habitation"})
        answer(layer, LoopbackServer::reply(500));
    makeService();
    load(kAlps);
    EXPECT_EQ(featureRequests(), 4);
    EXPECT_EQ(changes, 0);

    clock->advance(59);
    load(kAlps);
    EXPECT_EQ(featureRequests(), 4) << "59 s after the failure the cell waits";
    clock->advance(1);
    load(kAlps);
    EXPECT_EQ(featureRequests(), 8) << "60 s after, it is asked again";
}

TEST_F(ToponymServiceTest, ReloadEmptiesTheCellsAndAnnouncesItAndTheNextRequestBuildsThemAgain)
{
    answer("detail_orographique", {feature("col.1", "Col", "Col du Galibier", point(6.6, 45.15))});
    makeService();
    load(kAlps);
    ASSERT_EQ(service->visibleToponyms(13).size(), 1u);
    ASSERT_EQ(changes, 1);

    service->reload();
    EXPECT_TRUE(service->visibleToponyms(13).empty());
    EXPECT_EQ(changes, 1) << "announced on the main queue, later";
    mainQueue->drain();
    EXPECT_EQ(changes, 2);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return store->exists(ToponymService::cacheKey(kAlps.x, kAlps.y)); }));
    load(kAlps);
    EXPECT_EQ(service->visibleToponyms(13).size(), 1u);
    EXPECT_EQ(featureRequests(), 4) << "built again from the disk cache";
}

TEST_F(ToponymServiceTest, ALoadUnderWayWhenADatabaseBecomesAvailableTakesItsLabels)
{
    log.expect("Places", "aucun hôte média");
    // Shared with the server's thread, which may outlive the test's body.
    auto released = std::make_shared<std::atomic<bool>>(false);
    answer("detail_orographique", [released](const httplib::Request&, httplib::Response& response) {
        while (!*released)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        response.set_content(collection({feature("sommet.9", "Sommet", "Le Môle", point(6.45, 46.1))}), "application/json");
    });
    platform::HttpSession placeSession;
    velorin::ServiceHosts noMediaHost;
    velorin::PlaceStore places(placeSession, noMediaHost, folder / "Places", *clock, *mainQueue);
    makeService(&places);
    service->request(inside(kGeneva), 13);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return featureRequests() == 1; }));

    testing_support::PlaceRow saleve;
    saleve.id = 7;
    saleve.name = "Salève";
    saleve.importance = 1;
    saleve.latitude = 46.2;
    saleve.longitude = 6.12;
    testing_support::writePlaceDatabase(places.databaseFile("ch"), {saleve});
    places.ensureDatabase("ch");
    ASSERT_TRUE(places.isOpen("ch"));
    service->reload();
    *released = true;
    service->waitForLoads();
    mainQueue->drain();
    EXPECT_EQ(ids(service->visibleToponyms(13)), (std::vector<std::string>{"ch7", "sommet.9"}))
        << "the fetched name and the label of the database that came meanwhile";
}

TEST_F(ToponymServiceTest, ACellOutsideFranceComesFromTheDatabasesAloneWithoutARequest)
{
    makeService();
    load(kVienna);
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(log.contains(platform::LogLevel::debug, "Toponyms", "cellule 1117/710 : 0 toponymes (disque)"));
    load(kVienna);
    EXPECT_EQ(changes, 1) << "stored once, never asked again";
}

TEST_F(ToponymServiceTest, EachLayerIsAskedForItsNaturesOverTheCellsBoxInDegrees)
{
    makeService();
    const auto& layers = ToponymService::layers();
    EXPECT_EQ(service->featureRequest(layers[0], kAlps),
        "http://127.0.0.1:" + std::to_string(server.port())
            + "/wfs/ows?SERVICE=WFS&VERSION=2.0.0&REQUEST=GetFeature&TYPENAMES=BDTOPO_V3:detail_orographique"
              "&CQL_FILTER=BBOX(geometrie,6.503906,45.089036,6.679688,45.213004,'EPSG:4326')%20AND%20nature%20IN%20("
              "'Sommet','Pic','Col','Montagne','Cr%C3%AAte','Rochers')"
              "&PROPERTYNAME=nature,toponyme,importance,geometrie&COUNT=800&SORTBY=importance"
              "&OUTPUTFORMAT=application%2Fjson");
    const std::string refuges = service->featureRequest(layers[1], kAlps).value();
    EXPECT_NE(refuges.find("nature%20IN%20('Refuge','Abri%20de%20montagne','Point%20de%20vue')"), std::string::npos)
        << refuges;
    EXPECT_EQ(service->featureRequest({"vide", {}}, kAlps), std::nullopt);
}

TEST(ToponymFeatures, AFeatureGivesANameWhenItHasAKnownNatureANameAndAPosition)
{
    struct Case {
        const char* what;
        json feature;
        std::optional<Toponym> toponym;
    };
    const json polygon = {{"type", "Polygon"}, {"coordinates", {{{6.0, 45.0}, {6.4, 45.1}, {6.1, 45.6}, {6.0, 45.0}}}}};
    json deep = json::array({6.5, 45.1});
    for (int level = 0; level < 9; ++level)
        deep = json::array({deep});
    const json tooDeep = {{"type", "GeometryCollection"}, {"coordinates", deep}};
    for (const Case& c : {
             Case{"a point", feature("s.1", "Sommet", "Dôme", point(6.5, 45.1), "3"),
                 Toponym{"s.1", "Dôme", Kind::summit, 45.1, 6.5, 3, std::nullopt}},
             Case{"trimmed, without an id", feature(std::nullopt, "Col", " \n Col\u00a0Agnel \t", point(6.98, 44.68)),
                 Toponym{"Col\u00a0Agnel|44.68|6.98", "Col\u00a0Agnel", Kind::col, 44.68, 6.98, 2, std::nullopt}},
             Case{"importance NC", feature("r", "Refuge", "R", point(6, 45), "NC"),
                 Toponym{"r", "R", Kind::refuge, 45, 6, 6, std::nullopt}},
             Case{"importance +4", feature("r", "Refuge", "R", point(6, 45), "+4"),
                 Toponym{"r", "R", Kind::refuge, 45, 6, 4, std::nullopt}},
             Case{"importance -1", feature("r", "Refuge", "R", point(6, 45), "-1"),
                 Toponym{"r", "R", Kind::refuge, 45, 6, -1, std::nullopt}},
             Case{"importance as a number", feature("r", "Refuge", "R", point(6, 45), 2),
                 Toponym{"r", "R", Kind::refuge, 45, 6, 6, std::nullopt}},
             Case{"importance past 64 bits", feature("r", "Refuge", "R", point(6, 45), "99999999999999999999"),
                 Toponym{"r", "R", Kind::refuge, 45, 6, 6, std::nullopt}},
             Case{"a polygon", feature("z", "Lieu-dit habit\u00e9", "Z", polygon),
                 Toponym{"z", "Z", Kind::place, 45.3, 6.2, 2, std::nullopt}},
             Case{"positions off the globe left out",
                 feature("v", "Point de vue", "V", {{"coordinates", {{200.0, 45.0}, {6.5, 95.0}, {6.5, 45.1}}}}),
                 Toponym{"v", "V", Kind::viewpoint, 45.1, 6.5, 2, std::nullopt}},
             Case{"a blank name", feature("b", "Sommet", " \u2003\n", point(6, 45)), std::nullopt},
             Case{"an unknown nature", feature("u", "Chapelle", "U", point(6, 45)), std::nullopt},
             Case{"no position", feature("n", "Sommet", "N", {{"coordinates", json::array()}}), std::nullopt},
             Case{"nested too deep", feature("d", "Sommet", "D", tooDeep), std::nullopt},
             Case{"no geometry", {{"properties", {{"nature", "Sommet"}, {"toponyme", "G"}}}}, std::nullopt},
         }) {
        SCOPED_TRACE(c.what);
        const auto toponym = ToponymService::parseFeature(c.feature);
        ASSERT_EQ(toponym.has_value(), c.toponym.has_value());
        if (!toponym)
            continue;
        EXPECT_EQ(toponym->id, c.toponym->id);
        EXPECT_EQ(toponym->name, c.toponym->name);
        EXPECT_EQ(toponym->kind, c.toponym->kind);
        EXPECT_NEAR(toponym->latitude, c.toponym->latitude, 1e-12);
        EXPECT_NEAR(toponym->longitude, c.toponym->longitude, 1e-12);
        EXPECT_EQ(toponym->importance, c.toponym->importance);
        EXPECT_FALSE(toponym->altitude);
    }
}

TEST(ToponymFeatures, AnAnswerGivesItsNamesInFeatureOrderAndNothingWhenItCannotBeRead)
{
    const std::string answer = collection({feature("b", "Col", "B", point(6, 45)),
        feature("x", "Chapelle", "X", point(6, 45)), feature("a", "Sommet", "A", point(6, 45))});
    EXPECT_EQ(ids(ToponymService::parseFeatures(answer)), (std::vector<std::string>{"b", "a"}));
    for (const std::string& unreadable : {std::string("<html>"), std::string(R"([1, 2])"),
             std::string(R"({"features": {}})"), std::string(R"({"type": "FeatureCollection"})"),
             R"({"features": [)" + feature("a", "Sommet", "A", point(6, 45)).dump() + R"(, 3]})"}) {
        SCOPED_TRACE(unreadable);
        EXPECT_TRUE(ToponymService::parseFeatures(unreadable).empty());
    }
}

TEST_F(ToponymServiceTest, TheLaterLayerWinsASharedIdAndSummitsColsAndRefugesGetTheirHeights)
{
    answer("detail_orographique", {feature("same", "Sommet", "Pointe", point(6.6, 45.15)),
                                      feature("other", "Crête", "Arête", point(6.61, 45.16))});
    answer("zone_d_activite_ou_d_interet", {feature("same", "Refuge", "Refuge de la Pointe", point(6.62, 45.17))});
    makeService();
    const auto fetched = service->fetch(kAlps);
    EXPECT_FALSE(fetched.error);
    EXPECT_TRUE(fetched.complete);
    ASSERT_EQ(fetched.toponyms.size(), 2u);
    EXPECT_EQ(fetched.toponyms[0].name, "Refuge de la Pointe");
    EXPECT_EQ(fetched.toponyms[0].altitude, kAltimetryMeters);
    EXPECT_EQ(fetched.toponyms[1].name, "Arête");
    EXPECT_FALSE(fetched.toponyms[1].altitude) << "a ridge gets no height";
}

TEST_F(ToponymServiceTest, ACellWithoutAnyAnsweringLayerFailsWithTheLastNetworkErrorOrABadServerResponse)
{
    velorin::ServiceHosts unreachable = loopbackHosts();
    unreachable.ignHost = "127.0.0.1:1";
    makeService(nullptr, unreachable);
    const auto refused = service->fetch(kAlps);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->kind, platform::HttpErrorKind::cannotConnect);
    EXPECT_TRUE(refused.toponyms.empty());

    for (const auto& layer : ToponymService::layers())
        answer(std::string(layer.name), LoopbackServer::reply(500, "erreur"));
    makeService();
    const auto refusedByServer = service->fetch(kAlps);
    ASSERT_TRUE(refusedByServer.error);
    EXPECT_EQ(refusedByServer.error->kind, platform::HttpErrorKind::badResponse);
    EXPECT_EQ(refusedByServer.error->message, "réponse incorrecte du serveur");
}

TEST_F(ToponymServiceTest, ACellALayerFailedIsShownButNotCachedAndANewServiceAsksForItAgain)
{
    answer("lieu_dit_non_habite", LoopbackServer::reply(503));
    answer("detail_orographique", {feature("col.1", "Col", "Col du Lautaret", point(6.6, 45.15))});
    makeService();
    load(kAlps);
    const auto shown = service->visibleToponyms(13);
    ASSERT_EQ(ids(shown), (std::vector<std::string>{"col.1"}));
    EXPECT_EQ(shown[0].altitude, kAltimetryMeters);
    service.reset();
    EXPECT_FALSE(store->exists(ToponymService::cacheKey(kAlps.x, kAlps.y)));

    const int before = featureRequests();
    makeService();
    load(kAlps);
    EXPECT_EQ(featureRequests(), before + 4);
}

TEST_F(ToponymServiceTest, ACellWhoseHeightsFailedIsCachedAndItsHeightsAreCompletedAtTheNextLoad)
{
    server.route(std::string(kAltimetryPath), LoopbackServer::reply(500));
    server.route("/elevation-tiles-prod/terrarium/*", LoopbackServer::reply(404));
    answer("detail_orographique", {feature("col.1", "Col", "Col du Lautaret", point(6.6, 45.15)),
                                      feature("ridge.1", "Crête", "Arête de la Bruyère", point(6.61, 45.16))});
    answer("zone_d_habitation", {feature("lieu.1", "Lieu-dit habité", "Le Casset", point(6.5, 45.0))});
    makeService();
    load(kAlps);
    ASSERT_EQ(ids(service->visibleToponyms(13)), (std::vector<std::string>{"col.1"}));
    EXPECT_FALSE(service->visibleToponyms(13)[0].altitude);
    service.reset();
    const std::string key = ToponymService::cacheKey(kAlps.x, kAlps.y);
    const std::string pending = ToponymService::heightsPendingKey(kAlps.x, kAlps.y);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return store->exists(key) && store->exists(pending); }))
        << "the features are kept though their heights did not come";

    // The next start asks for the missing height alone, not for the features again.
    server.route(std::string(kAltimetryPath), [](const httplib::Request& request, httplib::Response& response) {
        EXPECT_EQ(request.get_param_value("lon"), "6.600000") << "only the col has a height to come";
        response.set_content(json{{"elevations", {kAltimetryMeters}}}.dump(), "application/json");
    });
    const int features = featureRequests();
    makeService();
    load(kAlps);
    EXPECT_EQ(featureRequests(), features);
    EXPECT_EQ(server.requestCount(kAltimetryPath), 2) << "one failed batch, then the col's";
    const auto completed = service->visibleToponyms(16);
    ASSERT_EQ(ids(completed), (std::vector<std::string>{"col.1", "ridge.1", "lieu.1"}));
    EXPECT_EQ(completed[0].altitude, kAltimetryMeters);
    service.reset();
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return !store->exists(pending); }));

    // From then on the cache holds everything.
    const int requests = server.requestCount();
    makeService();
    load(kAlps);
    EXPECT_EQ(server.requestCount(), requests);
    EXPECT_EQ(service->visibleToponyms(16), completed);
}

TEST_F(ToponymServiceTest, AShownCellWhoseHeightsFailedAsksForThemAgainAMinuteLater)
{
    server.route(std::string(kAltimetryPath), LoopbackServer::reply(500));
    server.route("/elevation-tiles-prod/terrarium/*", LoopbackServer::reply(404));
    answer("detail_orographique", {feature("col.1", "Col", "Col du Lautaret", point(6.6, 45.15))});
    makeService();
    load(kAlps);
    ASSERT_EQ(service->visibleToponyms(13).size(), 1u);
    EXPECT_FALSE(service->visibleToponyms(13)[0].altitude);
    const int features = featureRequests();
    server.route(std::string(kAltimetryPath), [](const httplib::Request&, httplib::Response& response) {
        response.set_content(json{{"elevations", {kAltimetryMeters}}}.dump(), "application/json");
    });
    ASSERT_TRUE(LoopbackServer::waitUntil(
        [&] { return store->exists(ToponymService::heightsPendingKey(kAlps.x, kAlps.y)); }));

    clock->advance(ToponymService::kRetryDelaySeconds - 1);
    load(kAlps);
    EXPECT_EQ(server.requestCount(kAltimetryPath), 1) << "not yet";
    clock->advance(1);
    const int changed = changes;
    load(kAlps);
    EXPECT_EQ(server.requestCount(kAltimetryPath), 2);
    EXPECT_EQ(featureRequests(), features) << "the features are not asked again";
    ASSERT_EQ(service->visibleToponyms(13).size(), 1u);
    EXPECT_EQ(service->visibleToponyms(13)[0].altitude, kAltimetryMeters);
    EXPECT_EQ(changes, changed + 1);
    ASSERT_TRUE(LoopbackServer::waitUntil(
        [&] { return !store->exists(ToponymService::heightsPendingKey(kAlps.x, kAlps.y)); }));

    clock->advance(ToponymService::kRetryDelaySeconds);
    load(kAlps);
    EXPECT_EQ(server.requestCount(kAltimetryPath), 2) << "complete now";
}

TEST_F(ToponymServiceTest, ACompleteCellIsCachedAndANewServiceReadsItWithoutAnyRequest)
{
    answer("detail_orographique", {feature("col.1", "Col", "Col du Lautaret", point(6.6, 45.15))});
    answer("zone_d_habitation", {feature("lieu.1", "Lieu-dit habité", "Le Casset", point(6.5, 45.0))});
    makeService();
    load(kAlps);
    const auto shown = service->visibleToponyms(16);
    ASSERT_EQ(shown.size(), 2u);
    service.reset();
    const std::string key = ToponymService::cacheKey(kAlps.x, kAlps.y);
    EXPECT_EQ(key, "toponyms/v4/1061_735.json");
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return store->exists(key); }));

    const int requests = server.requestCount();
    makeService();
    load(kAlps);
    EXPECT_EQ(server.requestCount(), requests) << "no feature or altitude request";
    EXPECT_EQ(service->visibleToponyms(16), shown);
}

TEST_F(ToponymServiceTest, DestroyingTheServiceCancelsItsTransfersAndStoresNothing)
{
    answer("detail_orographique", server.stalledBody("{\"features\":", 1000));
    makeService();
    service->request(inside(kAlps), 13);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.stallCount() == 1; }));
    service.reset();
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 1; }))
        << "the transfer is cancelled, not left running";
    mainQueue->drain();
    EXPECT_EQ(changes, 0);
}
