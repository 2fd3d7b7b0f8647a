#include "RendererTestSupport.h"

#include "platform/gpu/Buffer.h"
#include "renderer/TextureImage.h"

#include <cmath>
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

// Where a person can look at the relief check: beside the test program, in the build tree.
constexpr const char* kPictureName = "relief-check.png";

} // namespace

// Draws one tile over a cone of elevation, under a checker texture, the way the renderer
// lays a map over relief, and writes the frame as a PNG. Its pixels must differ from the
// same tile drawn flat.
class ReliefCheck : public RendererTest {
protected:
    platform::Image render(bool relief)
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

        const auto checker = texture(256, 256, [](int u, int v) {
            return (u / 32 + v / 32) % 2 == 0 ? Rgba{235, 225, 190, 255} : Rgba{60, 110, 60, 255};
        });
        renderer->draws.clear();
        renderer->appendDraw(checker, false, 64, kTileLevel, x, y, corners, 1, kTileLevel, 0, true);
        const double radius = 0.35 / n;
        const auto cone = [&](WorldPoint p) {
            const double distance = std::hypot(p.x - middle.x, p.y - middle.y);
            return relief ? std::max(0.0, kPeakMeters * (1 - distance / radius)) : 0.0;
        };
        const auto vertices = MapRenderer::fillMeshVertices(renderer->draws[0].meshKey, cone);
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

    const auto png = platform::encodePng(relief);
    ASSERT_TRUE(png);
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kPictureName;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    std::cout << "relief check picture: " << path.string() << '\n';
    EXPECT_TRUE(std::filesystem::file_size(path) > 0);
}
