#include "app/CanvasPortAdapter.h"
#include "app/CanvasServices.h"
#include "app/tests/AppModelFixture.h"
#include "app/tests/ReplayedWalk.h"
#include "canvas/tests/CanvasTestSupport.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/RoofPieces.h"
#include "testing/LoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fmt/format.h>

#include <cstdio>
#include <map>

#include <cmath>
#include <numbers>

using platform::LocationAuthorization;
using velorin::MapCanvasView;
using velorin::WorldPoint;

namespace {

constexpr double kFrameSeconds = 1.0 / 60;
constexpr double kReplayTimeoutSeconds = 10.0;
constexpr double kLatitude = 45.9237;
constexpr double kLongitude = 6.8694;

// The model driving a real canvas, drawn offscreen, through the adapter the map view host
// hands it; the canvas reports its camera back to the model as the host wires it.
class AppModelCanvas : public testing_support::AppModelFixture {
protected:
    int argc = 0;
    QCoreApplication application {argc, nullptr};
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library {gpu::ShaderLibrary::defaultFolder()};
    testing_support::FakeCanvasWindow window;
    std::shared_ptr<MapCanvasView> canvas;
    std::shared_ptr<velorin::CanvasPortAdapter> port;

    // The canvas, laid out, showing `startAt` ("lat,lon,zoom,bearing°,pitch°") or the whole
    // world, drawing from `services` (nothing by default).
    void showCanvas(velorin::AppModel& model, std::vector<std::string> arguments = {"velorin"},
        std::optional<MapCanvasView::Services> services = std::nullopt)
    {
        MapCanvasView::Environment environment {
            clock, mainQueue, std::make_shared<platform::UserDefaults>(folder.path() / "canvas.json"),
            folder.path() / "VelorinGestes.log", std::move(arguments), {}};
        canvas = MapCanvasView::make(window, *context, library,
            services.value_or(MapCanvasView::Services{velorin::SheetCatalog{}, {}, {}, {}, {}, {}}), std::move(environment));
        ASSERT_TRUE(canvas);
        canvas->onCameraChanged = [&model](const velorin::Camera& camera) {
            model.cameraDidChange(camera.center, camera.zoom, camera.bearing);
        };
        canvas->onFlight = [&model](std::optional<velorin::AppModel::FlightInfo> flight) {
            model.flightDidChange(std::move(flight));
        };
        port = std::make_shared<velorin::CanvasPortAdapter>(canvas);
        model.setCanvas(port);
        canvas->layout();
        settle();
    }

    // Runs frames until the canvas rests, then lets the last camera report through.
    void settle()
    {
        for (int frames = 0; window.linkRunning && frames < 1000; ++frames) {
            clock->advance(kFrameSeconds);
            canvas->step(clock->now(), clock->now() + kFrameSeconds);
        }
        clock->advance(velorin::CameraReportThrottle::kNotificationIntervalSeconds * 2);
        canvas->reportCameraChange();
    }

    velorin::AppModel& makeAuthorizedModel()
    {
        auto& made = makeModel();
        position->authorization = LocationAuthorization::authorizedWhenInUse;
        position->changeAuthorization(LocationAuthorization::authorizedWhenInUse);
        return made;
    }

    static platform::LocationFix fixAt(double latitude, double longitude)
    {
        platform::LocationFix fix;
        fix.latitude = latitude;
        fix.longitude = longitude;
        fix.horizontalAccuracy = 10;
        fix.timestamp = 1.8e9;
        return fix;
    }
};

} // namespace

TEST_F(AppModelCanvas, AReplayedWalkMovesThePositionMarkerAndCentresTheMapOnTheFirstFix)
{
    deviceLocation = testing_support::replayedWalk();
    ASSERT_TRUE(deviceLocation);
    auto& model = makeModel();
    showCanvas(model);
    ASSERT_FALSE(canvas->renderer().userLocation);
    model.start();

    std::vector<WorldPoint> marks;
    QElapsedTimer timer;
    timer.start();
    while (marks.size() < 3 && timer.elapsed() < kReplayTimeoutSeconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        mainQueue->drain();
        const auto& mark = canvas->renderer().userLocation;
        if (mark && (marks.empty() || !(marks.back() == mark->world)))
            marks.push_back(mark->world);
    }

    ASSERT_EQ(marks.size(), 3u);
    EXPECT_NEAR(marks[0].latitude(), 45.9237, 1e-6);
    EXPECT_NEAR(marks[1].latitude(), 45.9247, 1e-6);
    EXPECT_NEAR(marks[2].longitude(), 6.8704, 1e-6);
    EXPECT_GT(canvas->renderer().userLocation->accuracy, 0);
    EXPECT_FALSE(canvas->awaitingInitialLocation());
    EXPECT_NEAR(canvas->camera().center.latitude(), 45.9237, 1e-6) << "the first fix centres the map once";
}

