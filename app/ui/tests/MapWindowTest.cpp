#include "app/ui/RootView.h"

#include "account/ui/AccountView.h"
#include "app/tests/AppModelFixture.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/CameraInfoPanel.h"
#include "app/ui/CaptureNotice.h"
#include "app/ui/CompassDial.h"
#include "app/ui/CompassPad.h"
#include "app/ui/FlightWave.h"
#include "app/ui/FlyoverControlBar.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/TitledSymbolButton.h"
#include "app/ui/MapPalette.h"
#include "app/ui/MapToolbar.h"
#include "app/ui/ScaleBar.h"
#include "app/ui/StatusIndicator.h"
#include "app/ui/MapContainer.h"
#include "app/ui/MapScreen.h"
#include "app/ui/OverlayLayer.h"
#include "app/ui/OverlayTransition.h"
#include "app/ui/PlaceActions.h"
#include "app/ui/PlaceSearchField.h"
#include "app/ui/PlaceSuggestionRow.h"
#include "app/ui/tests/ScreenTestSupport.h"
#include "canvas/LastCamera.h"
#include "canvas/qt/CanvasOverlayHost.h"
#include "canvas/qt/MarkerOverlays.h"
#include "canvas/qt/MapCanvasWidget.h"
#include "canvas/qt/ToponymLabelLayer.h"
#include "library/FlyoverPhotoThumbnail.h"
#include "library/PhotoPage.h"
#include "library/PhotoViewer.h"
#include "library/RecordingPanel.h"
#include "library/TrackDetailView.h"
#include "library/TrackMapPreview.h"
#include "library/TracksView.h"
#include "features/ToponymHoverCard.h"
#include "features/ui/ToponymHoverView.h"
#include "features/ui/ToponymLabelView.h"
#include "recordings/CaptureFile.h"
#include "recordings/TrackSmoothing.h"
#include "platform/SteadyClock.h"
#include "platform/qt/LocationSourceFactory.h"
#include "platform/qt/QtTileMapView.h"
#include "renderer/Sky.h"
#include "renderer/TrackRibbon.h"
#include "testing/GpsFake.h"
#include "testing/LocalTimeZone.h"
#include "testing/NmeaLog.h"
#include "testing/LoopbackServer.h"
#include "testing/PlaceDatabaseFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QScrollArea>
#include <QBuffer>
#include <QDialog>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QToolTip>
#include <QToolButton>
#include <QWindow>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <fstream>
#include <iostream>
#include <vector>
#include <string>
#include <thread>

using testing_support::LoopbackServer;
using velorin::CameraInfoPanel;
using velorin::MapScreen;
using velorin::RootView;

namespace {

// gpsfake's pace through a receiver's log, and how long gpsd may take to come up or to
// hand the walk on.
constexpr double kGpsFakeSentenceSeconds = 0.03;
constexpr double kGpsdStartSeconds = 30;

// The map's own background, shown where no tile has been drawn yet.
bool isClearColour(const QColor& colour)
{
    const auto clear = velorin::Sky::kFlatClearColor;
    return std::abs(colour.redF() - clear[0]) < 0.02 && std::abs(colour.greenF() - clear[1]) < 0.02
        && std::abs(colour.blueF() - clear[2]) < 0.02;
}

std::string encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

std::string solidImage(QColor colour, const char* format)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colour);
    return encoded(image, format);
}

// A warm tile crossed by darker lines every 32 pixels, so that the ground shows its
// perspective.
std::string griddedImage()
{
    QImage image(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x)
            image.setPixelColor(x, y, x % 32 < 3 || y % 32 < 3 ? QColor(120, 70, 20) : QColor(200, 120, 40));
    }
    return encoded(image, "JPG");
}

// Terrarium elevations rising eastwards 8 m a pixel from 1000 m: slopes the relief shading
// lights from the north-west.
std::string rampElevations()
{
    QImage image(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int encoded = 1000 + 8 * x + 32768;
            image.setPixelColor(x, y, QColor(encoded / 256, encoded % 256, 0));
        }
    }
    return encoded(image, "PNG");
}

// The share of a frame's pixels that show something other than the clear colour.
double drawnShare(const QImage& frame)
{
    int drawn = 0;
    int counted = 0;
    for (int y = 0; y < frame.height(); y += 8) {
        for (int x = 0; x < frame.width(); x += 8) {
            ++counted;
            drawn += isClearColour(frame.pixelColor(x, y)) ? 0 : 1;
        }
    }
    return counted ? double(drawn) / counted : 0;
}

// Pixels of a frame in the ribbon colour of a walked stretch.
int walkedPixels(const QImage& frame)
{
    const auto walked = velorin::TrackRibbon::kMovingColor;
    int count = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QColor colour = frame.pixelColor(x, y);
            count += std::abs(colour.redF() - walked[0]) < 0.06 && std::abs(colour.greenF() - walked[1]) < 0.06
                && std::abs(colour.blueF() - walked[2]) < 0.06;
        }
    }
    return count;
}

class MapWindowTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override
    {
        if (!testing_support::hasDisplay())
            GTEST_SKIP() << "no display: the map window needs an X11 or Wayland display (run under xvfb-run)";
        testing_support::application(true);
    }

    // Every provider is the loopback server, answering after `latencySeconds`: map tiles are
    // `mapTile` (one warm colour unless given), elevations a plateau at 1000 m.
    void serveTiles(LoopbackServer& provider, const std::string& mapTile = solidImage(QColor(200, 120, 40), "JPG"),
        double latencySeconds = 0)
    {
        const auto late = [&](LoopbackServer::Handler handler) {
            return latencySeconds > 0 ? provider.delayed(latencySeconds, std::move(handler)) : handler;
        };
        provider.route("/*", late(LoopbackServer::reply(200, mapTile, {{"Content-Type", "image/jpeg"}})));
        provider.route("/elevation-tiles-prod/terrarium/*",
            late(LoopbackServer::reply(200, solidImage(QColor(131, 232, 0), "PNG"), {{"Content-Type", "image/png"}})));
        provider.route("/wfs/ows", LoopbackServer::reply(200, R"({"type":"FeatureCollection","features":[]})",
                                       {{"Content-Type", "application/json"}}));
        const std::string host = "127.0.0.1:" + std::to_string(provider.port());
        hosts.scheme = "http";
        hosts.ignHost = hosts.openTopoHost = hosts.swisstopoHost = hosts.spainHost = hosts.austriaHost
            = hosts.terrariumHost = host;
    }
    void serveTiles() { serveTiles(server); }

    // The feature service answers with `names` for their layers, the elevation service with
    // a plateau at 1000 m and the altimetry service with 2000 m for every point.
    void serveNames(const std::vector<velorin::Toponym>& names)
    {
        std::map<std::string, nlohmann::json> layers;
        for (const velorin::Toponym& name : names) {
            const bool orographic = name.kind == velorin::Toponym::Kind::summit || name.kind == velorin::Toponym::Kind::col;
            layers[orographic ? "detail_orographique" : "zone_d_activite_ou_d_interet"].push_back(
                {{"id", name.id}, {"geometry", {{"type", "Point"}, {"coordinates", {name.longitude, name.latitude}}}},
                    {"properties", {{"nature", orographic ? (name.kind == velorin::Toponym::Kind::col ? "Col" : "Sommet")
                                                          : "Refuge"},
                                       {"toponyme", name.name}, {"importance", std::to_string(name.importance)}}}});
        }
        server.route("/wfs/ows", [layers](const httplib::Request& request, httplib::Response& response) {
            const std::string typeName = request.get_param_value("TYPENAMES");
            const auto found = layers.find(typeName.substr(typeName.find(':') + 1));
            response.set_content(
                nlohmann::json{{"features", found == layers.end() ? nlohmann::json::array() : found->second}}.dump(),
                "application/json");
        });
        const std::vector<float> plateau(256 * 256, 1000.0f);
        server.route("/wms-r", LoopbackServer::reply(200,
            std::string(reinterpret_cast<const char*>(plateau.data()), plateau.size() * sizeof(float))));
        server.route("/altimetrie/1.0/calcul/alti/rest/elevation.json",
            [](const httplib::Request& request, httplib::Response& response) {
                const std::string longitudes = request.get_param_value("lon");
                const auto points = std::count(longitudes.begin(), longitudes.end(), '|') + 1;
                response.set_content(nlohmann::json{{"elevations", std::vector<double>(points, 2000)}}.dump(),
                    "application/json");
            });
    }

    // The root window over `model`, shown at `size`; its canvas starts with `arguments`.
    std::unique_ptr<RootView> openWindow(velorin::AppModel& model, QSize size,
        std::vector<std::string> arguments = {"velorin"})
    {
        velorin::MapCanvasView::Environment canvasEnvironment {std::make_shared<platform::SteadyClock>(),
            mainQueue, readPreferences(), folder / "VelorinGestes.log", std::move(arguments), {}};
        auto window = std::make_unique<RootView>(model, canvasEnvironment);
        window->resize(size);
        window->show();
        return window;
    }

    // The map screen once it has built its canvas, which needs the window's context; none
    // if that never happens.
    MapScreen* waitForMap(RootView& window)
    {
        MapScreen* screen = nullptr;
        const bool built = testing_support::runUntil(*mainQueue, [&] {
            screen = dynamic_cast<MapScreen*>(window.content());
            return screen && screen->container().canvas();
        });
        return built ? screen : nullptr;
    }

    // The map screen once the loopback tiles cover its map; none if that never happens.
    MapScreen* waitForTiledMap(velorin::AppModel& model, RootView& window)
    {
        MapScreen* screen = waitForMap(window);
        if (!screen)
            return nullptr;
        velorin::MapCanvasWidget& map = screen->container().canvasWidget();
        const bool tiled = testing_support::runUntil(*mainQueue, [&] {
            return model.loader()->status().delivered > 0 && drawnShare(map.grabFramebuffer()) > 0.9;
        }, 60);
        return tiled ? screen : nullptr;
    }

    LoopbackServer server;
};

} // namespace

