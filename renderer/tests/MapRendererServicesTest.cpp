#include "RendererTestSupport.h"

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "map-data/TileLoader.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "renderer/PositionMarker.h"
#include "renderer/TextureImage.h"
#include "testing/TemporaryFolder.h"

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <thread>
#include <variant>

using testing_support::RendererTest;
using testing_support::Rgba;
using velorin::Basemap;
using velorin::Camera;
using velorin::MapRenderer;
using velorin::TerrainService;
using velorin::TileKey;
using velorin::TrackDisplayPoint;
using velorin::TravelMode;
using velorin::PositionMarker;
using velorin::SolidVertex;
using velorin::WorldPoint;

namespace {

// A grid inside France with a north-south ridge down its middle column.
const TerrainService::Key kGrid{12, 2074, 1409};
constexpr float kPlainMeters = 800;
constexpr float kRidgeMeters = 600;
constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr const char* kPictureName = "track-check.png";

WorldPoint gridPoint(double column, double row)
{
    return {(kGrid.x + column / 256) / 4096, (kGrid.y + row / 256) / 4096};
}

} // namespace

// A renderer over a ridge of elevation, its tile loader filling a texture cache.
class MapRendererServices : public RendererTest {
protected:
    testing_support::TemporaryFolder folder;
    std::shared_ptr<velorin::DiskStore> store
        = std::make_shared<velorin::DiskStore>(folder / "cache", folder / "offline");
    std::shared_ptr<platform::HttpSession> session = std::make_shared<platform::HttpSession>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<TerrainService> service;

    void SetUp() override
    {
        RendererTest::SetUp();
        const auto file = folder / "cache" / TerrainService::diskKey(kGrid.z, kGrid.x, kGrid.y);
        std::filesystem::create_directories(file.parent_path());
        velorin::ElevationGrid ridge(velorin::kElevationGridCells);
        for (std::size_t at = 0; at < ridge.size(); ++at) {
            const double fromCrest = (double(at % 256) - 128) / 24;
            ridge[at] = float(kPlainMeters + kRidgeMeters * std::exp(-fromCrest * fromCrest));
        }
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(ridge.data()), std::streamsize(ridge.size() * sizeof(float)));
        service = std::make_shared<TerrainService>(*store, *session, velorin::ServiceHosts{}, *mainQueue, *clock);
        service->load(kGrid);
        ASSERT_GT(service->elevationAt(gridPoint(128, 128).x, gridPoint(128, 128).y, 12), kPlainMeters + 500);

        velorin::TileLoader::Dependencies dependencies;
        dependencies.store = store;
        dependencies.cache = cache;
        dependencies.session = session;
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        renderer = MapRenderer::make(*context, library, velorin::SheetCatalog{},
            std::make_shared<velorin::TileLoader>(std::move(dependencies)), Camera{}, service, nullptr, nullptr);
        ASSERT_TRUE(renderer);

        // Looking east at the ridge from its west side.
        Camera& camera = renderer->camera;
        camera.center = gridPoint(110, 128);
        camera.zoom = 13;
        camera.viewSize = {kWidth, kHeight};
        camera.bearing = std::numbers::pi / 2 - 0.25;
        camera.pitch = 1.15;
        renderer->frame.frameCos = std::cos(camera.bearing);
        renderer->frame.frameSin = std::sin(camera.bearing);
        renderer->frame.frameHeightScale
            = std::sin(camera.pitch) / 0.9659258262890683 / camera.center.metersPerPixel(camera.zoom);
        renderer->frame.frameTerrainZoom = 12;
        renderer->frame.frameBaseElevation = kPlainMeters;
    }

    // The renderer goes before the services and stores it uses.
    void TearDown() override { renderer.reset(); }

    // Screen pixels of the relief under a point in this frame.
    double lift(WorldPoint point) const
    {
        return (service->elevationAt(point.x, point.y, 12) - kPlainMeters) * renderer->frame.frameHeightScale;
    }
};

