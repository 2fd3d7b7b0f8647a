#include "library/TrackMapPreview.h"

#include "app/tests/AppModelFixture.h"
#include "app/tests/LoopbackMaps.h"
#include "testing/LoopbackServer.h"
#include "testing/TestApplication.h"
#include "widgets/ActivitySpinner.h"
#include "widgets/ControlLook.h"

#include <QSignalSpy>
#include <QTest>

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

using velorin::Basemap;
using velorin::Track;
using velorin::TrackMapPreview;
using velorin::TrackPoint;
using velorin::TrackPreviewFrame;
using velorin::WorldPoint;
using Tile = TrackPreviewFrame::Tile;
namespace fs = std::filesystem;

namespace {

TrackPoint point(double latitude, double longitude)
{
    TrackPoint result;
    result.latitude = latitude;
    result.longitude = longitude;
    return result;
}

std::vector<TrackPoint> points(std::initializer_list<std::pair<double, double>> positions)
{
    std::vector<TrackPoint> result;
    for (const auto& [latitude, longitude] : positions)
        result.push_back(point(latitude, longitude));
    return result;
}

Track track(std::vector<TrackPoint> points)
{
    Track result;
    result.metadata.name = "Crête";
    result.points = std::move(points);
    return result;
}

// A straight walk of `count` points from one position to another.
Track walk(std::pair<double, double> from, std::pair<double, double> to, int count)
{
    std::vector<TrackPoint> result;
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / (count - 1);
        result.push_back(point(from.first + (to.first - from.first) * t, from.second + (to.second - from.second) * t));
    }
    return track(std::move(result));
}

bool near(const QColor& seen, const QColor& expected, int tolerance = 6)
{
    return std::abs(seen.red() - expected.red()) <= tolerance && std::abs(seen.green() - expected.green()) <= tolerance
        && std::abs(seen.blue() - expected.blue()) <= tolerance;
}

std::string describe(const QColor& color)
{
    return fmt::format("rgb({}, {}, {})", color.red(), color.green(), color.blue());
}

QColor pixelAt(const QImage& image, const TrackPreviewFrame& frame, const WorldPoint& world)
{
    return image.pixelColor(int(std::floor(frame.pictureX(world.x))), int(std::floor(frame.pictureY(world.y))));
}

fs::path besideTheTests(const std::string& name)
{
    return fs::read_symlink("/proc/self/exe").parent_path() / name;
}

} // namespace

TEST(TrackPreviewFrame, FramesTheTrackWithAMarginInASixteenByTenBox)
{
    {
        SCOPED_TRACE("one point: the extent is floored, so the finest level and the point in the middle");
        const auto frame = TrackPreviewFrame::make(points({ { 45.0, 6.0 } }));
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->zoom, 17);
        EXPECT_EQ(frame->n, 131072);
        EXPECT_DOUBLE_EQ(frame->spanY, 0.000001 * 1.24);
        EXPECT_DOUBLE_EQ(frame->spanX, frame->spanY * 1.6);
        EXPECT_EQ(frame->tiles(), (std::vector<Tile> { { 67720, 67720, 47149 } }));
        EXPECT_NEAR(frame->pictureX(frame->points[0].x), 320, 1e-6);
        EXPECT_NEAR(frame->pictureY(frame->points[0].y), 200, 1e-6);
    }
    {
        SCOPED_TRACE("a short north-south walk: widened to 1.6 times its padded height, centred");
        const auto frame = TrackPreviewFrame::make(points({ { 45.0, 6.0 }, { 45.02, 6.001 } }));
        ASSERT_TRUE(frame);
        EXPECT_DOUBLE_EQ(frame->spanY, (frame->maxY - frame->minY) * 1.24);
        EXPECT_DOUBLE_EQ(frame->spanX, frame->spanY * 1.6);
        EXPECT_EQ(frame->zoom, 13);
        EXPECT_DOUBLE_EQ(frame->scale, 640 / frame->spanX);
        EXPECT_NEAR(frame->pictureX((frame->minX + frame->maxX) / 2), 320, 1e-6);
        EXPECT_NEAR(frame->pictureY(frame->minY), 200 - 200 / 1.24, 1e-6);
        EXPECT_EQ(frame->tiles().size(), 3u);
    }
    {
        SCOPED_TRACE("an east-west walk: its padded width, and a height of 1 / 1.6 of it");
        const auto frame = TrackPreviewFrame::make(points({ { 45.0, 6.0 }, { 45.001, 6.2 } }));
        ASSERT_TRUE(frame);
        EXPECT_DOUBLE_EQ(frame->spanX, (frame->maxX - frame->minX) * 1.24);
        EXPECT_DOUBLE_EQ(frame->spanY, frame->spanX / 1.6);
        EXPECT_NEAR(frame->pictureX(frame->minX), 320 - 320 / 1.24, 1e-6);
    }
}