TEST_F(MapWindowTest, TheWindowShowsTheMapWithItsOverlaysOnceTilesArrive)
{
    serveTiles();
    auto& model = makeModel();
    // Innsbruck: elevations come from the terrain tiles.
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "47.26,11.39,12"});
    RootView& window = *shown;
    model.start();

    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen) << "the map screen builds its canvas once the window's context exists";
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    window.activateWindow();
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return map.hasFocus(); }, 5)) << "keys go to the map";

    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return model.loader()->status().delivered > 0 && drawnShare(map.grabFramebuffer()) > 0.9;
    }, 60)) << "tiles from the loopback server cover the map; delivered " << model.loader()->status().delivered;

    const QImage shot = window.grab().toImage();
    const std::filesystem::path file = folder / "velorin-window.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    EXPECT_GT(std::filesystem::file_size(file), 0u);
    EXPECT_GT(drawnShare(shot), 0.9) << "the screenshot shows the map, " << file;

    EXPECT_EQ(screen->container().canvas()->renderer().basemap, model.basemap()) << "the model's basemap is drawn";
    EXPECT_FALSE(screen->container().canvas()->renderer().userLocation) << "no position was known";
    const int bar = window.menuBar()->height();
    EXPECT_GT(bar, 0);
    EXPECT_EQ(map.mapTo(&window, QPoint(0, 0)), QPoint(0, bar)) << "the map starts below the menu bar";
    EXPECT_EQ(map.size(), window.size() - QSize(0, bar)) << "the map fills the rest of the window";
    const QRect inside = window.rect().adjusted(0, bar, 0, 0);
    const std::vector<QWidget*> overlays {&screen->compassPad(), &screen->attributionColumn(),
        &screen->attributionColumn().scaleBar(), &screen->toolbar(), &screen->mapPalette()};
    for (QWidget* overlay : overlays) {
        EXPECT_TRUE(overlay->isVisible());
        const QRect placed(overlay->mapTo(&window, QPoint(0, 0)), overlay->size());
        EXPECT_FALSE(placed.isEmpty());
        EXPECT_TRUE(inside.contains(placed)) << overlay->metaObject()->className();
    }
    EXPECT_EQ(screen->attributionColumn().mapTo(&window, QPoint(0, 0)).x(), MapScreen::kEdgePaddingPoints)
        << "the credit line stands at the leading edge";
    EXPECT_EQ(screen->compassPad().mapTo(&window, QPoint(0, 0)).x(), MapScreen::kEdgePaddingPoints);
    const QRect palette(screen->mapPalette().mapTo(&window, QPoint(0, 0)), screen->mapPalette().size());
    EXPECT_EQ(window.width() - 1 - palette.right(), MapScreen::kEdgePaddingPoints) << "the palette at the trailing edge";
    const QRect toolbar(screen->toolbar().mapTo(&window, QPoint(0, 0)), screen->toolbar().size());
    EXPECT_NEAR(toolbar.center().x(), window.width() / 2, 1) << "the toolbar centred at the bottom";
    EXPECT_EQ(window.height() - 1 - toolbar.bottom(), MapScreen::kEdgePaddingPoints);
}

TEST_F(MapWindowTest, ThePalettesSaveButtonKeepsThePictureOfTheMapAndSaysSo)
{
    serveTiles();
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "47.26,11.39,12"});
    RootView& window = *shown;
    model.start();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return model.loader()->status().delivered > 0 && drawnShare(map.grabFramebuffer()) > 0.9;
    }, 60));

    auto* save = screen->mapPalette().findChild<QAbstractButton*>("saveView");
    ASSERT_TRUE(save);
    QTest::mouseClick(save, Qt::LeftButton);
    ASSERT_EQ(model.captures().views().size(), 1u);
    const velorin::SavedView& view = model.captures().views().front();
    const auto folder = model.captures().photoFile(view).parent_path();
    for (const char* file : {"photo.jpg", "thumb.jpg", "meta.json"})
        EXPECT_TRUE(std::filesystem::exists(folder / file)) << file;
    const auto photo = velorin::CaptureFile {folder / "photo.jpg"}.contents();
    const auto image = platform::decodeImage(photo);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, map.grabFramebuffer().width());
    EXPECT_GT(drawnShare(QImage(reinterpret_cast<const uchar*>(image->pixels.data()), image->width, image->height,
                  QImage::Format_RGBA8888)), 0.9) << "the picture shows the map";
    EXPECT_EQ(view.pose.zoom, screen->container().canvas()->camera().zoom);

    auto* notice = screen->findChild<velorin::CaptureNotice*>("captureNotice");
    ASSERT_TRUE(notice);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return notice->transition().progress() >= 1; }, 5));
    EXPECT_EQ(notice->text().text(), "Vue enregistrée");
    const QImage shot = window.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-view-saved.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "the notice of a saved view: " << file.string() << "\n";
}

TEST_F(MapWindowTest, AMapOpenedAfterTheFirstFixShowsTheWalkerAndCentresOnThem)
{
    serveTiles();
    auto& model = makeModel();
    const platform::LocationFix fix = walkerFix(47.26, 11.39, 574);
    locateWalker(fix);
    ASSERT_TRUE(model.location().location());
    model.start();

    const auto shown = openWindow(model, QSize(800, 600));
    RootView& window = *shown;
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    const auto canvas = screen->container().canvas();
    ASSERT_TRUE(canvas->renderer().userLocation);
    const velorin::WorldPoint aimed = velorin::WorldPoint::fromLatitudeLongitude(fix.latitude, fix.longitude);
    EXPECT_NEAR(canvas->camera().center.x, aimed.x, 1e-9);
    EXPECT_NEAR(canvas->camera().center.y, aimed.y, 1e-9);
}

TEST_F(MapWindowTest, AStoredViewDeeperThanTheFirstBasemapsTilesReopensAtItsZoomWithItsScale)
{
    // Plan IGN goes down to zoom 19; the map's first basemap, before the user's settings
    // reach it, stops at 17.5.
    storePreferences(R"({"Velorin.basemap": "planIGN", "Velorin.lastCamera": [45.9, 6.87, 18.5]})");
    serveTiles();
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(800, 600));
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    const auto canvas = screen->container().canvas();
    EXPECT_EQ(canvas->renderer().basemap, velorin::Basemap::planIGN);
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, 18.5);

    const velorin::WorldPoint centre = velorin::WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    EXPECT_DOUBLE_EQ(model.zoom(), 18.5) << "the model hears of the view the map shows";
    EXPECT_DOUBLE_EQ(model.metersPerPixel(), centre.metersPerPixel(18.5));
    const auto& scale = screen->attributionColumn().scaleBar().current();
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale, velorin::ScaleBar::scale(centre.metersPerPixel(18.5), screen->devicePixelRatioF()))
        << "the scale bar measures the ground shown";
}

TEST_F(MapWindowTest, ASnapshotRunWithADisplayWritesTheWindowsViewAtItsPixelSize)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    const std::filesystem::path file = folder / "snapshot.jpg";
    std::optional<int> status;
    velorin::MapCanvasView::Environment canvasEnvironment {clock, mainQueue, readPreferences(),
        folder / "VelorinGestes.log", {"velorin", "-startAt", "47.26,11.39,12", "-snapshotTo", file.string()},
        [&status](int code) { status = code; }};
    RootView window(model, canvasEnvironment);
    window.resize(900, 560);
    window.show();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return model.loader()->status().delivered > 0 && drawnShare(map.grabFramebuffer()) > 0.9;
    }, 60)) << "tiles from the loopback server cover the map";

    clock->advance(velorin::MapCanvasView::kSnapshotDelaySeconds);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return status.has_value(); }, 20));
    EXPECT_EQ(*status, 0);
    const QImage written(QString::fromStdString(file.string()), "JPG");
    const QSize pixels = screen->container().canvasWidget().size() * screen->devicePixelRatioF();
    EXPECT_EQ(written.size(), pixels) << "the view the window shows, not a fixed size";
}

