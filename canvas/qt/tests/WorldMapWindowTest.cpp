#include "canvas/qt/MapCanvasWidget.h"

#include "canvas/MapCanvasView.h"
#include "canvas/qt/LibraryPin.h"
#include "canvas/qt/PauseChip.h"
#include "canvas/qt/PhotoPin.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/Image.h"
#include "platform/SteadyClock.h"
#include "platform/UserDefaults.h"
#include "platform/gpu/ShaderLibrary.h"
#include "platform/qt/QtTileMapView.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"
#include "testing/TestApplication.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>

namespace {

using velorin::Basemap;
using velorin::MapCanvasView;
using velorin::MapCanvasWidget;
using velorin::WorldPoint;

bool runUntil(const std::function<bool()>& done, double seconds = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A 256-pixel tile: a pale square of its own shade with a darker frame, so that the
// picture shows how the tiles are laid; slope tiles are translucent orange stripes.
std::string tilePng(int z, int x, int y, bool slopes)
{
    platform::Image image {256, 256, std::vector<std::byte>(256 * 256 * 4)};
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            auto* pixel = &image.pixels[std::size_t(row * 256 + column) * 4];
            const bool frame = row < 3 || column < 3;
            std::array<int, 4> colour;
            if (slopes)
                colour = ((row + column) / 16) % 2 ? std::array {255, 120, 0, 110} : std::array {0, 0, 0, 0};
            else if (frame)
                colour = {90, 90, 110, 255};
            else
                colour = {200 + (x * 7 + z) % 40, 215 + (y * 5) % 30, 190 + (x + y) % 50, 255};
            for (int i = 0; i < 4; ++i)
                pixel[i] = std::byte(colour[std::size_t(i)]);
        }
    }
    const auto png = platform::encodePng(image);
    return {reinterpret_cast<const char*>(png->data()), png->size()};
}

// The one child of `parent` of that type, not counting grandchildren; null when there is
// not exactly one.
template <typename View>
QWidget* onlyChild(QWidget& parent)
{
    // The marker views carry no meta-object of their own: their C++ type tells them apart.
    QWidget* only = nullptr;
    int count = 0;
    for (QObject* child : parent.children()) {
        if (auto* view = dynamic_cast<View*>(child)) {
            only = view;
            ++count;
        }
    }
    return count == 1 ? only : nullptr;
}

class WorldMapWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::hasDisplay())
            GTEST_SKIP() << "no display: the map widget needs an X11 or Wayland display (run under xvfb-run)";
        testing_support::application(true);
        server.route("/*", [](const httplib::Request& request, httplib::Response& response) {
            int z = 0, x = 0, y = 0;
            if (std::sscanf(request.path.c_str(), "/%d/%d/%d.png", &z, &x, &y) != 3) {
                response.status = 404;
                return;
            }
            response.set_content(tilePng(z, x, y, false), "image/png");
        });
        server.route("/wmts", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(tilePng(0, 0, 0, true), "image/png");
            static_cast<void>(request);
        });
        hosts.scheme = "http";
        hosts.osmTileHost = "127.0.0.1:" + std::to_string(server.port());
        hosts.ignHost = hosts.osmTileHost;
    }

    MapCanvasWidget::CanvasFactory factory()
    {
        return [this](velorin::CanvasWindow& window, gpu::Context& context) {
            MapCanvasView::Environment environment {clock, mainQueue, defaults, folder / "VelorinGestes.log", {"velorin"}, {}};
            MapCanvasView::Services services {velorin::SheetCatalog {}, {}, {}, {}, {}, {}, {}, {hosts, nullptr},
                folder / "cache" / "WorldMaps"};
            return MapCanvasView::make(window, context, shaders, std::move(services), std::move(environment));
        };
    }

    // A window on the Chamonix valley, pitched, with a track and the slopes, on the plan.
    std::unique_ptr<MapCanvasWidget> open()
    {
        auto widget = std::make_unique<MapCanvasWidget>(clock, factory());
        widget->resize(640, 480);
        widget->show();
        EXPECT_TRUE(runUntil([&] { return widget->canvas() != nullptr; }));
        auto& canvas = *widget->canvas();
        velorin::Camera camera = canvas.camera();
        camera.center = WorldPoint::fromLatitudeLongitude(45.92, 6.87);
        camera.zoom = 14;
        camera.pitch = 0.6;
        camera.bearing = 0.4;
        canvas.applyCamera(camera, true);
        const auto at = [](double latitude, double longitude) { return WorldPoint::fromLatitudeLongitude(latitude, longitude); };
        canvas.setTrack({{at(45.913, 6.862), velorin::TravelMode::walking}, {at(45.918, 6.868), velorin::TravelMode::walking},
                            {at(45.922, 6.871), std::nullopt}, {at(45.926, 6.878), velorin::TravelMode::automotive},
                            {at(45.93, 6.88), velorin::TravelMode::automotive}},
            {});
        canvas.setShowsSlopes(true);
        canvas.setBasemap(Basemap::applePlan);
        return widget;
    }

    // Lets the map ask for its tiles until it asks for no more.
    void waitForTiles(const platform::QtTileMapView& map)
    {
        int last = -1;
        runUntil([&] {
            const int now = server.requestCount();
            const bool settled = now > 0 && now == last && map.loadedTileCount() >= std::size_t(now);
            last = now;
            QApplication::processEvents(QEventLoop::AllEvents, 100);
            return settled;
        });
    }

    testing_support::TemporaryFolder folder;
    testing_support::LoopbackServer server;
    velorin::ServiceHosts hosts;
    std::shared_ptr<platform::SteadyClock> clock = std::make_shared<platform::SteadyClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::UserDefaults> defaults = std::make_shared<platform::UserDefaults>(folder / "defaults.json");
    gpu::ShaderLibrary shaders {gpu::ShaderLibrary::defaultFolder()};
};