TEST(TrackPreviewFrame, ATrackNeedingMoreThanThirtyTilesOrWithoutAPointOnTheGlobeHasNoFrame)
{
    struct Case {
        std::vector<TrackPoint> track;
        std::optional<std::size_t> tiles;
    };
    const double nan = std::nan("");
    for (const Case& c : {
             Case { points({ { 38, -30 }, { 50, 16.5 } }), 30 }, // 6 × 5 at level 5
             Case { points({ { 38, -30 }, { 50, 17 } }), std::nullopt }, // 7 × 5
             Case { points({ { 20, -120 }, { 60, 100 } }), std::nullopt },
             Case { {}, std::nullopt },
             Case { points({ { nan, 6 }, { 45, 1e300 }, { 91, 6 } }), std::nullopt },
             Case { points({ { nan, 6 }, { 45, 6 } }), 1 },
         }) {
        const auto frame = TrackPreviewFrame::make(c.track);
        ASSERT_EQ(frame.has_value(), c.tiles.has_value()) << c.track.size() << " points";
        if (frame) {
            EXPECT_EQ(frame->tiles().size(), *c.tiles);
            EXPECT_EQ(frame->zoom, *c.tiles == 30 ? 5 : 17);
        }
    }
}

TEST(TrackPreviewFrame, ColumnsWrapRoundTheWorldAndRowsBeyondItsEdgesAreLeftOut)
{
    struct Case {
        double latitude, longitude;
        std::vector<Tile> tiles;
    };
    constexpr int64_t last = 131071;
    for (const Case& c : {
             Case { 85.06, 179.9999, { { last, last, 0 }, { last + 1, 0, 0 } } },
             Case { -85.06, -179.9999, { { -1, last, last }, { 0, 0, last } } },
         }) {
        const auto frame = TrackPreviewFrame::make(points({ { c.latitude, c.longitude } }));
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->tiles(), c.tiles) << c.latitude << ", " << c.longitude;
    }
}

TEST(TrackPreviewBasemap, KeepsAStoredMapWithTilesForTheRegionAndOtherwiseTakesIGNInFranceAndOpenTopoMapElsewhere)
{
    testing_support::TemporaryFolder folder;
    platform::UserDefaults defaults(folder / "defaults.json");
    const auto inFrance = points({ { 45.9, 6.9 } });
    const auto inItaly = points({ { 46.5, 11.8 } });
    struct Case {
        std::optional<std::string> stored;
        std::vector<TrackPoint> track;
        Basemap expected;
    };
    for (const Case& c : {
             Case { "applePlan", inFrance, Basemap::planIGN },
             Case { "applePlan", inItaly, Basemap::openTopo },
             Case { "appleSatellite", inFrance, Basemap::planIGN },
             Case { "top25", inFrance, Basemap::planIGN },
             Case { "slopes", inItaly, Basemap::openTopo },
             Case { "planIGN", inItaly, Basemap::openTopo },
             Case { "orthophoto", inFrance, Basemap::orthophoto },
             Case { "orthophoto", inItaly, Basemap::openTopo },
             Case { "swissImage", inFrance, Basemap::swissImage },
             Case { "spainImage", inItaly, Basemap::spainImage },
             Case { "austriaImage", inFrance, Basemap::austriaImage },
             Case { "openTopo", inFrance, Basemap::openTopo },
             Case { std::nullopt, inFrance, Basemap::planIGN },
             Case { "PlanIGN", inItaly, Basemap::openTopo },
             Case { std::nullopt, {}, Basemap::openTopo }, // no point: the mean is 0, 0
             // The box's bounds belong to it.
             Case { std::nullopt, points({ { 41.0, -5.5 } }), Basemap::planIGN },
             Case { std::nullopt, points({ { 51.5, 10.0 } }), Basemap::planIGN },
             Case { std::nullopt, points({ { 40.99, 2 } }), Basemap::openTopo },
             Case { std::nullopt, points({ { 46, 10.01 } }), Basemap::openTopo },
             // The mean of the points, not the middle of their box.
             Case { std::nullopt, points({ { 45, 9 }, { 45, 9 }, { 45, 9 }, { 45, -40 } }), Basemap::planIGN },
         }) {
        if (c.stored)
            defaults.setString("Velorin.basemap", *c.stored);
        else
            defaults.remove("Velorin.basemap");
        EXPECT_EQ(TrackMapPreview::previewBasemap(track(c.track), defaults), c.expected)
            << c.stored.value_or("none") << ", " << c.track.size() << " points";
    }
}

