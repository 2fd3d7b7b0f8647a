#include "app/HeadlessRun.h"
#include "app/tests/AppModelFixture.h"
#include "app/tests/LoopbackMaps.h"
#include "map-data/ServiceHosts.h"
#include "map-data/TerrainService.h"
#include "map-data/WorldPoint.h"
#include "platform/Image.h"
#include "testing/LoopbackServer.h"
#include "testing/TestApplication.h"

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
using velorin::HeadlessRun;
using velorin::MapCanvasView;

namespace {

constexpr double kLoadTimeoutSeconds = 20.0;
using testing_support::checkerTile;
using testing_support::kLatitude;
using testing_support::kLongitude;

// The launch-argument snapshot over the model's real services, with every host on a
// loopback server named by a VELORIN_HOSTS file.
class HeadlessRunTest : public testing_support::AppModelFixture {
protected:
    // The headless window holds its overlay views in a hidden widget.
    QApplication& application = testing_support::application();
    LoopbackServer server;
    std::optional<int> status;

    void SetUp() override
    {
        const std::string host = testing_support::serveMaps(server, folder / "hosts.json");
        setenv(std::string(velorin::ServiceHosts::kEnvironmentVariable).c_str(), (folder / "hosts.json").c_str(), 1);
        hosts = velorin::ServiceHosts::fromEnvironment();
        unsetenv(std::string(velorin::ServiceHosts::kEnvironmentVariable).c_str());
        ASSERT_EQ(hosts.terrariumHost, host);
        storePreferences(R"({"Velorin.basemap": "openTopo"})");
    }

    // `view`: the zoom, bearing and pitch of the "-startAt" line.
    std::unique_ptr<HeadlessRun> startSnapshot(const std::filesystem::path& path, const std::string& view = "13,0,60")
    {
        auto& model = makeModel();
        model.start();
        MapCanvasView::Environment environment {clock, mainQueue, readPreferences(), folder / "VelorinGestes.log",
            {"velorin", "-startAt", fmt::format("{},{},{}", kLatitude, kLongitude, view), "-snapshotTo", path.string()},
            [this](int code) { status = code; }};
        return std::make_unique<HeadlessRun>(model, std::move(environment));
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

TEST_F(HeadlessRunTest, WritesAJpegOfTexturedReliefAndExitsWithZero)
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

TEST_F(HeadlessRunTest, TheReadoutOfAViewAlmostStraightDownPutsTheEyeAtTheMapsOwnScale)
{
    // A hair of tilt flattens the relief almost away; the eye stays a few kilometres up.
    auto run = startSnapshot(folder / "out.jpg", "13,0,0.006");
    ASSERT_TRUE(waitForTheView()) << "the relief under the view";
    model->refreshCameraInfo();
    const auto& info = model->cameraInfo();
    ASSERT_TRUE(info);
    ASSERT_GT(info->camera.pitch, 0);
    const double metersPerPixel = info->camera.center.metersPerPixel(info->camera.zoom);
    EXPECT_LT(info->eye.altitude, info->camera.focalDistance() * metersPerPixel + 5000)
        << "not thousands of kilometres up";
    EXPECT_GT(info->eye.altitude, 1000);
}

TEST_F(HeadlessRunTest, AnUnwritablePathExitsWithOne)
{
    std::ofstream(folder / "file") << "x";
    auto snapshot = startSnapshot(folder / "file" / "out.jpg");
    waitForTheSnapshot();
    EXPECT_EQ(status, 1);
}

TEST_F(HeadlessRunTest, AViewWithoutAnyTileIsStillWrittenAndSaysWhyWithItsOwnStatus)
{
    hosts = unreachableHosts();
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

TEST_F(HeadlessRunTest, AViewWithSomeTilesMissingSaysHowManyCame)
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