TEST_F(MapRendererServices, DesiredTilesAreCachedOnlyWhenEveryOneHasATexture)
{
    const TileKey here = TileKey::webTile(1, 13, 4148, 2818);
    const TileKey there = TileKey::webTile(1, 13, 4149, 2818);
    EXPECT_TRUE(renderer->isDesiredCached()) << "nothing wanted";
    EXPECT_TRUE(renderer->isNearDesiredCached());
    cache->insert(plain({1, 2, 3, 255}), here);
    renderer->desired = {here};
    renderer->nearDesired = {here, there};
    EXPECT_TRUE(renderer->isDesiredCached());
    EXPECT_FALSE(renderer->isNearDesiredCached());
    renderer->desired = {there, here};
    EXPECT_FALSE(renderer->isDesiredCached());
}

TEST_F(MapRendererServices, TheServicesReadTheFramesReliefAndBase)
{
    // A lower eye, about 1.3 km above the plain and 230 columns west of the ridge.
    renderer->camera.center = gridPoint(150, 128);
    renderer->camera.pitch = 1.35;
    renderer->frame.frameHeightScale = 1 / renderer->camera.center.metersPerPixel(renderer->camera.zoom);
    const WorldPoint behindRidge = gridPoint(220, 128);
    const WorldPoint beforeRidge = gridPoint(60, 128);
    EXPECT_TRUE(renderer->isHiddenByTerrain(behindRidge));
    EXPECT_FALSE(renderer->isHiddenByTerrain(beforeRidge));

    renderer->resetBaseElevation(gridPoint(128, 128), 42);
    EXPECT_GT(renderer->frame.frameBaseElevation, kPlainMeters + 500);
    ASSERT_TRUE(renderer->smoothedBase);
    EXPECT_EQ(renderer->smoothedBase->value, renderer->frame.frameBaseElevation);
    EXPECT_EQ(renderer->smoothedBase->at, 42);

    renderer->frame.frameHeightScale = 0;
    renderer->frame.frameBaseElevation = 123;
    renderer->resetBaseElevation(gridPoint(128, 128), 43);
    EXPECT_EQ(renderer->frame.frameBaseElevation, 123) << "a flat frame keeps its base";
    EXPECT_EQ(renderer->smoothedBase->value, 123);
    EXPECT_EQ(renderer->smoothedBase->at, 43);
}

TEST_F(MapRendererServices, VisibleTilesMayBeAskedFromWorkersWhileFramesArePrepared)
{
    renderer->basemap = Basemap::planIGN;
    renderer->trackPoints = {{gridPoint(100, 100), TravelMode::walking}, {gridPoint(200, 150), std::nullopt}};
    const Camera camera = renderer->camera;
    const int expected = int(renderer->visibleTiles(camera).tiles.size());
    ASSERT_GT(expected, 0);

    std::atomic<bool> done = false;
    std::atomic<int> wrong = 0;
    std::vector<std::jthread> workers;
    for (int worker = 0; worker < 4; ++worker) {
        workers.emplace_back([&] {
            while (!done) {
                const auto visible = renderer->visibleTiles(camera);
                for (const TileKey& key : visible.tiles) {
                    const auto* web = std::get_if<TileKey::WebTile>(&key.value);
                    if (web == nullptr
                        || (web->source != Basemap::planIGN && web->source != Basemap::openTopo
                            && web->source != Basemap::slopes))
                        ++wrong;
                }
                if (visible.tiles.empty())
                    ++wrong;
            }
        });
    }
    for (int frame = 0; frame < 200; ++frame) {
        renderer->basemap = frame % 2 == 0 ? Basemap::openTopo : Basemap::planIGN;
        renderer->showsSlopes = frame % 3 == 0;
        renderer->detailBias = frame % 2;
        renderer->contentScale = 1 + frame % 3;
        renderer->solidVertices.clear();
        renderer->visibleTiles(camera);
        renderer->prepareOverlays();
    }
    done = true;
    workers.clear();
    EXPECT_EQ(wrong, 0);
}

