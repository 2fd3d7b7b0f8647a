#include "RendererTestSupport.h"

#include "map-data/ElevationGridCache.h"
#include "platform/gpu/Buffer.h"
#include "renderer/TextureImage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>

using testing_support::RendererTest;
using testing_support::Rgba;
using velorin::MapRenderer;
using velorin::MeshVertex;
using velorin::WorldPoint;

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 320;
constexpr int kTileLevel = 11;
constexpr double kPeakMeters = 2000;
// Low enough that no slope of the hill hides another from the camera.
constexpr double kGentlePeakMeters = 600;

// Where a person can look at the relief check: beside the test program, in the build tree.
constexpr const char* kPictureName = "relief-check.png";
constexpr const char* kShadingPictureName = "shading-check.png";

} // namespace

// Draws one tile over synthetic relief, the way the renderer lays a map over it, and reads
// the frame back.
class ReliefCheck : public RendererTest {
protected:
    using Relief = std::function<double(WorldPoint point, WorldPoint middle, double tileWidth)>;

    // A cone of elevation, or flat ground, under a checker texture.
    platform::Image render(bool relief)
    {
        const auto checker = texture(256, 256, [](int u, int v) {
            return (u / 32 + v / 32) % 2 == 0 ? Rgba{235, 225, 190, 255} : Rgba{60, 110, 60, 255};
        });
        return render(checker, [relief](WorldPoint p, WorldPoint middle, double width) {
            const double distance = std::hypot(p.x - middle.x, p.y - middle.y);
            return relief ? std::max(0.0, kPeakMeters * (1 - distance / (0.35 * width))) : 0.0;
        });
    }

    platform::Image render(const std::shared_ptr<gpu::Texture>& map, const Relief& relief)
    {
        const WorldPoint summit = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
        const int n = 1 << kTileLevel;
        const int x = int(summit.x * n);
        const int y = int(summit.y * n);
        const auto corners = tileCorners(kTileLevel, x, y);
        const WorldPoint middle{(x + 0.5) / n, (y + 0.5) / n};

        renderer->camera.center = middle;
        renderer->camera.zoom = 12.5;
        renderer->camera.bearing = 0.3;
        renderer->camera.pitch = 1.0;
        renderer->camera.focalLength = 1.5;
        renderer->camera.viewSize = {kWidth, kHeight};
        const double reliefFactor = std::sin(1.0) / std::sin(75 * std::numbers::pi / 180);
        renderer->frame.frameCos = std::cos(0.3);
        renderer->frame.frameSin = std::sin(0.3);
        renderer->frame.frameHeightScale = reliefFactor / middle.metersPerPixel(12.5);
        renderer->frame.frameTerrainZoom = 12;

        renderer->draws.clear();
        renderer->appendDraw(map, false, 64, kTileLevel, x, y, corners, 1, kTileLevel, 0, true);
        // The relief as elevation grids one level finer than the tile, as the terrain service
        // holds them.
        const int gridLevel = kTileLevel + 1;
        velorin::ElevationGridCache grids(4);
        for (int gy = 2 * y; gy <= 2 * y + 1; ++gy) {
            for (int gx = 2 * x; gx <= 2 * x + 1; ++gx) {
                velorin::ElevationGrid grid(velorin::kElevationGridCells);
                const double side = velorin::kElevationGridSide;
                for (int row = 0; row < velorin::kElevationGridSide; ++row) {
                    for (int column = 0; column < velorin::kElevationGridSide; ++column) {
                        const WorldPoint post{(gx + (column + 0.5) / side) / (2 * n), (gy + (row + 0.5) / side) / (2 * n)};
                        grid[std::size_t(row * velorin::kElevationGridSide + column)] = float(relief(post, middle, 1.0 / n));
                    }
                }
                grids.store({gridLevel, gx, gy}, std::move(grid));
            }
        }
        const auto vertices = MapRenderer::fillMeshVertices(
            renderer->draws[0].meshKey, [&](auto points, auto heights) { grids.elevations(points, gridLevel, heights); });
        renderer->draws[0].mesh = gpu::Buffer::of<MeshVertex>(*context, gpu::BufferKind::vertex, vertices);

        gpu::RenderTarget target(*context, kWidth, kHeight);
        renderer->encodeFrame(target.pass({0.56f, 0.73f, 0.93f, 1}));
        return velorin::textureImage(target);
    }
};

TEST_F(ReliefCheck, AConeOfElevationRisesOutOfTheFlatMapAndIsWrittenAsAPicture)
{
    const platform::Image relief = render(true);
    const platform::Image flat = render(false);
    ASSERT_EQ(relief.pixels.size(), std::size_t(kWidth) * kHeight * 4);
    ASSERT_EQ(flat.pixels.size(), relief.pixels.size());

    std::size_t changed = 0;
    for (std::size_t at = 0; at < relief.pixels.size(); at += 4) {
        if (!std::equal(relief.pixels.begin() + std::ptrdiff_t(at), relief.pixels.begin() + std::ptrdiff_t(at + 3),
                flat.pixels.begin() + std::ptrdiff_t(at)))
            ++changed;
        EXPECT_EQ(relief.pixels[at + 3], std::byte(0xff)) << "read-back images are opaque";
    }
    EXPECT_GT(changed, std::size_t(kWidth) * kHeight / 20) << "the cone moves at least a twentieth of the frame";

    writePicture(relief, kPictureName);
}

TEST_F(ReliefCheck, ASmoothHillIsShadedWithoutStepsAlongTheMeshTriangles)
{
    // A grey map over a round hill: only the shading changes from pixel to pixel.
    const platform::Image picture = render(plain({200, 200, 200, 255}), [](WorldPoint p, WorldPoint middle, double width) {
        const double r = std::hypot(p.x - middle.x, p.y - middle.y) / (0.25 * width);
        return kGentlePeakMeters * std::exp(-r * r);
    });
    writePicture(picture, kShadingPictureName);
    const auto grey = [&](int x, int y) { return int(picture.pixels[(std::size_t(y) * kWidth + std::size_t(x)) * 4]); };
    const auto ground = [&](int x, int y) {
        const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
        return picture.pixels[at] == picture.pixels[at + 1] && picture.pixels[at + 1] == picture.pixels[at + 2];
    };
    int largestStep = 0;
    int shades = 0;
    for (int y = 1; y < kHeight; ++y) {
        for (int x = 1; x < kWidth; ++x) {
            if (!ground(x, y) || !ground(x - 1, y) || !ground(x, y - 1))
                continue;
            largestStep = std::max({largestStep, std::abs(grey(x, y) - grey(x - 1, y)), std::abs(grey(x, y) - grey(x, y - 1))});
            shades += grey(x, y) < 180;
        }
    }
    EXPECT_GT(shades, kWidth * kHeight / 50) << "the slopes turned from the light are shaded";
    EXPECT_LE(largestStep, 3);
}