TEST_F(AppModelCanvas, LocateMeGlidesFromZoomTenToFourteen)
{
    auto& model = makeAuthorizedModel();
    showCanvas(model, {"velorin", "-startAt", "45.92,6.86,10"});
    ASSERT_EQ(model.zoom(), 10);
    position->deliver({fixAt(kLatitude, kLongitude)});

    model.locateUser();
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toZoom, 14);
    settle();
    EXPECT_NEAR(canvas->camera().zoom, 14, 1e-9);
    const WorldPoint target = WorldPoint::fromLatitudeLongitude(kLatitude, kLongitude);
    EXPECT_NEAR(canvas->camera().center.x, target.x, 1e-12);
    EXPECT_NEAR(canvas->camera().center.y, target.y, 1e-12);
    EXPECT_EQ(model.zoom(), canvas->camera().zoom);
}

TEST_F(AppModelCanvas, TheCompassTurnsTheMapNorthUpFirstThenFollowsTheHeading)
{
    auto& model = makeAuthorizedModel();
    showCanvas(model, {"velorin", "-startAt", "45.92,6.86,13,40"});
    ASSERT_NEAR(model.bearing(), 40 * std::numbers::pi / 180, 1e-9);

    model.toggleCompassFollowing();
    EXPECT_FALSE(model.isCompassFollowing());
    settle();
    EXPECT_EQ(canvas->camera().bearing, 0);
    EXPECT_EQ(model.bearing(), 0);

    model.toggleCompassFollowing();
    EXPECT_TRUE(model.isCompassFollowing());
    EXPECT_TRUE(canvas->isCompassFollowing());
    position->deliverHeading({93, 90, 5});
    settle();
    EXPECT_NEAR(canvas->camera().bearing, std::numbers::pi / 2, 1e-9);

    model.toggleCompassFollowing();
    settle();
    EXPECT_FALSE(canvas->isCompassFollowing());
    EXPECT_EQ(canvas->camera().bearing, 0);
}

TEST_F(AppModelCanvas, AGoneCanvasLeavesTheModelAlone)
{
    auto& model = makeAuthorizedModel();
    showCanvas(model);
    canvas.reset();
    position->deliver({fixAt(kLatitude, kLongitude)});
    model.locateUser();
    model.toggleCompassFollowing();
    model.toggleSlopes();
    EXPECT_FALSE(port->isCompassFollowing());
    EXPECT_FALSE(port->isFlying());
    EXPECT_FALSE(port->handleInitialLocation(fixAt(kLatitude, kLongitude)));
}

TEST_F(AppModelCanvas, APlaceFromTheSearchIsShownOrReachedAndTheCentreIsReadBack)
{
    auto& model = makeModel();
    const velorin::Toponym refuge{"fr6", "Refuge des Cosmiques", velorin::Toponym::Kind::refuge, 45.8722, 6.8868, 3, 3613.0};
    const WorldPoint there = WorldPoint::fromLatitudeLongitude(refuge.latitude, refuge.longitude);
    for (bool direct : {false, true}) {
        showCanvas(model, {"velorin", "-startAt", "45.5,6.5,12"});
        if (direct)
            port->goDirectly(refuge);
        else
            port->show(refuge, false);
        settle();
        ASSERT_TRUE(port->cameraCenter());
        EXPECT_NEAR(port->cameraCenter()->x, there.x, 1e-6) << direct;
        EXPECT_NEAR(port->cameraCenter()->y, there.y, 1e-6) << direct;
    }
    canvas.reset();
    EXPECT_FALSE(port->cameraCenter());
}