TEST_F(MapWindowTest, ThePaletteAndToolbarSlideAwayWithTheControlsAndComeBackToTheirPlaces)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(800, 600));
    RootView& window = *shown;
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    QWidget& palette = screen->mapPalette();
    QWidget& toolbar = screen->toolbar();
    const QRect palettePlace = palette.geometry();
    const QRect toolbarPlace = toolbar.geometry();
    QVariantAnimation& paletteMotion = screen->paletteTransition().animation();
    QVariantAnimation& toolbarMotion = screen->toolbarTransition().animation();

    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model.areControlsVisible());
    EXPECT_TRUE(palette.isVisible() && toolbar.isVisible()) << "leaving, not gone yet";
    paletteMotion.setCurrentTime(paletteMotion.duration() / 2);
    toolbarMotion.setCurrentTime(toolbarMotion.duration() / 2);
    EXPECT_GT(palette.x(), palettePlace.x()) << "towards the trailing edge";
    EXPECT_EQ(palette.y(), palettePlace.y());
    EXPECT_GT(toolbar.y(), toolbarPlace.y()) << "towards the bottom edge";
    EXPECT_EQ(toolbar.x(), toolbarPlace.x());

    paletteMotion.setCurrentTime(paletteMotion.duration());
    toolbarMotion.setCurrentTime(toolbarMotion.duration());
    EXPECT_TRUE(palette.isHidden());
    EXPECT_TRUE(toolbar.isHidden());
    EXPECT_TRUE(screen->topTrailingLayer().testAttribute(Qt::WA_TransparentForMouseEvents))
        << "the map takes the pointer where the palette stood";
    EXPECT_FALSE(screen->bottomLayer().mask().contains(toolbarPlace.center()));

    model.revealControls();
    paletteMotion.setCurrentTime(paletteMotion.duration());
    toolbarMotion.setCurrentTime(toolbarMotion.duration());
    EXPECT_EQ(palette.geometry(), palettePlace);
    EXPECT_EQ(toolbar.geometry(), toolbarPlace);
    EXPECT_TRUE(screen->bottomLayer().mask().contains(toolbarPlace.center()));
}

TEST_F(MapWindowTest, TheIdleMapFillsByItselfOnceItsStoppedProviderAnswersAgain)
{
    // A provider that was there and stopped: its port refuses every connection.
    int port = 0;
    {
        LoopbackServer gone;
        port = gone.port();
    }
    hosts.scheme = "http";
    hosts.ignHost = hosts.openTopoHost = hosts.swisstopoHost = hosts.spainHost = hosts.austriaHost = hosts.terrariumHost
        = "127.0.0.1:" + std::to_string(port);
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(800, 600), {"velorin", "-startAt", "47.26,11.39,12"});
    model.start();
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return model.hasLoadingProblem(); }, 30))
        << "the refused tiles show a problem";
    EXPECT_EQ(model.loadingProblemMessage(), "Serveur injoignable");
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return !map.isDisplayLinkRunning(); }, 30))
        << "the map comes to rest";
    EXPECT_LT(drawnShare(map.grabFramebuffer()), 0.1) << "nothing to draw yet";

    LoopbackServer back(port);
    serveTiles(back);
    // Nobody touches the map: the loader asks again when the hold-off ends, and the status
    // poll follows.
    advance(velorin::TileLoader::kTransferIdleTimeoutSeconds / 2 + velorin::AppModel::kStatusPollIntervalSeconds);
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return drawnShare(map.grabFramebuffer()) > 0.9 && !model.hasLoadingProblem();
    }, 60)) << "delivered " << model.loader()->status().delivered << ", problem " << model.hasLoadingProblem();
    EXPECT_GT(back.requestCount(), 0);
    this->model.reset();
}

TEST_F(MapWindowTest, AViewMovedAndZoomedJustBeforeClosingIsTheOneTheNextStartOpens)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    auto first = openWindow(model, QSize(800, 600));
    MapScreen* screen = waitForMap(*first);
    ASSERT_TRUE(screen);
    auto canvas = screen->container().canvas();
    velorin::Camera camera = canvas->camera();
    camera.center = velorin::WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    camera.zoom = 11;
    canvas->applyCamera(camera, true);
    // Half a second later, well within the second that stored views wait for.
    camera.zoom = 12.5;
    canvas->applyCamera(camera, true);
    first->close();
    first.reset();

    auto& next = makeModel();
    next.start();
    auto second = openWindow(next, QSize(800, 600));
    MapScreen* reopened = waitForMap(*second);
    ASSERT_TRUE(reopened);
    EXPECT_NEAR(reopened->container().canvas()->camera().zoom, 12.5, 1e-9);
    EXPECT_NEAR(reopened->container().canvas()->camera().center.x, camera.center.x, 1e-9);
}

TEST_F(MapWindowTest, MovingThePointerOverTheMapBringsTheControlsBack)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(800, 600));
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model.areControlsVisible());

    // Moves delivered to the window itself, as the window system would: the X pointer is
    // shared with the other windows of the display.
    QWindow* window = shown->windowHandle();
    ASSERT_TRUE(window);
    QTest::mouseMove(window, QPoint(400, 300));
    QTest::mouseMove(window, QPoint(420, 310));
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return model.areControlsVisible(); }, 5))
        << "the pointer over the map reveals the palette and the toolbar";
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model.areControlsVisible());
    QTest::mouseMove(window, screen->compassPad().mapTo(shown.get(), QPoint(10, 10)));
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return model.areControlsVisible(); }, 5))
        << "and so does the pointer over a control";
}

TEST_F(MapWindowTest, EveryControlTellsWhatItDoesInATooltip)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(1024, 700));
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    std::vector<QWidget*> controls;
    for (QAbstractButton* button : screen->findChildren<QAbstractButton*>())
        if (button->isVisible() && !button->accessibleName().isEmpty())
            controls.push_back(button);
    ASSERT_GE(controls.size(), 15u) << "palette, toolbar and compass pad";
    for (QWidget* control : controls) {
        const QPoint centre = control->rect().center();
        QHelpEvent help(QEvent::ToolTip, centre, control->mapToGlobal(centre));
        QApplication::sendEvent(control, &help);
        EXPECT_TRUE(QToolTip::isVisible()) << control->objectName().toStdString();
        EXPECT_EQ(QToolTip::text(), control->accessibleName()) << control->objectName().toStdString();
        QToolTip::hideText();
    }
    QWidget* dial = screen->compassPad().findChild<velorin::CompassDial*>();
    ASSERT_TRUE(dial);
    EXPECT_TRUE(dial->toolTip().startsWith("Anneau : tourner autour du point visé"));
}

TEST_F(MapWindowTest, AtItsSmallestTheWindowShowsEveryControlWhole)
{
    serveTiles();
    auto& model = makeModel();
    network->report({false, false});
    model.start();
    locateWalker(walkerFix(45.83, 6.86, 2350));
    const auto shown = openWindow(model, QSize(400, 300));
    RootView& window = *shown;
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return window.width() >= window.minimumWidth() && window.minimumWidth() > 400;
    }, 5));
    EXPECT_GE(window.height(), window.minimumHeight()) << "the window is never smaller than its controls need";
    window.resize(window.minimumSize());
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return window.size() == window.minimumSize(); }, 5));
    // Let the pills and the capsule finish coming in.
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.6);

    const std::vector<QWidget*> controls {&screen->compassPad(), &screen->statusIndicator(),
        &screen->attributionColumn(), &screen->toolbar(), &screen->mapPalette()};
    std::vector<QRect> placed;
    for (QWidget* control : controls) {
        ASSERT_TRUE(control->isVisible()) << control->metaObject()->className();
        placed.emplace_back(control->mapTo(&window, QPoint(0, 0)), control->size());
        EXPECT_TRUE(window.rect().contains(placed.back())) << control->metaObject()->className();
    }
    for (std::size_t i = 0; i < placed.size(); ++i)
        for (std::size_t j = i + 1; j < placed.size(); ++j)
            EXPECT_FALSE(placed[i].intersects(placed[j]))
                << controls[i]->metaObject()->className() << " covers " << controls[j]->metaObject()->className();

    const QImage shot = window.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-window-minimum.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "window at its smallest: " << file.string() << " (" << window.width() << " x " << window.height()
              << ")\n";
}

TEST_F(MapWindowTest, ControlFOpensTheSheetSearchReadyForTyping)
{
    serveTiles();
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(800, 600));
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    shown->activateWindow();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return map.hasFocus(); }, 5));

    QTest::keyClick(&map, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return screen->search() && screen->search()->isVisible(); }, 5));
    auto* query = screen->search()->findChild<QLineEdit*>("query");
    ASSERT_TRUE(query);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return QApplication::focusWidget() == query; }, 5))
        << "the focus is in the search field, not on Fermer";
    QTest::keyClicks(QApplication::focusWidget(), "Vercors");
    EXPECT_EQ(query->text(), "Vercors");
}

