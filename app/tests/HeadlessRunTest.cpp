#include "app/HeadlessSnapshot.h"
#include "app/tests/AppModelFixture.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TerrainService.h"
#include "map-data/WorldPoint.h"
#include "platform/Image.h"
#include "testing/LoopbackServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>

using testing_support::LoopbackServer;
using velorin::HeadlessSnapshot;
using velorin::MapCanvasView;

namespace {

constexpr int kTileSide = 256;
constexpr double kLoadTimeoutSeconds = 20.0;
// Above the Grossglockner, outside the French elevation box: every grid is a Terrarium one.
constexpr double kLatitude = 47.07;
constexpr double kLongitude = 12.69;

std::string pngOf(const platform::Image& image)
{
    const auto png = platform::encodePng(image);
    EXPECT_TRUE(png);
    return std::string(reinterpret_cast<const char*>(png->data()), png->size());
}

// Map tiles: red and green squares of 16 pixels, which only a textured ground can show.
std::string checkerTile()
{
    platform::Image image {kTileSide, kTileSide, std::vector<std::byte>(std::size_t(kTileSide) * kTileSide * 4)};
    for (int y = 0; y < kTileSide; ++y) {
        for (int x = 0; x < kTileSide; ++x) {
            const bool red = ((x / 16) + (y / 16)) % 2 == 0;
            auto* pixel = image.pixels.data() + (std::size_t(y) * kTileSide + x) * 4;
            pixel[0] = std::byte(red ? 220 : 30);
            pixel[1] = std::byte(red ? 30 : 200);
            pixel[2] = std::byte(30);
            pixel[3] = std::byte(255);
        }
    }
    return pngOf(image);
}

// An elevation tile in Terrarium encoding: ridges between 700 and 2300 m, 3 km apart, laid
// on the ground itself so that every level and every neighbour agrees.
std::string ridgeTile(int z, int x, int y)
{
    constexpr double kWavelengthMeters = 3000;
    const double wavesPerWorld = velorin::kEarthCircumferenceMeters * std::cos(kLatitude * std::numbers::pi / 180)
        / kWavelengthMeters;
    const double tiles = std::exp2(z);
    platform::Image image {kTileSide, kTileSide, std::vector<std::byte>(std::size_t(kTileSide) * kTileSide * 4)};
    for (int row = 0; row < kTileSide; ++row) {
        for (int column = 0; column < kTileSide; ++column) {
            const double worldX = (x + (column + 0.5) / kTileSide) / tiles;
            const double worldY = (y + (row + 0.5) / kTileSide) / tiles;
            const double turn = 2 * std::numbers::pi * wavesPerWorld;
            const double value = 1500 + 800 * std::sin(worldX * turn) * std::cos(worldY * turn) + 32768;
            auto* pixel = image.pixels.data() + (std::size_t(row) * kTileSide + column) * 4;
            pixel[0] = std::byte(int(value) / 256);
            pixel[1] = std::byte(int(value) % 256);
            pixel[2] = std::byte(int((value - std::floor(value)) * 256));
            pixel[3] = std::byte(255);
        }
    }
    return pngOf(image);
}

// Answers "/elevation-tiles-prod/terrarium/<z>/<x>/<y>.png".
void serveRidges(const httplib::Request& request, httplib::Response& response)
{
    int z = 0, x = 0, y = 0;
    if (std::sscanf(request.path.c_str(), "/elevation-tiles-prod/terrarium/%d/%d/%d.png", &z, &x, &y) != 3) {
        response.status = 404;
        return;
    }
    response.status = 200;
    response.set_content(ridgeTile(z, x, y), "image/png");
}

// The launch-argument snapshot over the model's real services, with every host on a
// loopback server named by a VELORIN_HOSTS file.
class HeadlessSnapshotTest : public testing_support::AppModelFixture {
protected:
    int argc = 0;
    QCoreApplication application {argc, nullptr};
    LoopbackServer server;
    std::optional<int> status;

    void SetUp() override
    {
        server.route("/*", LoopbackServer::reply(200, checkerTile(), {{"Content-Type", "image/png"}}));
        server.route("/elevation-tiles-prod/terrarium/*", serveRidges);
        const std::string host = fmt::format("127.0.0.1:{}", server.port());
        std::ofstream(folder / "hosts.json") << fmt::format(
            R"({{"scheme": "http", "ignHost": "{0}", "openTopoHost": "{0}", "swisstopoHost": "{0}",
                "spainHost": "{0}", "austriaHost": "{0}", "terrariumHost": "{0}"}})",
            host);
        setenv(std::string(velorin::ServiceHosts::kEnvironmentVariable).c_str(), (folder / "hosts.json").c_str(), 1);
        hosts = velorin::ServiceHosts::fromEnvironment();
        unsetenv(std::string(velorin::ServiceHosts::kEnvironmentVariable).c_str());
        ASSERT_EQ(hosts.terrariumHost, host);
        storePreferences(R"({"Velorin.basemap": "openTopo"})");
    }

    std::unique_ptr<HeadlessSnapshot> startSnapshot(const std::filesystem::path& path)
    {
        auto& model = makeModel();
        model.start();
        MapCanvasView::Environment environment {clock, mainQueue, readPreferences(), folder / "VelorinGestes.log",
            {"velorin", "-startAt", fmt::format("{},{},13,0,60", kLatitude, kLongitude), "-snapshotTo", path.string()},
            [this](int code) { status = code; }};
        return std::make_unique<HeadlessSnapshot>(model, std::move(environment));
    }

    // Every elevation grid the map asked the server for, and whether the service holds it.
    bool holdsEveryRequestedGrid() const
    {
        for (const auto& request : server.requests()) {
            velorin::TerrainKey key;
            if (std::sscanf(request.path.c_str(), "/elevation-tiles-prod/terrarium/%d/%d/%d.png", &key.z, &key.x,
                    &key.y) == 3
                && !model->terrain().contains(key))
                return false;
        }
        return true;
    }

    // Lets the headless window draw until the view's tiles and elevations have all arrived
    // and the frames drawn since ask for nothing more.
    bool waitForTheView()
    {
        constexpr int kSettledPasses = 30;
        int settled = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kLoadTimeoutSeconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            mainQueue->drain();
            const auto loaded = model->loader()->status();
            const bool done = loaded.delivered > 0 && loaded.pending == 0 && holdsEveryRequestedGrid();
            settled = done ? settled + 1 : 0;
            if (settled == kSettledPasses)
                return true;
        }
        return false;
    }

    void waitForTheSnapshot()
    {
        advance(MapCanvasView::kSnapshotDelaySeconds + 0.125);
    }
};

} // namespace

