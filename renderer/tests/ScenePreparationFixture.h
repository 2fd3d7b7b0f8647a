#pragma once

#include "RendererTestSupport.h"

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "map-data/TextureCache.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/Image.h"
#include "platform/ManualClock.h"
#include "platform/gpu/RenderTarget.h"
#include "renderer/Sky.h"
#include "renderer/TextureImage.h"
#include "testing/TemporaryFolder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <unordered_set>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>

using testing_support::RendererTest;
using testing_support::Rgba;
using velorin::Basemap;
using velorin::Camera;
using velorin::MapRenderer;
using velorin::TerrainService;
using velorin::TileKey;
using velorin::WorldPoint;

namespace {

// Synthetic hills around this point in the Massif Central: waves a few kilometres long.
const WorldPoint kValley = WorldPoint::fromLatitudeLongitude(45.2, 2.9);
constexpr double kHillsBaseMeters = 1500;
constexpr double kHillsAmplitudeMeters = 700;
constexpr double kHillsWavesPerWorld = 32768;
constexpr int kWidth = 480;
constexpr int kHeight = 320;

} // namespace

// A renderer over synthetic relief, with a texture cache on a manual clock and elevation
// downloads sent to a closed loopback port, so that only the grid on disk is ever there.
class ScenePreparation : public RendererTest {
protected:
    testing_support::TemporaryFolder folder;
    velorin::DiskStore store{folder / "cache", folder / "offline"};
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<TerrainService> service;

    void SetUp() override
    {
        RendererTest::SetUp();
        velorin::ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = "127.0.0.1:9";
        hosts.terrariumHost = "127.0.0.1:9";
        service = std::make_shared<TerrainService>(store, session, hosts, mainQueue, *clock);

        renderer->textures = cache;
        renderer->clock = clock;
        renderer->terrain = service;
        renderer->basemap = Basemap::planIGN;
        renderer->contentScale = 1;
        renderer->camera = pitched(kValley, 0.5);
        provideElevation(renderer->camera);
    }

    // Writes and loads the hills' grids that a camera's frame reads.
    void provideElevation(const Camera& camera)
    {
        const int terrainZoom = std::clamp(int(camera.zoom - std::log2(renderer->contentScale)) - 2, 5, 16);
        for (const auto& band : renderer->desiredTiles(camera.visibleRect(), camera, 0)) {
            for (const auto& key : TerrainService::tileKeys(terrainZoom - band.drop, band.rect)) {
                const bool ign = TerrainService::usesIGN(key.z, key.x, key.y);
                const auto file = folder / "cache"
                    / (ign ? TerrainService::diskKey(key.z, key.x, key.y)
                           : TerrainService::terrariumDiskKey(key.z, key.x, key.y));
                if (std::filesystem::exists(file))
                    continue;
                std::filesystem::create_directories(file.parent_path());
                velorin::ElevationGrid grid(velorin::kElevationGridCells);
                const double n = std::exp2(key.z);
                for (int row = 0; row < velorin::kElevationGridSide; ++row) {
                    for (int column = 0; column < velorin::kElevationGridSide; ++column) {
                        grid[std::size_t(row * velorin::kElevationGridSide + column)] = float(hills(
                            {(key.x + (column + 0.5) / velorin::kElevationGridSide) / n,
                                (key.y + (row + 0.5) / velorin::kElevationGridSide) / n}));
                    }
                }
                writeGrid(file, grid, ign);
                service->load(key);
                ASSERT_TRUE(service->contains(key));
            }
        }
    }

    // IGN grids as raw floats, coarser ones as Terrarium PNG.
    static void writeGrid(const std::filesystem::path& file, const velorin::ElevationGrid& grid, bool ign)
    {
        if (ign) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(grid.data()), std::streamsize(grid.size() * sizeof(float)));
            return;
        }
        platform::Image image{velorin::kElevationGridSide, velorin::kElevationGridSide, {}};
        for (float height : grid) {
            const double code = height + 32768;
            image.pixels.push_back(std::byte(int(code / 256)));
            image.pixels.push_back(std::byte(int(code) % 256));
            image.pixels.push_back(std::byte(int((code - std::floor(code)) * 256)));
            image.pixels.push_back(std::byte(255));
        }
        const auto png = platform::encodePng(image);
        ASSERT_TRUE(png);
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    }

    double hills(WorldPoint point) const
    {
        return kHillsBaseMeters
            + hillsAmplitudeMeters * std::sin(point.x * kHillsWavesPerWorld) * std::cos(point.y * kHillsWavesPerWorld);
    }

    double hillsAmplitudeMeters = kHillsAmplitudeMeters;

    // The service goes before the store and session it uses, which the renderer outlives.
    void TearDown() override { renderer->terrain.reset(); }

    static Camera pitched(WorldPoint center, double bearing)
    {
        Camera camera;
        camera.center = center;
        camera.zoom = 12.5;
        camera.viewSize = {kWidth, kHeight};
        camera.bearing = bearing;
        camera.pitch = 1.05;
        return camera;
    }

    // The picture of a tile that the loader delivers: a checker of its own by default.
    std::function<std::shared_ptr<gpu::Texture>(const TileKey&)> tileTexture = [](const TileKey&) {
        return texture(64, 64, [](int u, int v) {
            return (u / 8 + v / 8) % 2 == 0 ? Rgba{236, 226, 192, 255} : Rgba{70, 120, 60, 255};
        });
    };

    // Fills the cache with the texture of every wanted tile, as the loader would.
    void deliverWantedTiles()
    {
        for (const TileKey& key : renderer->desired) {
            if (!cache->contains(key))
                cache->insert(tileTexture(key), key);
        }
    }

    // Prepares frames until every wanted tile is there and faded in.
    void settle()
    {
        renderer->prepareScene(clock->now());
        deliverWantedTiles();
        clock->advance(2);
        renderer->prepareScene(clock->now());
        deliverWantedTiles();
        clock->advance(2);
        renderer->prepareScene(clock->now());
    }

    static platform::Image image(const gpu::RenderTarget& target) { return velorin::textureImage(target); }

    // Prepares frames until every tile of the view is there, hidden ones too, so that no
    // ancestor stands in for any.
    void settleWithEveryTile()
    {
        settle();
        for (int frame = 0; frame < 4; ++frame) {
            deliverWantedTiles();
            renderer->desired = renderer->lowPriority;
            deliverWantedTiles();
            clock->advance(2);
            renderer->prepareScene(clock->now());
        }
        for (const MapRenderer::Draw& draw : renderer->draws)
            ASSERT_GE(draw.uniforms.level, 0) << "no ancestor stands in";
    }

    // A tile's picture of the ground's place: its colours change slowly across the world, so
    // a tile and its ancestor show the same ground alike, and ground from behind a ridge
    // shows in another colour than the ridge.
    static std::shared_ptr<gpu::Texture> placeColours(const TileKey& key)
    {
        const auto& tile = std::get<TileKey::WebTile>(key.value);
        const double size = 1 / std::exp2(double(tile.z));
        constexpr double kRadiansPerWorldUnit = 2 * std::numbers::pi / 8e-4;
        return texture(64, 64, [&](int u, int v) {
            const double x = (double(tile.x) + (u + 0.5) / 64) * size;
            const double y = (double(tile.y) + (v + 0.5) / 64) * size;
            return Rgba{int(128 + 110 * std::sin(y * kRadiansPerWorldUnit)),
                int(128 + 110 * std::cos(x * kRadiansPerWorldUnit)), 90, 255};
        });
    }

};