TEST_F(MapWindowTest, TheWindowMenuOpensTheSheetSearchAndTheOfflineMapsAndQuitsOnControlQ)
{
    serveTiles();
    auto& model = makeModel();
    auto preferences = readPreferences();
    velorin::MapCanvasView::Environment canvasEnvironment {std::make_shared<platform::SteadyClock>(), mainQueue,
        preferences, folder / "VelorinGestes.log", {"velorin"}, {}};
    RootView window(model, canvasEnvironment);
    window.resize(900, 640);
    window.show();
    const auto action = [&](const char* name) { return window.menuBar()->findChild<QAction*>(name); };
    ASSERT_TRUE(action("sheetSearch") && action("offlineMaps") && action("quit"));
    EXPECT_FALSE(action("sheetSearch")->isEnabled()) << "no map yet";
    model.start();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);

    QStringList menus;
    for (QAction* menu : window.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList {"Fichier", "Cartes", "Aide"}));
    EXPECT_EQ(action("sheetSearch")->text(), QStringLiteral("Rechercher une carte TOP25…"));
    EXPECT_EQ(action("sheetSearch")->shortcut(), QKeySequence(QKeySequence::Find));
    EXPECT_EQ(action("offlineMaps")->text(), QStringLiteral("Cartes hors ligne…"));
    EXPECT_EQ(action("offlineMaps")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(action("quit")->text(), QStringLiteral("Quitter"));
    EXPECT_EQ(action("quit")->shortcut(), QKeySequence(QKeySequence::Quit));

    action("sheetSearch")->trigger();
    ASSERT_TRUE(screen->search());
    EXPECT_TRUE(screen->search()->isVisible());
    screen->search()->close();
    action("offlineMaps")->trigger();
    QDialog* offline = nullptr;
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        for (auto* dialog : screen->findChildren<QDialog*>())
            offline = dialog->isVisible() && dialog->windowTitle() == "Hors ligne" ? dialog : offline;
        return offline != nullptr;
    }, 5)) << "the offline maps open from the menu";
    offline->close();

    // Control-Q closes the window as its title bar would, the view stored on the way.
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    window.activateWindow();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return map.hasFocus(); }, 5));
    const velorin::WorldPoint centre = screen->container().canvas()->camera().center;
    preferences->remove(velorin::LastCamera::kKey);
    QApplication::setQuitOnLastWindowClosed(false);
    QTest::keyClick(&map, Qt::Key_Q, Qt::ControlModifier);
    QApplication::setQuitOnLastWindowClosed(true);
    EXPECT_FALSE(window.isVisible());
    const auto stored = velorin::LastCamera::restore(*preferences);
    ASSERT_TRUE(stored) << "quitting stores the view";
    EXPECT_NEAR(stored->latitude, centre.latitude(), 1e-6);
    EXPECT_NEAR(stored->longitude, centre.longitude(), 1e-6);
}

TEST_F(MapWindowTest, AClickWhereAHiddenButtonStandsBringsTheControlsBackAndPressesItAndATiltedStartLightsTheRelief)
{
    serveTiles();
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.15,6.59,13,0,50"});
    RootView& window = *shown;
    model.start();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    auto* toolbar = screen->findChild<velorin::MapToolbar*>();
    auto* palette = screen->findChild<velorin::MapPalette*>();
    ASSERT_TRUE(toolbar && palette);
    auto* relief = toolbar->findChild<velorin::SymbolButton*>("relief");
    ASSERT_TRUE(relief);
    EXPECT_TRUE(model.is3D()) << "the view opened tilted";
    EXPECT_EQ(relief->tint(), velorin::SymbolButton::Tint::accent);
    EXPECT_EQ(relief->accessibleName(), QStringLiteral("Vue de dessus"));

    struct Case {
        const char* name;
        QWidget* control;
        const char* button;
        std::function<bool()> pressed;
    };
    const bool names = model.showsToponyms();
    const Case cases[] = {
        {"the toolbar's settings", toolbar, "settings", [&] { return screen->settings() != nullptr; }},
        {"the palette's place names", palette, "toponyms", [&] { return model.showsToponyms() != names; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        advance(velorin::AppModel::kControlsHideDelaySeconds + 0.1);
        ASSERT_FALSE(model.areControlsVisible());
        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return c.control->isHidden(); }, 5));
        auto* button = c.control->findChild<velorin::SymbolButton*>(c.button);
        ASSERT_TRUE(button);
        const QPoint at = button->mapTo(&window, button->rect().center());
        EXPECT_FALSE(c.pressed());
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        EXPECT_TRUE(model.areControlsVisible());
        EXPECT_TRUE(c.pressed()) << "one click brought the controls and pressed the button";
        if (screen->settings())
            screen->settings()->close();
    }
}

TEST_F(MapWindowTest, TheSavedViewIsThePictureOnScreenItsReliefShadingIncluded)
{
    serveTiles();
    server.route("/elevation-tiles-prod/terrarium/*",
        LoopbackServer::reply(200, rampElevations(), {{"Content-Type", "image/png"}}));
    auto& model = makeModel();
    // Innsbruck, tilted: the slopes come from the terrain tiles and are shaded.
    const auto shown = openWindow(model, QSize(800, 600), {"velorin", "-startAt", "47.26,11.39,13,0,60"});
    model.start();
    MapScreen* screen = waitForTiledMap(model, *shown);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    // The view settles: every tile in and the frames at rest.
    testing_support::runUntil(*mainQueue, [&] {
        return model.loader()->status().pending == 0 && !map.isDisplayLinkRunning();
    }, 30);
    const QImage onScreen = map.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const auto saved = screen->container().canvas()->snapshot(std::nullopt);
    ASSERT_TRUE(saved);
    const QImage picture = QImage(reinterpret_cast<const uchar*>(saved->pixels.data()), saved->width, saved->height,
        saved->width * 4, QImage::Format_RGBA8888).convertToFormat(QImage::Format_RGB32);
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    onScreen.save(QString::fromStdString((folder / "saved-view-screen.png").string()), "PNG");
    picture.save(QString::fromStdString((folder / "saved-view-picture.png").string()), "PNG");
    ASSERT_EQ(picture.size(), onScreen.size());
    // Pixel by pixel, the picture is the screen: the same shading on the same slopes.
    double difference = 0;
    int counted = 0;
    for (int y = 0; y < picture.height(); y += 2) {
        for (int x = 0; x < picture.width(); x += 2) {
            const QColor a = picture.pixelColor(x, y), b = onScreen.pixelColor(x, y);
            difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
            ++counted;
        }
    }
    EXPECT_LT(difference / counted / 3, 2.0) << "mean difference per channel";
}

TEST_F(MapWindowTest, TheMapNamesThePlacesInViewAndTheirCardGoesStraightThere)
{
    using velorin::Toponym;
    const std::vector<Toponym> names {
        {"sommet.1", "Pic de Dormillouse", Toponym::Kind::summit, 45.150, 6.590, 1, std::nullopt},
        {"col.1", "Col des Ayes", Toponym::Kind::col, 45.162, 6.612, 2, std::nullopt},
        {"refuge.1", "Refuge de Chabournéou", Toponym::Kind::refuge, 45.139, 6.566, 2, std::nullopt},
        {"sommet.2", "Tête de la Draye", Toponym::Kind::summit, 45.136, 6.618, 2, std::nullopt},
    };
    serveTiles();
    serveNames(names);
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.15,6.59,14"});
    RootView& window = *shown;
    model.start();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    const auto canvas = screen->container().canvas();
    velorin::ToponymLabelLayer& labels = map.overlayHost().labelLayer();
    velorin::ToponymHoverView& card = map.overlayHost().hoverCard();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return canvas->shownToponyms().size() == names.size() && drawnShare(map.grabFramebuffer()) > 0.9;
    }, 60)) << "names shown: " << canvas->shownToponyms().size();
    EXPECT_EQ(canvas->shownToponyms().front().labelText(), "Pic de Dormillouse 2000 m") << "with its spot height";

    // Every label's marker stands on its place, in its kind's colour, its text dark beside it.
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.3);
    const QImage shot = window.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-names.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "names on the map: " << file.string() << "\n";
    const double ratio = shot.devicePixelRatio();
    const QPoint origin = map.mapTo(&window, QPoint(0, 0));
    for (std::size_t i = 0; i < canvas->shownToponyms().size(); ++i) {
        const Toponym& place = canvas->shownToponyms()[i];
        SCOPED_TRACE(place.name);
        ASSERT_TRUE(labels.isShown(i));
        const QRectF frame = labels.frame(i).translated(origin);
        const velorin::ScreenPoint at = canvas->toponymViewPoint(
            velorin::WorldPoint::fromLatitudeLongitude(place.latitude, place.longitude));
        EXPECT_NEAR(frame.left() + 4.5, at.x + origin.x(), 1e-6);
        const QColor marker = shot.pixelColor(QPointF(QPointF(at.x + origin.x(), at.y + origin.y() + 1) * ratio).toPoint());
        const QColor expected = velorin::ToponymLabelView::markerColor(place.kind);
        EXPECT_LT(std::abs(marker.red() - expected.red()) + std::abs(marker.green() - expected.green())
                + std::abs(marker.blue() - expected.blue()), 60)
            << marker.name().toStdString() << " for " << expected.name().toStdString();
        int dark = 0;
        int counted = 0;
        for (double y = frame.top(); y < frame.bottom(); y += 1)
            for (double x = frame.left() + 12; x < frame.right(); x += 1, ++counted)
                dark += shot.pixelColor(QPointF(QPointF(x, y) * ratio).toPoint()).lightnessF() < 0.25;
        EXPECT_GT(double(dark) / counted, 0.08) << "dark glyphs in the label";
    }
    const QColor away = shot.pixelColor(QPoint(20, 350) * ratio);
    EXPECT_LT(std::abs(away.red() - 200) + std::abs(away.green() - 120) + std::abs(away.blue() - 40), 8)
        << "the map itself away from the names";

    // The pointer over a name opens its card; moving onto the card keeps it.
    QWindow* handle = window.windowHandle();
    ASSERT_TRUE(handle);
    const auto slotOf = [&](const std::string& id) {
        const auto& shownNow = canvas->shownToponyms();
        return std::size_t(std::find_if(shownNow.begin(), shownNow.end(), [&](const Toponym& place) { return place.id == id; })
            - shownNow.begin());
    };
    // Opens the card of a shown name with the pointer; its label's frame in the window.
    const auto hoverName = [&](const std::string& id) {
        const std::size_t slot = slotOf(id);
        EXPECT_LT(slot, canvas->shownToponyms().size()) << id << " is in view";
        const QRectF label = labels.frame(slot).translated(origin);
        QTest::mouseMove(handle, label.center().toPoint());
        EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] {
            return card.isVisible() && canvas->hoveredToponym() && canvas->hoveredToponym()->id == id;
        }, 5)) << "the card of " << id << " opens";
        return label;
    };
    const QRectF colLabel = hoverName("col.1");
    const auto expectedCard = velorin::ToponymHoverCard::beside(
        {colLabel.x() - origin.x(), colLabel.y() - origin.y(), colLabel.width(), colLabel.height()},
        screen->container().canvasWidget().width());
    EXPECT_EQ(card.geometry(), QRectF(expectedCard.frame.x, expectedCard.frame.y, expectedCard.frame.width,
                                   expectedCard.frame.height).toRect());
    QTest::mouseMove(handle, card.mapTo(&window, QPoint(card.width() - 60, card.height() / 2)));
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.2);
    EXPECT_TRUE(card.isVisible()) << "the pointer went onto the card";
    EXPECT_EQ(canvas->hoveredToponym()->id, "col.1");
    const auto cardFile = file.parent_path() / "velorin-names-card.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(cardFile.string()), "PNG"));

    // A click on the card beside its buttons reaches the map: there, on the name, it
    // recentres the map on the place at the same zoom.
    const double zoom = canvas->camera().zoom;
    const QPoint besideButtons = colLabel.center().toPoint();
    ASSERT_FALSE(card.childAt(card.mapFrom(&window, besideButtons)));
    QTest::mouseClick(handle, Qt::LeftButton, {}, besideButtons);
    const velorin::WorldPoint col = velorin::WorldPoint::fromLatitudeLongitude(45.162, 6.612);
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return std::abs(canvas->camera().center.x - col.x) < 1e-9 && std::abs(canvas->camera().center.y - col.y) < 1e-9;
    }, 5)) << "the click went through the card to the name";
    EXPECT_DOUBLE_EQ(canvas->camera().zoom, zoom);

    // "Aller directement à ce lieu" goes to the place at once.
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.3);
    hoverName("sommet.1");
    QToolButton& jump = card.jumpButton();
    EXPECT_EQ(jump.accessibleName(), "Aller directement à ce lieu");
    QTest::mouseClick(handle, Qt::LeftButton, {}, jump.mapTo(&window, jump.rect().center()));
    const velorin::WorldPoint summit = velorin::WorldPoint::fromLatitudeLongitude(45.150, 6.590);
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return std::abs(canvas->camera().center.x - summit.x) < 1e-9 && std::abs(canvas->camera().center.y - summit.y) < 1e-9;
    }, 5)) << "the map went to the summit";
}