TEST(TrackMapPreviewRender, ALonePointIsARedDotOverTheGreenOneInTheMiddleWithoutALine)
{
    testing_support::application();
    const auto frame = TrackPreviewFrame::make(points({ { 45.0, 6.0 } }));
    ASSERT_TRUE(frame);
    const QImage picture = TrackMapPreview::render(*frame, {});
    EXPECT_TRUE(picture.save(QString::fromStdString(besideTheTests("track-preview-one-point.png").string()), "PNG"));
    EXPECT_TRUE(near(picture.pixelColor(320, 200), velorin::ControlLook::redColor())) << describe(picture.pixelColor(320, 200));
    int orange = 0, green = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            orange += near(picture.pixelColor(x, y), velorin::ControlLook::orangeColor(), 30);
            green += near(picture.pixelColor(x, y), velorin::ControlLook::greenColor(), 30);
        }
    }
    EXPECT_EQ(orange, 0);
    EXPECT_EQ(green, 0) << "the end dot covers the start dot";
    EXPECT_TRUE(near(picture.pixelColor(0, 0), TrackMapPreview::backgroundColor(), 0));
}

namespace {

// Previews over a loopback server that stands in for OpenTopoMap.
class TrackMapPreviewTest : public testing_support::AppModelFixture {
protected:
    // Tiles in a checkerboard of two colours, so that a tile drawn out of place shows.
    static constexpr QColor kEvenTileColor { 70, 120, 200 };
    static constexpr QColor kOddTileColor { 120, 170, 90 };
    testing_support::LoopbackServer server;
    // A walk in the Dolomites, outside the France box: OpenTopoMap tiles.
    const Track dolomites = walk({ 46.50, 11.80 }, { 46.53, 11.86 }, 200);

    void SetUp() override
    {
        testing_support::application();
        hosts.scheme = "http";
        hosts.openTopoHost = fmt::format("127.0.0.1:{}", server.port());
        makeModel();
        mainQueue->drain();
    }

    static QColor tileColor(int64_t x, int64_t y) { return (x + y) % 2 == 0 ? kEvenTileColor : kOddTileColor; }

    static std::string tilePng(const QColor& color)
    {
        platform::Image tile { 256, 256, {} };
        for (int i = 0; i < 256 * 256; ++i) {
            for (int channel : { color.red(), color.green(), color.blue(), 255 })
                tile.pixels.push_back(std::byte(channel));
        }
        return testing_support::pngOf(tile);
    }

    // Answers "/<z>/<x>/<y>.png" with that tile's colour of the checkerboard.
    static testing_support::LoopbackServer::Handler checkerboard()
    {
        return [](const httplib::Request& request, httplib::Response& response) {
            long long z = 0, x = 0, y = 0;
            if (std::sscanf(request.path.c_str(), "/%lld/%lld/%lld.png", &z, &x, &y) != 3) {
                response.status = 404;
                return;
            }
            response.set_content(tilePng(tileColor(x, y)), "image/png");
        };
    }