TEST_F(AppModelCanvas, APlaceFromTheSearchIsFlownToOrTouredAndAllerDirectementLandsWhereTheApproachEnds)
{
    auto& model = makeModel();
    const velorin::Toponym refuge{"fr6", "Refuge des Cosmiques", velorin::Toponym::Kind::refuge, 45.8722, 6.8868, 3, 3613.0};
    for (bool orbit : {false, true}) {
        // The tour closes on a viewpoint further north: skipping must not land there.
        showCanvas(model, {"velorin", "-startAt", "45.85,6.88,13,0,60", "-orbitOutro", "45.95,6.90,300,45.90,6.89"});
        ASSERT_TRUE(port->canStartFlight());
        port->startFlight(refuge, orbit);
        ASSERT_TRUE(canvas->flight()) << orbit;
        EXPECT_EQ(canvas->flight()->kind, orbit ? velorin::Flight::Kind::orbit : velorin::Flight::Kind::land);
        EXPECT_EQ(canvas->flight()->outro.has_value(), orbit);
        ASSERT_TRUE(model.flight()) << "the banner shows the flight";
        EXPECT_EQ(model.flight()->first, refuge.name);

        const velorin::Flight flight = *canvas->flight();
        const auto arrival = canvas->applyFlightFrame(flight, flight.duration);
        ASSERT_TRUE(arrival);
        model.skipFlight();
        EXPECT_FALSE(canvas->isFlying()) << orbit;
        EXPECT_FALSE(model.flight()) << orbit;
        EXPECT_NEAR(canvas->camera().center.x, arrival->center.x, 1e-9) << orbit;
        EXPECT_NEAR(canvas->camera().center.y, arrival->center.y, 1e-9) << orbit;
        EXPECT_NEAR(canvas->camera().zoom, arrival->zoom, 1e-9) << orbit;
        if (flight.outro) {
            const auto outroView = canvas->applyFlightFrame(flight, flight.endTime());
            ASSERT_TRUE(outroView);
            EXPECT_GT(std::hypot(outroView->center.x - arrival->center.x, outroView->center.y - arrival->center.y)
                    * arrival->center.metersPerWorldUnit(),
                500)
                << "the outro's view is elsewhere";
        }
    }
    canvas.reset();
    EXPECT_FALSE(port->canStartFlight());
    port->startFlight(refuge, false);
}

TEST_F(AppModelCanvas, APitchedViewDrawsTheBuildingsTheModelLoadsForIt)
{
    // The feature service answers each tile with one house in the middle of its box.
    testing_support::LoopbackServer server;
    server.route("/wfs/ows", [](const httplib::Request& request, httplib::Response& response) {
        double west = 0;
        double south = 0;
        double east = 0;
        double north = 0;
        std::sscanf(request.get_param_value("CQL_FILTER").c_str(), "BBOX(geometrie,%lf,%lf,%lf,%lf", &west, &south, &east,
            &north);
        const double longitude = (west + east) / 2;
        const double latitude = (south + north) / 2;
        const double d = 0.0001;
        response.set_content(fmt::format(R"({{"type":"FeatureCollection","features":[{{"type":"Feature",)"
                                         R"("properties":{{"hauteur":9}},"geometry":{{"type":"MultiPolygon","coordinates":)"
                                         R"([[[[{0},{1}],[{2},{1}],[{2},{3}],[{0},{3}],[{0},{1}]]]]}}}}]}})",
                                 longitude - d, latitude - d, longitude + d, latitude + d),
            "application/json");
    });
    hosts.scheme = "http";
    hosts.ignHost = "127.0.0.1:" + std::to_string(server.port());
    hosts.terrariumHost = hosts.ignHost;
    auto& model = makeModel();
    model.start();
    ASSERT_NE(model.loader(), nullptr);
    showCanvas(model, {"velorin", "-startAt", "45.92,6.86,16.5,0,60"}, velorin::CanvasServices::of(model));
    ASSERT_EQ(&model.buildings(), velorin::CanvasServices::of(model).buildings.get()) << "built once";

    int changes = 0;
    model.buildings().onChange = [&, drawn = model.buildings().onChange] {
        ++changes;
        drawn();
    };
    gpu::RenderTarget target(*context, int(window.bounds.width), int(window.bounds.height));
    QElapsedTimer timer;
    timer.start();
    while (canvas->renderer().buildingDraws.empty() && timer.elapsed() < kReplayTimeoutSeconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        mainQueue->drain();
        clock->advance(kFrameSeconds);
        canvas->drawFrame(target.framebuffer());
    }
    ASSERT_FALSE(canvas->renderer().buildingDraws.empty());
    EXPECT_GT(changes, 0);
    EXPECT_GT(server.requestCount("/wfs/ows"), 0);
    // One house a tile, in its middle: its walls in one quarter's draw, its roof cut at the
    // tile's quarter lines into the draws of the quarters it covers.
    std::map<const void*, int> vertices;
    for (const auto& draw : canvas->renderer().buildingDraws)
        vertices[draw.buffer.get()] += draw.endVertex - draw.firstVertex;
    for (const auto& [buffer, count] : vertices) {
        EXPECT_GE(count, 30);
        EXPECT_LE(count, 24 + 3 * int(velorin::RoofPieces::kMaxTriangles) * 2);
    }
}