TEST_F(WorldMapWindowTest, ThePlanShowsItsTilesTrackAndSlopesFetchingOnlyWhatIsInViewAndOnce)
{
    auto widget = open();
    auto* map = widget->findChild<platform::QtTileMapView*>();
    ASSERT_TRUE(map);
    ASSERT_TRUE(widget->canvas()->isAppleLayerShown());
    EXPECT_EQ(map->geometry(), widget->rect());
    waitForTiles(*map);
    ASSERT_GT(server.requestCount(), 0);

    // Only the tiles of the picture, each once, as the program, with no no-cache header.
    std::set<std::tuple<int, int64_t, int64_t>> shown;
    for (const auto& tile : map->shownTiles())
        shown.insert({tile.z, tile.x, tile.y});
    std::set<std::string> targets;
    for (const auto& request : server.requests()) {
        EXPECT_TRUE(targets.insert(request.target).second) << request.target << " asked twice";
        const auto agent = request.headers.find("User-Agent");
        ASSERT_NE(agent, request.headers.end());
        EXPECT_EQ(agent->second, platform::HttpSession::defaultUserAgent());
        EXPECT_TRUE(agent->second.starts_with("Velorin/") && agent->second.ends_with(" (Linux)"));
        for (const char* header : {"Cache-Control", "Pragma"})
            EXPECT_EQ(request.headers.find(header), request.headers.end()) << header;
        int z = 0, x = 0, y = 0;
        if (std::sscanf(request.path.c_str(), "/%d/%d/%d.png", &z, &x, &y) == 3) {
            EXPECT_TRUE(shown.contains({z, x, y})) << request.path << " is not in view";
        }
    }

    const QImage picture = widget->grab().toImage();
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "world-map-plan.png";
    EXPECT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG")) << path;
    // The walked run in green, the driven one in blue, and the slope stripes over the tiles.
    int green = 0, blue = 0, orange = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            green += c.green() > 170 && c.red() < 80 && c.blue() < 120;
            blue += c.blue() > 220 && c.red() < 80 && c.green() > 110 && c.green() < 160;
            orange += c.red() > 220 && c.green() > 150 && c.green() < 200 && c.blue() < 150;
        }
    }
    EXPECT_GT(green, 200);
    EXPECT_GT(blue, 60);
    EXPECT_GT(orange, 5000);
    // The snapshot is the picture on screen, at half size when asked.
    const auto snapshot = widget->canvas()->snapshot(320);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->width, 320);
    EXPECT_EQ(snapshot->height, 240);

    // A drag moves the map, the canvas with it, and a point of the map stays where the map shows it.
    const WorldPoint centre = widget->canvas()->camera().center;
    const auto drag = [map](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, map->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(map, &event);
    };
    drag(QEvent::MouseButtonPress, {320, 300}, Qt::LeftButton);
    drag(QEvent::MouseMove, {300, 280}, Qt::LeftButton);
    drag(QEvent::MouseMove, {250, 250}, Qt::LeftButton);
    drag(QEvent::MouseButtonRelease, {250, 250}, Qt::NoButton);
    EXPECT_NE(widget->canvas()->camera().center, centre);
    const auto marker = widget->canvas()->viewPoint(centre);
    const auto onMap = map->point({centre.latitude(), centre.longitude()});
    ASSERT_TRUE(onMap);
    EXPECT_NEAR(marker.x, onMap->x, 1e-6);
    EXPECT_NEAR(marker.y, onMap->y, 1e-6);

    // Opened again on the same view, the map takes its tiles from the disk.
    widget.reset();
    const int asked = server.requestCount();
    auto again = open();
    auto* reopened = again->findChild<platform::QtTileMapView*>();
    ASSERT_TRUE(reopened);
    ASSERT_TRUE(runUntil([&] { return reopened->loadedTileCount() >= reopened->shownTiles().size(); }));
    EXPECT_EQ(server.requestCount(), asked);
}