TEST_F(MapRendererServices, ADenseTrackNeverPushesTheMarkerOutOfTheOverlayRing)
{
    // Rows of points 3 pixels apart across the whole view, about 750,000 vertices of ribbon.
    const Camera& camera = renderer->camera;
    renderer->camera.pitch = 0;
    for (int row = 0; row < 60; ++row) {
        for (int column = 0; column < 260; ++column) {
            const WorldPoint point = camera.worldPoint({3.0 * (row % 2 == 0 ? column : 259 - column), 10.0 * row});
            renderer->trackPoints.push_back({point, TravelMode::cycling});
        }
    }
    renderer->userLocation = MapRenderer::UserLocation{camera.center, 5};
    renderer->prepareOverlays();
    ASSERT_LE(renderer->solidVertices.size(), MapRenderer::kOverlayVertexCapacity);
    EXPECT_GT(renderer->solidVertices.size(), MapRenderer::kOverlayVertexCapacity - 100) << "the track fills the ring";
    const SolidVertex& last = renderer->solidVertices.back();
    EXPECT_EQ((std::array<float, 4>{last.r, last.g, last.b, last.a}), PositionMarker::kDotColor)
        << "the marker's dot comes last";
}

TEST_F(MapRendererServices, AModeColouredRibbonAndTheMarkerAreDrawnOverTheRelief)
{
    const auto checker = texture(64, 64, [](int u, int v) {
        return (u / 8 + v / 8) % 2 == 0 ? Rgba{235, 225, 190, 255} : Rgba{170, 160, 130, 255};
    });
    for (int dx : {0, 1}) {
        for (int dy : {0, 1}) {
            const int x = 2 * kGrid.x + dx;
            const int y = 2 * kGrid.y + dy;
            renderer->appendDraw(checker, false, 64, 13, x, y, tileCorners(13, x, y), 1, 13, 0, true);
        }
    }
    renderer->buildTerrainMesh();

    // Across the plain, walked, then driven up the ridge's west flank.
    for (int step = 0; step <= 40; ++step) {
        renderer->trackPoints.push_back({gridPoint(40 + 2 * step, 60 + 3 * step),
            step < 20 ? std::optional(TravelMode::walking) : std::optional(TravelMode::automotive)});
    }
    const WorldPoint position = gridPoint(80, 110);
    renderer->userLocation = MapRenderer::UserLocation{position, 30};
    renderer->contentScale = 2;
    renderer->prepareOverlays();

    gpu::RenderTarget target(*context, kWidth, kHeight);
    renderer->encodeFrame(target.pass({0.56f, 0.73f, 0.93f, 1}));
    const platform::Image picture = velorin::textureImage(target);
    const auto colourAt = [&](WorldPoint point) {
        const Camera::Point screen = renderer->camera.screenPoint(point, lift(point));
        EXPECT_TRUE(screen.x >= 0 && screen.x < kWidth && screen.y >= 0 && screen.y < kHeight);
        const std::size_t at = (std::size_t(screen.y) * kWidth + std::size_t(screen.x)) * 4;
        return Rgba{int(picture.pixels[at]), int(picture.pixels[at + 1]), int(picture.pixels[at + 2]), 255};
    };
    const auto walked = colourAt(gridPoint(40 + 2 * 5, 60 + 3 * 5));
    EXPECT_TRUE(near(walked, {41, 199, 89, 255}, 4)) << walked[0] << " " << walked[1] << " " << walked[2];
    const auto driven = colourAt(gridPoint(40 + 2 * 30, 60 + 3 * 30));
    EXPECT_TRUE(near(driven, {38, 133, 255, 255}, 4)) << driven[0] << " " << driven[1] << " " << driven[2];
    const auto marker = colourAt(position);
    EXPECT_TRUE(near(marker, {28, 112, 245, 255}, 4)) << marker[0] << " " << marker[1] << " " << marker[2];

    writePicture(picture, kPictureName);
}