    // Runs the main queue until the preview has a picture.
    void waitForPicture(const TrackMapPreview& preview)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!preview.image() && std::chrono::steady_clock::now() < deadline) {
            mainQueue->runOneWaiting(0.01);
            mainQueue->drain();
        }
        ASSERT_TRUE(preview.image());
    }

    // The paths the server was asked for.
    std::set<std::string> requestedPaths() const
    {
        std::set<std::string> paths;
        for (const auto& request : server.requests())
            paths.insert(request.path);
        return paths;
    }

    static void expectLineAndDots(const QImage& picture, const TrackPreviewFrame& frame)
    {
        ASSERT_EQ(picture.size(), QSize(640, 400));
        const QColor start = pixelAt(picture, frame, frame.points.front());
        const QColor end = pixelAt(picture, frame, frame.points.back());
        const QColor middle = pixelAt(picture, frame, frame.points[frame.points.size() / 2]);
        EXPECT_TRUE(near(start, velorin::ControlLook::greenColor())) << describe(start);
        EXPECT_TRUE(near(end, velorin::ControlLook::redColor())) << describe(end);
        EXPECT_TRUE(near(middle, velorin::ControlLook::orangeColor())) << describe(middle);
        // Beside the orange line, its white halo: a pixel whose centre lies 2.6 to 3 pixels
        // from the middle of the (straight) line.
        const QPointF a(frame.pictureX(frame.points.front().x), frame.pictureY(frame.points.front().y));
        const QPointF b(frame.pictureX(frame.points.back().x), frame.pictureY(frame.points.back().y));
        const QPointF along = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
        const QPointF middlePoint = (a + b) / 2;
        std::optional<QPoint> beside;
        for (int dx = -4; dx <= 4 && !beside; ++dx) {
            for (int dy = -4; dy <= 4 && !beside; ++dy) {
                const QPoint pixel(int(middlePoint.x()) + dx, int(middlePoint.y()) + dy);
                const QPointF offset = QPointF(pixel) + QPointF(0.5, 0.5) - middlePoint;
                const double across = std::abs(offset.x() * along.y() - offset.y() * along.x());
                if (across > 2.6 && across < 3.0 && std::abs(QPointF::dotProduct(offset, along)) < 1)
                    beside = pixel;
            }
        }
        ASSERT_TRUE(beside);
        const QColor halo = picture.pixelColor(*beside);
        EXPECT_GT(std::min({ halo.red(), halo.green(), halo.blue() }), 215) << describe(halo);
    }
};

} // namespace

TEST_F(TrackMapPreviewTest, DrawsTheTilesThenTheOrangeLineWithAGreenStartAndARedEnd)
{
    server.route("/*", checkerboard());
    TrackMapPreview preview(dolomites, *model);
    EXPECT_FALSE(preview.image());
    EXPECT_TRUE(preview.findChild<velorin::ActivitySpinner*>()->isVisibleTo(&preview)) << "a spinner until the picture";
    waitForPicture(preview);
    const QImage& picture = *preview.image();
    EXPECT_TRUE(picture.save(QString::fromStdString(besideTheTests("track-preview.png").string()), "PNG"));
    EXPECT_FALSE(preview.findChild<velorin::ActivitySpinner*>()->isVisibleTo(&preview));

    const auto frame = TrackPreviewFrame::make(dolomites.points);
    ASSERT_TRUE(frame);
    std::set<std::string> expected;
    for (const Tile& tile : frame->tiles())
        expected.insert(fmt::format("/{}/{}/{}.png", frame->zoom, tile.x, tile.y));
    EXPECT_EQ(requestedPaths(), expected) << "each tile of the box once, from OpenTopoMap outside France";
    for (const auto& request : server.requests()) {
        const auto agent = request.headers.find("User-Agent");
        ASSERT_NE(agent, request.headers.end());
        EXPECT_EQ(agent->second, platform::HttpSession::defaultUserAgent());
    }

    expectLineAndDots(picture, *frame);
    // The middle of each tile's visible part, away from the line, shows that tile.
    const QPointF a(frame->pictureX(frame->points.front().x), frame->pictureY(frame->points.front().y));
    const QPointF b(frame->pictureX(frame->points.back().x), frame->pictureY(frame->points.back().y));
    const QPointF along = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
    int checked = 0;
    for (const Tile& tile : frame->tiles()) {
        const double side = frame->scale / double(frame->n);
        const QRectF place(frame->pictureX(double(tile.column) / double(frame->n)),
            frame->pictureY(double(tile.y) / double(frame->n)), side, side);
        const QRectF visible = place.intersected(QRectF(0, 0, 640, 400)).adjusted(2, 2, -2, -2);
        if (visible.isEmpty())
            continue;
        for (const QPointF probe : { visible.topLeft(), visible.topRight(), visible.bottomLeft(), visible.bottomRight() }) {
            const QPointF offset = probe - a;
            if (std::abs(offset.x() * along.y() - offset.y() * along.x()) < 12)
                continue;
            const QColor seen = picture.pixelColor(probe.toPoint());
            EXPECT_TRUE(near(seen, tileColor(tile.x, tile.y)))
                << "tile " << tile.x << "/" << tile.y << " at " << probe.x() << ", " << probe.y() << ": " << describe(seen);
            ++checked;
        }
    }
    EXPECT_GT(checked, 8);
}