TEST_F(WorldMapWindowTest, MarkersMadeAfterTheWorldMapStandAboveItAndRideWithADrag)
{
    auto widget = open();
    auto* map = widget->findChild<platform::QtTileMapView*>();
    ASSERT_TRUE(map);
    waitForTiles(*map);
    auto& canvas = *widget->canvas();
    const auto at = [](double latitude, double longitude) { return WorldPoint::fromLatitudeLongitude(latitude, longitude); };
    const auto now = std::chrono::system_clock::now();
    // A pause chip, a track photo and a library photo, all made once the world map exists.
    canvas.setTrack({{at(45.913, 6.862), velorin::TravelMode::walking}, {at(45.93, 6.88), velorin::TravelMode::walking}},
        {{0, 45.921, 6.866, now - std::chrono::minutes(20), now - std::chrono::minutes(5)}});
    canvas.setPhotos({{"walk/col.jpg", now, at(45.917, 6.875)}});
    canvas.setLibraryPhotos({{"library/lac.jpg", now, at(45.924, 6.862)}});
    QApplication::processEvents();

    struct Marker {
        const char* kind;
        QWidget* view;
        WorldPoint world;
    };
    const Marker markers[] = {
        {"pause chip", onlyChild<velorin::PauseChip>(*widget), at(45.921, 6.866)},
        {"photo pin", onlyChild<velorin::PhotoPin>(*widget), at(45.917, 6.875)},
        {"library pin", onlyChild<velorin::LibraryPin>(*widget), at(45.924, 6.862)},
    };
    const auto onMap = [map](WorldPoint world) {
        const auto point = map->point({world.latitude(), world.longitude()});
        return point ? QPointF(point->x, point->y) : QPointF(-1, -1);
    };
    const auto check = [&](const char* when) {
        for (const Marker& marker : markers) {
            SCOPED_TRACE(std::string(marker.kind) + ", " + when);
            ASSERT_TRUE(marker.view);
            EXPECT_TRUE(marker.view->isVisible());
            EXPECT_GT(widget->children().indexOf(marker.view), widget->children().indexOf(map)) << "stacked above the map";
            const QPoint middle = marker.view->geometry().center();
            // A chip only shows; a pin takes its clicks.
            if (!marker.view->testAttribute(Qt::WA_TransparentForMouseEvents)) {
                QWidget* hit = widget->childAt(middle);
                EXPECT_TRUE(hit == marker.view || marker.view->isAncestorOf(hit)) << "a click there reaches the marker";
            }
            const QPointF shown = onMap(marker.world);
            EXPECT_NEAR(middle.x(), shown.x(), 1.5);
            EXPECT_NEAR(middle.y(), shown.y(), 1.5);
        }
    };
    check("before the drag");

    const auto drag = [map](QEvent::Type type, QPointF point, Qt::MouseButtons buttons) {
        QMouseEvent event(type, point, map->mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(map, &event);
    };
    const QPoint before = markers[1].view->pos();
    drag(QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton);
    drag(QEvent::MouseMove, {380, 290}, Qt::LeftButton);
    drag(QEvent::MouseMove, {330, 260}, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_NE(markers[1].view->pos(), before) << "the pin moved with the map while it was dragged";
    check("during the drag");
    drag(QEvent::MouseButtonRelease, {330, 260}, Qt::NoButton);
    waitForTiles(*map);

    const QImage picture = widget->grab().toImage();
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "world-map-markers.png";
    EXPECT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG")) << path;
}

TEST_F(WorldMapWindowTest, AResizedWindowKeepsTheWorldMapAtTheCanvasScale)
{
    auto widget = open();
    auto* map = widget->findChild<platform::QtTileMapView*>();
    ASSERT_TRUE(map);
    const WorldPoint aimed = widget->canvas()->camera().center;
    const WorldPoint beside = WorldPoint::fromLatitudeLongitude(45.93, 6.89);
    widget->resize(900, 640);
    QApplication::processEvents();
    ASSERT_EQ(map->size(), QSize(900, 640));
    for (const WorldPoint world : {aimed, beside}) {
        const auto canvasPoint = widget->canvas()->viewPoint(world);
        const auto mapPoint = map->point({world.latitude(), world.longitude()});
        ASSERT_TRUE(mapPoint);
        EXPECT_NEAR(canvasPoint.x, mapPoint->x, 0.5);
        EXPECT_NEAR(canvasPoint.y, mapPoint->y, 0.5);
    }
}

} // namespace