TEST_F(MapWindowTest, TheRecordButtonRecordsATrackThatIsStoredAndDrawnEvenWhileTheWindowIsHidden)
{
    serveTiles();
    devicePermission = platform::LocationAuthorization::authorizedWhenInUse;
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.92,6.87,15"});
    RootView& window = *shown;
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    const auto canvas = screen->container().canvas();
    auto* record = screen->toolbar().findChild<QAbstractButton*>("recording");
    ASSERT_TRUE(record);

    QTest::mouseClick(record, Qt::LeftButton);
    QMessageBox* asked = screen->toolbar().startConfirmation();
    ASSERT_TRUE(asked);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return asked->isVisible(); }, 5));
    EXPECT_EQ(asked->text().toStdString(), "Démarrer un trajet");
    QTest::mouseClick(asked->buttons()[1], Qt::LeftButton);
    EXPECT_FALSE(model.tracks().isRecording()) << "Annuler starts nothing";
    QTest::mouseClick(record, Qt::LeftButton);
    ASSERT_TRUE(screen->toolbar().startConfirmation());
    QTest::mouseClick(screen->toolbar().startConfirmation()->buttons()[0], Qt::LeftButton);
    ASSERT_TRUE(model.tracks().isRecording()) << "Démarrer records";
    const std::string id = model.tracks().current()->metadata.id;

    // An arc of 300 m radius walked at 2 m/s, a fix every 10 s.
    const velorin::WorldPoint centre = velorin::WorldPoint::fromLatitudeLongitude(45.92, 6.87);
    const double metersPerUnit = centre.metersPerWorldUnit();
    const auto fixAt = [&](int i) {
        const double angle = i / 15.0;
        const velorin::WorldPoint at {centre.x + 300 * std::sin(angle) / metersPerUnit,
            centre.y - 300 * (1 - std::cos(angle)) / metersPerUnit};
        platform::LocationFix fix = walkerFix(at.latitude(), at.longitude(), 1200 + i);
        fix.timestamp = std::chrono::duration<double>(now.time_since_epoch()).count() + 10.0 * i;
        return fix;
    };
    for (int i = 0; i < 40; ++i) {
        position->deliver({fixAt(i)});
        testing_support::runUntil(*mainQueue, [] { return false; }, 0.02);
    }
    EXPECT_EQ(model.tracks().store().readPoints(id).size(), 40u) << "every kept fix is on disk at once";
    EXPECT_EQ(canvas->renderer().trackPoints, velorin::smoothed(model.tracks().current()->displayPoints(), 2))
        << "the real renderer has the track";
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return screen->recordingPanel().isVisible(); }, 5))
        << "the recording panel stands over the map while the walk records";

    window.hide();
    position->deliver({fixAt(40)});
    EXPECT_EQ(model.tracks().store().readPoints(id).size(), 41u) << "a hidden window goes on recording";
    EXPECT_FALSE(map.isDisplayLinkRunning()) << "but does not draw";
    window.show();
    position->deliver({fixAt(41)});
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return !map.isDisplayLinkRunning() && drawnShare(map.grabFramebuffer()) > 0.9
            && walkedPixels(map.grabFramebuffer()) > 500;
    }, 60)) << "the walked arc is drawn over the map; " << walkedPixels(map.grabFramebuffer()) << " pixels";

    const QImage shot = window.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "recorded-track.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "recorded track: " << file.string() << "\n";

    QTest::mouseClick(record, Qt::LeftButton);
    EXPECT_FALSE(model.tracks().isRecording()) << "a press while recording stops at once";
    EXPECT_FALSE(screen->toolbar().startConfirmation());
    const auto saved = model.tracks().store().readTrack(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->points.size(), 42u);
    EXPECT_EQ(saved->points.back().mode, velorin::TravelMode::walking);
    EXPECT_TRUE(saved->metadata.endedAt);
    EXPECT_TRUE(canvas->renderer().trackPoints.empty()) << "no track left on the map";

    // The library, from the toolbar, lists the walk and opens its detail with its preview.
    auto* tracks = screen->toolbar().findChild<QAbstractButton*>("tracks");
    ASSERT_TRUE(tracks);
    ASSERT_TRUE(tracks->isEnabled());
    QTest::mouseClick(tracks, Qt::LeftButton);
    velorin::TracksView* library = screen->library();
    ASSERT_TRUE(library);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return library->isVisible(); }, 5));
    EXPECT_EQ(library->rowIds(), std::vector<std::string> {id});
    library->openTrack(id);
    ASSERT_TRUE(library->detail());
    auto* preview = library->detail()->findChild<velorin::TrackMapPreview*>();
    ASSERT_TRUE(preview);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return preview->image().has_value(); }, 30))
        << "the preview draws over the loopback tiles";
    if (auto* scroll = library->detail()->findChild<QScrollArea*>())
        scroll->ensureWidgetVisible(preview);
    QApplication::processEvents();
    const auto detailFile = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "recorded-track-detail.png";
    ASSERT_TRUE(library->grab().save(QString::fromStdString(detailFile.string()), "PNG"));
    std::cout << "recorded track's detail: " << detailFile.string() << "\n";
    library->reject();
}