TEST_F(TrackMapPreviewTest, AServerAnsweringWithAnErrorPageLeavesThePlainBackgroundUnderTheLineAndDots)
{
    server.route("/*", testing_support::LoopbackServer::reply(500, "<html><body>Erreur interne</body></html>",
                           { { "Content-Type", "text/html" } }));
    TrackMapPreview preview(dolomites, *model);
    waitForPicture(preview);
    const QImage& picture = *preview.image();
    EXPECT_TRUE(picture.save(QString::fromStdString(besideTheTests("track-preview-server-error.png").string()), "PNG"));
    EXPECT_GT(server.requestCount(), 0);
    const auto frame = TrackPreviewFrame::make(dolomites.points);
    ASSERT_TRUE(frame);
    expectLineAndDots(picture, *frame);
    EXPECT_TRUE(near(picture.pixelColor(1, 1), TrackMapPreview::backgroundColor(), 0));
}

TEST_F(TrackMapPreviewTest, ATileThatNeverComesIsLeftOutOnceItsTimeIsUp)
{
    const auto frame = TrackPreviewFrame::make(dolomites.points);
    ASSERT_TRUE(frame);
    const Tile stalled = frame->tiles().front();
    server.route("/*", checkerboard());
    server.route(fmt::format("/{}/{}/{}.png", frame->zoom, stalled.x, stalled.y), server.stalledBody("\x89PNG", 5000));
    TrackMapPreview preview(dolomites, *model);
    for (int second = 0; second < 40 && !preview.image(); ++second) {
        advance(1);
        mainQueue->runOneWaiting(0.05);
    }
    ASSERT_TRUE(preview.image()) << "the picture comes without the stalled tile";
    const QImage& picture = *preview.image();
    const double side = frame->scale / double(frame->n);
    const QRectF place = QRectF(frame->pictureX(double(stalled.column) / double(frame->n)),
        frame->pictureY(double(stalled.y) / double(frame->n)), side, side)
                             .intersected(QRectF(0, 0, 640, 400));
    const QPoint corner = place.topLeft().toPoint() + QPoint(2, 2);
    EXPECT_TRUE(near(picture.pixelColor(corner), TrackMapPreview::backgroundColor(), 0)) << describe(picture.pixelColor(corner));
    expectLineAndDots(picture, *frame);
}

TEST_F(TrackMapPreviewTest, AnEditRedrawsItARenameDoesNotAndAClickTellsTheScreen)
{
    server.route("/*", checkerboard());
    TrackMapPreview preview(dolomites, *model);
    EXPECT_EQ(preview.accessibleName(), "Aperçu du trajet sur la carte, toucher pour l'ouvrir");
    waitForPicture(preview);
    const int asked = server.requestCount();
    const QImage first = *preview.image();

    Track renamed = dolomites;
    renamed.metadata.name = "Autre nom";
    preview.setTrack(renamed);
    mainQueue->drain();
    EXPECT_EQ(server.requestCount(), asked) << "a rename keeps the picture";

    Track trimmed = dolomites;
    trimmed.points.resize(100);
    preview.setTrack(trimmed);
    EXPECT_EQ(preview.image()->cacheKey(), first.cacheKey()) << "the old picture stays until the new one is drawn";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (preview.image()->cacheKey() == first.cacheKey() && std::chrono::steady_clock::now() < deadline)
        mainQueue->runOneWaiting(0.01);
    EXPECT_NE(preview.image()->cacheKey(), first.cacheKey());
    EXPECT_GT(server.requestCount(), asked);

    QSignalSpy taps(&preview, &TrackMapPreview::tapped);
    preview.resize(320, 200);
    preview.show();
    QTest::mouseClick(&preview, Qt::LeftButton, {}, QPoint(160, 100));
    EXPECT_EQ(taps.count(), 1);
    EXPECT_EQ(preview.heightForWidth(640), 400);
}

TEST_F(TrackMapPreviewTest, APictureFinishedAfterThePreviewIsGoneIsDropped)
{
    server.route("/*", checkerboard());
    auto preview = std::make_unique<TrackMapPreview>(dolomites, *model);
    ASSERT_TRUE(mainQueue->runOneWaiting(30)) << "the framed track asks for its tiles";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (mainQueue->pendingCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(mainQueue->pendingCount(), 1u) << "the finished picture waits for the main thread";
    preview.reset();
    EXPECT_EQ(mainQueue->drain(), 1u);
}

TEST_F(TrackMapPreviewTest, DestroyingThePreviewWhileItsTilesDownloadCancelsThem)
{
    server.route("/*", server.delayed(5, checkerboard()));
    auto preview = std::make_unique<TrackMapPreview>(dolomites, *model);
    ASSERT_TRUE(mainQueue->runOneWaiting(30));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server.requestCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    preview.reset();
    EXPECT_EQ(mainQueue->drain(), 0u) << "no picture is made for a preview that is gone";
}