TEST_F(HeadlessSnapshotTest, WritesAJpegOfTexturedReliefAndExitsWithZero)
{
    const auto path = folder / "out.jpg";
    auto snapshot = startSnapshot(path);
    ASSERT_TRUE(waitForTheView()) << "the loopback tiles and elevations never arrived";
    EXPECT_GT(server.requestCount(), 0);
    waitForTheSnapshot();
    ASSERT_EQ(status, 0);

    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes {std::istreambuf_iterator<char>(file), {}};
    const auto image = platform::decodeImage(std::as_bytes(std::span(bytes)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, int(velorin::HeadlessCanvasWindow::kBoundsInPoints.width));
    std::size_t reddish = 0, greenish = 0;
    double sum = 0, sumOfSquares = 0;
    const std::size_t count = std::size_t(image->width) * image->height;
    for (std::size_t i = 0; i < count; ++i) {
        const int r = std::to_integer<int>(image->pixels[i * 4]);
        const int g = std::to_integer<int>(image->pixels[i * 4 + 1]);
        const int b = std::to_integer<int>(image->pixels[i * 4 + 2]);
        reddish += r > g + 40 ? 1 : 0;
        greenish += g > r + 40 ? 1 : 0;
        const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
        sum += luma;
        sumOfSquares += luma * luma;
    }
    const double mean = sum / double(count);
    EXPECT_GT(std::sqrt(sumOfSquares / double(count) - mean * mean), 10) << "a blank or uniform image";
    EXPECT_GT(double(reddish) / double(count), 0.1) << "the map tiles are not on the ground";
    EXPECT_GT(double(greenish) / double(count), 0.1) << "the map tiles are not on the ground";
}

TEST_F(HeadlessSnapshotTest, AnUnwritablePathExitsWithOne)
{
    std::ofstream(folder / "file") << "x";
    auto snapshot = startSnapshot(folder / "file" / "out.jpg");
    waitForTheSnapshot();
    EXPECT_EQ(status, 1);
}

TEST_F(HeadlessSnapshotTest, AViewWithoutAnyTileIsStillWrittenAndSaysWhyWithItsOwnStatus)
{
    // Every provider on a port that refuses connections.
    const std::string closed = "127.0.0.1:9";
    for (std::string* host : {&hosts.ignHost, &hosts.openTopoHost, &hosts.swisstopoHost, &hosts.spainHost,
             &hosts.austriaHost, &hosts.terrariumHost})
        *host = closed;
    const auto path = folder / "sky.jpg";
    auto snapshot = startSnapshot(path);
    QElapsedTimer timer;
    timer.start();
    while (model->loader()->status().transportFailures == 0 && timer.elapsed() < kLoadTimeoutSeconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        mainQueue->drain();
    }
    ::testing::internal::CaptureStderr();
    waitForTheSnapshot();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, MapCanvasView::kSnapshotWithoutMapStatus);
    EXPECT_TRUE(std::filesystem::file_size(path) > 0) << "the picture is written all the same";
    EXPECT_NE(said.find("Instantané sans carte : aucune tuile n'a pu être chargée ("), std::string::npos) << said;
}

TEST_F(HeadlessSnapshotTest, AViewWithSomeTilesMissingSaysHowManyCame)
{
    // About half of the map tiles always fail; elevations all come.
    const std::string tile = checkerTile();
    server.route("/*", [tile](const httplib::Request& request, httplib::Response& response) {
        if (std::hash<std::string>{}(request.path) % 2 == 0) {
            response.status = 503;
            return;
        }
        response.status = 200;
        response.set_content(tile, "image/png");
    });
    const auto path = folder / "holes.jpg";
    auto snapshot = startSnapshot(path);
    ASSERT_TRUE(waitForTheView()) << "the loopback tiles and elevations never arrived";
    ::testing::internal::CaptureStderr();
    waitForTheSnapshot();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0);
    EXPECT_NE(said.find("Instantané écrit : "), std::string::npos) << said;
    EXPECT_NE(said.find(" tuiles chargées sur "), std::string::npos) << said;
}