TEST_F(MapWindowTest, AWalkReadFromGpsdIsRecordedFromTheToolbarDrawnOnTheMapAndListedWithItsDistance)
{
    ASSERT_FALSE(testing_support::GpsFake::program().empty()) << "gpsfake (Debian's gpsd-clients) is not installed";
    // 1.2 km north at 2 m/s, a fix every 25 s: 75 sentences, played back in about 2 s.
    std::vector<testing_support::NmeaFix> walk;
    for (int i = 0; i < 25; ++i)
        walk.push_back({25.0 * i, 50.0 * i, 2.0});
    const auto logFile = folder.path() / "walk.nmea";
    std::ofstream(logFile, std::ios::binary) << testing_support::nmeaLog(walk);
    const int port = testing_support::GpsFake::freePort();
    testing_support::GpsFake gpsd(logFile, port, kGpsFakeSentenceSeconds);
    ASSERT_TRUE(gpsd.waitUntilListening(kGpsdStartSeconds));

    serveTiles();
    arguments = {"velorin", "-position", "gpsd:127.0.0.1:" + std::to_string(port)};
    deviceLocation = platform::LocationSourceFactory::make(
        velorin::AppModel::positionSourceChoice(arguments, *readPreferences()), mainQueue);
    const auto logTime = [](double seconds) {
        return platform::SystemTime(std::chrono::duration_cast<platform::SystemTime::duration>(
            std::chrono::duration<double>(testing_support::kNmeaLogStartUnixSeconds + seconds)));
    };
    now = logTime(-5);
    auto& model = makeModel();
    model.start();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.9254,6.87,15"});
    RootView& window = *shown;
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    const auto canvas = screen->container().canvas();
    auto* record = screen->toolbar().findChild<QAbstractButton*>("recording");
    ASSERT_TRUE(record);

    QTest::mouseClick(record, Qt::LeftButton);
    QMessageBox* asked = screen->toolbar().startConfirmation();
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->text().toStdString(), "Démarrer un trajet");
    QTest::mouseClick(asked->buttons()[0], Qt::LeftButton);
    ASSERT_TRUE(model.tracks().isRecording());
    const std::string id = model.tracks().current()->metadata.id;
    // gpsd opens the receiver once the recording watches it; the log plays from then.
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        const auto& failure = model.location().lastFailure();
        return failure && failure->code == platform::LocationError::Code::locationUnknown;
    }, kGpsdStartSeconds)) << "the source reached the daemon's receiver";
    log.expect("Location", "le récepteur de gpsd n'a pas de position");
    gpsd.play();

    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return model.tracks().store().readPoints(id).size() >= walk.size();
    }, kGpsdStartSeconds)) << model.tracks().store().readPoints(id).size() << " points recorded";
    const auto points = model.tracks().store().readPoints(id);
    ASSERT_EQ(points.size(), walk.size()) << "one point for each fix, none twice";
    for (std::size_t i = 0; i < walk.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(points[i].latitude, testing_support::nmeaLatitude(walk[i]), 1e-6);
        EXPECT_NEAR(points[i].longitude, testing_support::kNmeaStartLongitude, 1e-6);
        EXPECT_EQ(points[i].timestamp, logTime(walk[i].seconds));
    }
    EXPECT_EQ(canvas->renderer().trackPoints, velorin::smoothed(model.tracks().current()->displayPoints(), 2))
        << "the renderer has the walk";
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return screen->recordingPanel().isVisible() && !map.isDisplayLinkRunning()
            && drawnShare(map.grabFramebuffer()) > 0.9 && walkedPixels(map.grabFramebuffer()) > 500;
    }, 60)) << "the walk is drawn over the map; " << walkedPixels(map.grabFramebuffer()) << " pixels";
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "recorded-gpsd-walk.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "walk recorded from gpsd: " << file.string() << "\n";

    now = logTime(walk.back().seconds + 5);
    QTest::mouseClick(record, Qt::LeftButton);
    ASSERT_FALSE(model.tracks().isRecording()) << "the red square stops";
    ASSERT_TRUE(model.tracks().store().readTrack(id));
    EXPECT_EQ(model.tracks().store().readTrack(id)->points.size(), walk.size());

    auto* tracks = screen->toolbar().findChild<QAbstractButton*>("tracks");
    ASSERT_TRUE(tracks);
    QTest::mouseClick(tracks, Qt::LeftButton);
    velorin::TracksView* library = screen->library();
    ASSERT_TRUE(library);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return library->isVisible(); }, 5));
    ASSERT_EQ(library->rowIds(), std::vector<std::string> {id});
    ASSERT_GE(library->rowTexts(0).size(), 2u);
    EXPECT_EQ(library->rowTexts(0)[1].toStdString(), "1,20 km");
    library->reject();
}

TEST_F(MapWindowTest, AMapOpenedDuringARecordingDrawsItsTrackAtOnce)
{
    serveTiles();
    devicePermission = platform::LocationAuthorization::authorizedWhenInUse;
    auto& model = makeModel();
    model.start();
    model.toggleRecording();
    for (int i = 0; i < 3; ++i)
        locateWalker(walkerFix(45.92 + 0.001 * i, 6.87, 1200));
    ASSERT_EQ(model.tracks().current()->points.size(), 3u);

    const auto shown = openWindow(model, QSize(800, 600));
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->container().canvas()->renderer().trackPoints,
        velorin::smoothed(model.tracks().current()->displayPoints(), 2));
}

TEST_F(MapWindowTest, AFlightChosenInTheSearchFieldIsFollowedByItsWaveBannerAndStopButtonToItsTexturedArrival)
{
    // Providers 20 ms away: the log tells how long each flight took to move after the click.
    serveTiles(server, solidImage(QColor(200, 120, 40), "JPG"), 0.02);
    // On a loaded machine the trees of a view can take longer than a frame waits for them.
    log.expect("Canvas", "images prises sans tout ce qu'elles montrent");
    // A summit 3 km north of the view's centre, in the Austrian place database.
    const velorin::WorldPoint centre = velorin::WorldPoint::fromLatitudeLongitude(47.26, 11.39);
    const velorin::WorldPoint summit {centre.x, centre.y - 3000 / centre.metersPerWorldUnit()};
    testing_support::PlaceRow hafelekar;
    hafelekar.id = 1;
    hafelekar.name = "Hafelekar";
    hafelekar.latitude = summit.latitude();
    hafelekar.longitude = summit.longitude();
    std::filesystem::create_directories(folders.places());
    testing_support::writePlaceDatabase(folders.places() / "places-at.sqlite", {hafelekar});
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(800, 560), {"velorin", "-startAt", "47.26,11.39,13,0,60"});
    model.start();
    MapScreen* screen = waitForTiledMap(model, *shown);
    ASSERT_TRUE(screen);
    RootView& window = *shown;
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    auto canvas = screen->container().canvas();
    auto* stopSquare = screen->mapPalette().findChild<velorin::SymbolButton*>("flyover");
    ASSERT_TRUE(stopSquare);
    velorin::FlightWave& wave = screen->flightWave();

    // "Y aller" on the place's row, through the real map.
    velorin::PlaceSearchField& field = screen->placeSearch();
    const auto flyFromTheField = [&](const char* operation) {
        field.setQuery("hafelekar");
        const auto rows = field.suggestions().findChildren<velorin::PlaceSuggestionRow*>();
        ASSERT_EQ(rows.size(), 1) << "the place database is searched";
        QAbstractButton* go = nullptr;
        for (auto* button : rows.front()->actions().findChildren<QAbstractButton*>())
            if (button->accessibleName() == QString::fromUtf8(operation))
                go = button;
        ASSERT_TRUE(go);
        ASSERT_TRUE(go->isEnabled()) << "the map flies";
        go->click();
        ASSERT_TRUE(canvas->flight()) << "the flight started";
        EXPECT_TRUE(model.flight());
        EXPECT_TRUE(screen->flightBannerTransition().isShown());
        EXPECT_EQ(stopSquare->symbol(), "stop.fill");
    };
    const auto expectOver = [&](const char* how) {
        EXPECT_FALSE(canvas->flight()) << how;
        EXPECT_FALSE(model.flight()) << how;
        EXPECT_FALSE(screen->flightBannerTransition().isShown()) << "the banner leaves, " << how;
        EXPECT_EQ(stopSquare->symbol(), "play.fill") << "the stop square goes out, " << how;
    };

    // While it prepares, the pointer over the wave's padding opens the choices, which stay
    // open on the way down to them; "Aller directement" lands at once. Elevations held back
    // until then keep this one preparing.
    const auto holding = std::make_shared<std::atomic<bool>>(true);
    const auto held = [holding](LoopbackServer::Handler then) {
        return [holding, then](const httplib::Request& request, httplib::Response& response) {
            for (int waited = 0; *holding && waited < 1000; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            then(request, response);
        };
    };
    server.route("/elevation-tiles-prod/terrarium/*",
        held(LoopbackServer::reply(200, solidImage(QColor(131, 232, 0), "PNG"), {{"Content-Type", "image/png"}})));
    flyFromTheField("Y aller");
    ASSERT_TRUE(model.flyoverProgress()) << "it prepares";
    const velorin::Flight flight = *canvas->flight();
    const auto arrival = canvas->applyFlightFrame(flight, flight.duration);
    ASSERT_TRUE(arrival);
    QTest::mouseMove(&window, wave.mapTo(&window, QPoint(3, wave.height() / 2)));
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return wave.choices().isVisible(); }, 5))
        << "the wave's padding takes the pointer";
    QTest::mouseMove(&window, wave.skipButton().mapTo(&window, wave.skipButton().rect().center()));
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.2);
    ASSERT_TRUE(wave.choices().isVisible()) << "the pointer reached the choices";
    QTest::mouseClick(&wave.skipButton(), Qt::LeftButton);
    expectOver("after \"Aller directement\"");
    EXPECT_NEAR(canvas->camera().center.x, arrival->center.x, 1e-9) << "it landed where the approach ends";
    EXPECT_NEAR(canvas->camera().center.y, arrival->center.y, 1e-9);
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.3);
    EXPECT_FALSE(wave.choices().isVisible());
    serveTiles(server, solidImage(QColor(200, 120, 40), "JPG"), 0.02);
    *holding = false;

    // A tour from the field, once the place's trees and tiles are in, moves, and the stop
    // square ends it. The bounds leave room for a sanitizer build, where the frames are made
    // slower than the flight and a longer lead is prepared first.
    testing_support::runUntil(*mainQueue, [] { return false; }, 3);
    flyFromTheField("En faire le tour");
    EXPECT_EQ(canvas->flight()->kind, velorin::Flight::Kind::orbit);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return canvas->flight() && !model.flyoverProgress(); }, 300))
        << "the tour moves";
    QTest::mouseClick(stopSquare, Qt::LeftButton);
    expectOver("once stopped");

    // Flown to its end, a landing holds its arrival, and the controls let it go.
    flyFromTheField("Y aller");
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return !canvas->flight() && canvas->arrivalFrame(); }, 300))
        << "the flight reaches its arrival";
    expectOver("once it has landed");
    EXPECT_EQ(canvas->flightRasterScale(), 1);
    const QImage shot = map.grabFramebuffer();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "flight-arrival.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    EXPECT_GT(drawnShare(shot), 0.5) << "textured ground at the arrival, " << file;
    for (const platform::LogEntry& entry : log.entries()) {
        if (entry.message.find("en mouvement") != std::string::npos)
            std::cout << entry.message << "\n";
    }
}

TEST_F(MapWindowTest, AShortFlyoverFetchesItsTilesThenLeavesFliesAndEnds)
{
    serveTiles(server, griddedImage());
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(800, 560), {"velorin", "-startAt", "47.26,11.39,13,0,60"});
    model.start();
    MapScreen* screen = waitForTiledMap(model, *shown);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();

    auto canvas = screen->container().canvas();
    int ended = 0;
    canvas->onFlyoverEnded = [&] { ++ended; };
    // A walk of 400 m northwards from the centre of the view.
    const velorin::WorldPoint start = canvas->camera().center;
    std::vector<velorin::WorldPoint> walk;
    for (int metres = 0; metres <= 400; metres += 50)
        walk.push_back({start.x, start.y - metres / start.metersPerWorldUnit()});
    std::vector<velorin::TrackDisplayPoint> track;
    for (const velorin::WorldPoint& point : walk)
        track.push_back({point, velorin::TravelMode::walking});
    canvas->setTrack(track, {});
    ASSERT_TRUE(canvas->startFlyover(walk));
    EXPECT_TRUE(canvas->flyover()->preparing) << "its tiles are fetched first";
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return canvas->flyover() && canvas->flyover()->departed && canvas->flyover()->travelled > 80;
    }, 90)) << "it leaves and moves";

    const QImage shot = map.grabFramebuffer();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "flyover-mid-flight.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    EXPECT_GT(drawnShare(shot), 0.5) << "textured ground under the flyover, " << file;

    canvas->seekFlyover(0.9);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return ended == 1; }, 30)) << "and it ends";
    EXPECT_FALSE(canvas->flyover());
    EXPECT_EQ(canvas->camera().focalLength, canvas->userFocalLength());
}

TEST_F(MapWindowTest, ASavedTrackIsFlownFromThePalettePausedAndStoppedWhileAShortOneStaysIdle)
{
    serveTiles(server, griddedImage());
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(900, 640), {"velorin", "-startAt", "47.26,11.39,13,0,60"});
    model.start();
    MapScreen* screen = waitForTiledMap(model, *shown);
    ASSERT_TRUE(screen);
    auto canvas = screen->container().canvas();

    // Saved walks northwards from the centre of the view, a point every `step` metres.
    const velorin::WorldPoint start = canvas->camera().center;
    const auto saveWalk = [&](const std::string& name, double meters, double step) {
        auto& store = model.tracks().store();
        velorin::Track track;
        track.metadata = store.create(name, now);
        for (int i = 0; i * step <= meters; ++i) {
            const velorin::WorldPoint at {start.x, start.y - i * step / start.metersPerWorldUnit()};
            track.points.push_back({at.latitude(), at.longitude(), 1000, now + std::chrono::minutes(i), 10, {}});
        }
        store.writePoints(track.points, track.metadata.id);
        store.finish(track.metadata.id, now + std::chrono::hours(1));
        return track;
    };
    auto* play = screen->mapPalette().findChild<velorin::SymbolButton*>("flyover");
    ASSERT_TRUE(play);
    model.openTrack(saveWalk("Hafelekar", 400, 50));
    EXPECT_EQ(play->accessibleName(), "Survol 3D du trajet");
    QTest::mouseClick(play, Qt::LeftButton);
    ASSERT_TRUE(model.isFlyingOver());
    ASSERT_TRUE(canvas->flyover());
    EXPECT_FALSE(screen->topLeadingLayer().isVisible());
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return canvas->flyover() && canvas->flyover()->departed && canvas->flyover()->travelled > 80
            && model.flyoverPosition().total > 0;
    }, 90)) << "it leaves and reports where it is";
    EXPECT_TRUE(screen->flyoverSliderTransition().isShown());
    EXPECT_TRUE(screen->flyoverControlBarTransition().isShown());

    auto& bar = screen->flyoverControlBar();
    QTest::mouseClick(bar.findChild<velorin::SymbolButton*>("pause"), Qt::LeftButton);
    EXPECT_TRUE(model.isFlyoverPaused());
    EXPECT_TRUE(canvas->flyover()->paused);
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.5);
    const QImage shot = shown->grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "flyover-paused-window.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG"));
    std::cout << "paused flyover: " << file.string() << "\n";

    QTest::mouseClick(bar.findChild<velorin::TitledSymbolButton*>("stop"), Qt::LeftButton);
    EXPECT_FALSE(model.isFlyingOver()) << "the canvas reported the end";
    EXPECT_FALSE(model.isFlyoverPaused());
    EXPECT_FALSE(canvas->flyover());
    EXPECT_FALSE(screen->flyoverControlBarTransition().isShown());
    EXPECT_TRUE(screen->topLeadingLayer().isVisible());

    // 30 m of walk is no flyover: nothing runs, and nothing stays up waiting for its end.
    model.openTrack(saveWalk("Arrêt", 30, 15));
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_FALSE(model.isFlyingOver());
    EXPECT_FALSE(canvas->flyover());
    EXPECT_FALSE(screen->flyoverControlBarTransition().isShown());
    EXPECT_TRUE(screen->topLeadingLayer().isVisible());
}

TEST_F(MapWindowTest, PinsChipsLibraryGroupsTheFlyoverDotAndTheCameraReadoutStandOverTheMap)
{
    storePreferences(R"({"Velorin.cameraInfo": true})");
    serveTiles(server, griddedImage());
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "47.26,11.39,14"});
    RootView& window = *shown;
    model.start();
    MapScreen* screen = waitForMap(window);
    ASSERT_TRUE(screen);
    velorin::MapCanvasWidget& map = screen->container().canvasWidget();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return model.loader()->status().delivered > 0 && drawnShare(map.grabFramebuffer()) > 0.9;
    }, 60));
    auto canvas = screen->container().canvas();
    const auto at = [&](double x, double y) {
        return canvas->camera().worldPoint({x * map.devicePixelRatioF(), y * map.devicePixelRatioF()});
    };
    const platform::SystemTime noon {std::chrono::hours(24 * 20000 + 10)};
    velorin::TrackPause pause;
    pause.latitude = at(520, 420).latitude();
    pause.longitude = at(520, 420).longitude();
    pause.start = noon;
    pause.end = noon + std::chrono::minutes(25);
    canvas->setTrack({{at(420, 450), velorin::TravelMode::walking}, {at(640, 380), velorin::TravelMode::walking}}, {pause});
    canvas->setPhotos({{"a.jpg", noon, at(450, 380)}, {"b.jpg", noon, at(600, 460)}});
    std::vector<velorin::TrackPhoto> library {{"b.jpg", noon, at(600, 460)}, {"alone.jpg", noon, at(300, 560)}};
    for (int i = 0; i < 12; ++i)
        library.push_back({"group" + std::to_string(i) + ".jpg", noon, at(760 + i, 300 + i)});
    canvas->setLibraryPhotos(library);
    testing_support::runUntil(*mainQueue, [] { return false; }, 0.3);

    velorin::MarkerOverlays& markers = map.overlayHost().markers();
    const auto shownAt = [&](int marker, double x, double y) {
        QWidget* view = markers.view(marker);
        ASSERT_TRUE(view);
        EXPECT_TRUE(view->isVisible());
        EXPECT_NEAR(QRectF(view->geometry()).center().x(), x, 1);
        EXPECT_NEAR(QRectF(view->geometry()).center().y(), y, 1);
    };
    ASSERT_EQ(canvas->photoPins().size(), 2u);
    shownAt(canvas->photoPins()[0], 450, 380);
    shownAt(canvas->pauseChips().at(0), 520, 420);
    ASSERT_EQ(canvas->libraryGroups().size(), 2u) << "b is the track's photo";
    shownAt(canvas->libraryPins().at("group0.jpg"), 760, 300);

    CameraInfoPanel& panel = screen->cameraInfoPanel();
    ASSERT_TRUE(panel.isVisible()) << "the preference is on";
    EXPECT_TRUE(panel.showsReadout());
    const QRect pad(screen->compassPad().mapTo(&window, QPoint(0, 0)), screen->compassPad().size());
    const QRect readout(panel.mapTo(&window, QPoint(0, 0)), panel.size());
    EXPECT_GT(readout.top(), pad.bottom()) << "under the compass pad";
    EXPECT_EQ(readout.left(), pad.left());
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-markers-window.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(file.string()), "PNG"));

    std::vector<velorin::WorldPoint> walk;
    for (int metres = 0; metres <= 400; metres += 50)
        walk.push_back({canvas->camera().center.x, canvas->camera().center.y - metres / canvas->camera().center.metersPerWorldUnit()});
    ASSERT_TRUE(canvas->startFlyover(walk));
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        return canvas->flyoverDot() && markers.view(*canvas->flyoverDot())->isVisible() && canvas->libraryPins().empty();
    }, 30)) << "the dot shows and the library pins leave for the flyover";
    const auto flying = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-flyover-dot.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(flying.string()), "PNG"));

    model.setShowsCameraInfo(false);
    EXPECT_FALSE(panel.isVisible()) << "the panel follows the preference";
}

TEST_F(MapWindowTest, TheSettingsOpenFromTheToolbarAndTheDiagnosticsFromTheProblemPillOrAtLaunch)
{
    // Every provider down: the status indicator soon shows the problem.
    hosts.scheme = "http";
    hosts.ignHost = hosts.openTopoHost = hosts.swisstopoHost = hosts.spainHost = hosts.austriaHost
        = hosts.terrariumHost = "127.0.0.1:9";
    // The place names of the view cannot come either.
    log.expect("Toponyms", "cellule");
    {
        auto& model = makeModel();
        model.start();
        const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.92,6.87,13"});
        MapScreen* screen = waitForMap(*shown);
        ASSERT_TRUE(screen);

        auto* settings = screen->toolbar().findChild<QAbstractButton*>("settings");
        ASSERT_TRUE(settings && settings->isEnabled());
        QTest::mouseClick(settings, Qt::LeftButton);
        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return screen->settings() && screen->settings()->isVisible(); }, 5));
        EXPECT_EQ(screen->settings()->windowTitle(), QStringLiteral("Réglages"));
        screen->settings()->close();

        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return model.hasLoadingProblem(); }, 30))
            << "the refused connections make a problem";
        auto* pill = screen->statusIndicator().findChild<QAbstractButton*>("problemPill");
        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return pill && pill->isVisible(); }, 5));
        QTest::mouseClick(pill, Qt::LeftButton);
        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return screen->diagnostics() && screen->diagnostics()->isVisible(); }, 5));
        EXPECT_EQ(screen->diagnostics()->windowTitle(), QStringLiteral("État du chargement"));
        screen->diagnostics()->close();
    }

    // The window goes before the model it shows, and a new model comes with a new window.
    auto& again = makeModel();
    again.start();
    const auto launched = openWindow(again, QSize(1024, 700), {"velorin", "-showDiagnostics"});
    MapScreen* next = waitForMap(*launched);
    ASSERT_TRUE(next);
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return next->diagnostics() && next->diagnostics()->isVisible(); }, 5))
        << "-showDiagnostics opens the sheet with the window";
}

TEST_F(MapWindowTest, TheAccountOpensFromTheToolbarAndAtLaunch)
{
    serveTiles();
    {
        auto& model = makeModel();
        model.start();
        const auto shown = openWindow(model, QSize(1024, 700));
        MapScreen* screen = waitForMap(*shown);
        ASSERT_TRUE(screen);
        auto* account = screen->toolbar().findChild<QAbstractButton*>("account");
        ASSERT_TRUE(account && account->isEnabled());
        QTest::mouseClick(account, Qt::LeftButton);
        ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return screen->account() && screen->account()->isVisible(); }, 5));
        EXPECT_EQ(screen->account()->windowTitle(), QStringLiteral("Mon compte"));
        QTest::mouseClick(account, Qt::LeftButton);
        EXPECT_EQ(screen->findChildren<velorin::AccountView*>().size(), 1u) << "one at a time";
    }
    // The first window goes with its model, before the next model starts.
    auto& again = makeModel();
    again.start();
    const auto launched = openWindow(again, QSize(1024, 700), {"velorin", "-showAccount"});
    MapScreen* next = waitForMap(*launched);
    ASSERT_TRUE(next);
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return next->account() && next->account()->isVisible(); }, 5))
        << "-showAccount opens the sheet with the window";
}

TEST_F(MapWindowTest, ThePalettesGlobeShowsTheWorldMapUnderTheControls)
{
    serveTiles();
    hosts.osmTileHost = hosts.ignHost;
    auto& model = makeModel();
    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "45.92,6.87,13"});
    model.start();
    MapScreen* screen = waitForMap(*shown);
    ASSERT_TRUE(screen);

    auto* globe = screen->mapPalette().findChild<QWidget*>("apple");
    ASSERT_TRUE(globe);
    QTest::mouseClick(globe, Qt::LeftButton);
    EXPECT_EQ(model.basemap(), velorin::Basemap::applePlan);
    const auto canvas = screen->container().canvas();
    ASSERT_TRUE(canvas->isAppleLayerShown());
    auto* world = screen->container().canvasWidget().findChild<platform::QtTileMapView*>();
    ASSERT_TRUE(world);
    EXPECT_TRUE(world->isVisible());
    EXPECT_EQ(world->size(), screen->container().canvasWidget().size());
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] {
        const auto requests = server.requests();
        return world->loadedTileCount() >= world->shownTiles().size()
            && std::any_of(requests.begin(), requests.end(), [](const auto& request) { return request.path.starts_with("/13/"); });
    }, 30)) << "the world map's tiles come from the plan's server";
    EXPECT_NEAR(canvas->camera().bearing, 0, 1e-9);
    EXPECT_NEAR(canvas->camera().center.latitude(), 45.92, 1e-6);

    const QImage shot = shown->grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "world-map-window.png";
    EXPECT_TRUE(shot.save(QString::fromStdString(file.string()), "PNG")) << file;
    // The world map is the lowest of the map's children: the controls stay over it.
    EXPECT_TRUE(screen->mapPalette().isVisible());
    EXPECT_EQ(screen->container().canvasWidget().children().indexOf(world), 0);
}

TEST_F(MapWindowTest, AFlyoverPhotoFloatsOverTheMapAndOpensInTheViewerOverTheWindow)
{
    const testing_support::LocalTimeZone france(testing_support::LocalTimeZone::kFrance);
    serveTiles();
    auto& model = makeModel();
    // A mountain under a blue sky, over a green valley.
    platform::Image picture {800, 600, std::vector<std::byte>(800 * 600 * 4)};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            std::byte* pixel = picture.pixels.data() + (std::size_t(y) * 800 + std::size_t(x)) * 4;
            const bool mountain = y > 150 + std::abs(x - 400) * 0.9;
            const bool valley = y > 470;
            const int r = valley ? 60 : mountain ? 235 : 70 + y / 6;
            const int g = valley ? 140 : mountain ? 235 : 130 + y / 6;
            const int b = valley ? 60 : mountain ? 240 : 230;
            pixel[0] = std::byte(r), pixel[1] = std::byte(g), pixel[2] = std::byte(b), pixel[3] = std::byte(255);
        }
    }
    const auto jpeg = platform::encodeJpeg(picture, 0.9);
    ASSERT_TRUE(jpeg);
    const auto pictures = model.photoLibrary().pictures();
    std::filesystem::create_directories(pictures / "2024");
    std::ofstream(pictures / "2024" / "aiguille.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg->data()), std::streamsize(jpeg->size()));

    const auto shown = openWindow(model, QSize(1024, 700), {"velorin", "-startAt", "47.26,11.39,12"});
    RootView& window = *shown;
    model.start();
    MapScreen* screen = waitForTiledMap(model, window);
    ASSERT_TRUE(screen);

    model.setTrackPhotos({{"2024/aiguille.jpg", *platform::parseIso8601("2024-05-01T08:05:00Z"), {}}});
    model.showFlyoverPhoto(0);
    velorin::FlyoverPhotoThumbnail& thumbnail = screen->flyoverPhoto();
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return !thumbnail.image().isNull(); }, 10));
    EXPECT_EQ(thumbnail.frameSize(), QSizeF(170, 127.5));
    const QRect placed(thumbnail.mapTo(screen, QPoint()), thumbnail.size());
    EXPECT_TRUE(screen->rect().contains(placed));
    EXPECT_LT(placed.center().x(), screen->width() / 2) << "at the leading side";
    const QRect palette(screen->mapPalette().mapTo(screen, QPoint()), screen->mapPalette().size());
    EXPECT_FALSE(placed.intersects(palette)) << "clear of the palette";
    const auto thumbnailShot = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-flyover-photo.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(thumbnailShot.string()), "PNG"));
    std::cout << "the flyover photo over the map: " << thumbnailShot.string() << "\n";

    QTest::mouseClick(&thumbnail, Qt::LeftButton);
    velorin::PhotoViewer* viewer = screen->photoViewer();
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(testing_support::runUntil(*mainQueue, [&] { return !viewer->page().image().isNull(); }, 10));
    EXPECT_EQ(viewer->geometry(), screen->rect()) << "over the whole map screen";
    window.activateWindow();
    EXPECT_TRUE(testing_support::runUntil(*mainQueue, [&] { return viewer->hasFocus(); }, 5)) << "the keys page";
    const auto viewerShot = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "velorin-photo-viewer.png";
    ASSERT_TRUE(window.grab().toImage().save(QString::fromStdString(viewerShot.string()), "PNG"));
    std::cout << "the photo viewer over the window: " << viewerShot.string() << "\n";
}
