#include "RendererTestSupport.h"

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "testing/TemporaryFolder.h"

#include <filesystem>
#include <fstream>

using testing_support::RendererTest;
using testing_support::Rgba;
using velorin::TerrainService;
using velorin::WorldPoint;

namespace {

// A grid inside France, every cell 800 m high, kept in the disk store so that the service
// reads it at once.
const TerrainService::Key kParis{12, 2074, 1409};
constexpr float kPlateauMeters = 800;

} // namespace

class TerrainRelief : public RendererTest {
protected:
    testing_support::TemporaryFolder folder;
    velorin::DiskStore store{folder / "cache", folder / "offline"};
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    std::shared_ptr<TerrainService> service;

    void SetUp() override
    {
        RendererTest::SetUp();
        const auto file = folder / "cache" / TerrainService::diskKey(kParis.z, kParis.x, kParis.y);
        std::filesystem::create_directories(file.parent_path());
        const velorin::ElevationGrid plateau(velorin::kElevationGridCells, kPlateauMeters);
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(plateau.data()), std::streamsize(plateau.size() * sizeof(float)));
        service = std::make_shared<TerrainService>(store, session, velorin::ServiceHosts{}, mainQueue, clock);
        service->load(kParis);
        ASSERT_EQ(service->elevationAt((kParis.x + 0.5) / 4096, (kParis.y + 0.5) / 4096, 12), kPlateauMeters);

        renderer->camera.center = {(kParis.x + 0.5) / 4096, (kParis.y + 0.5) / 4096};
        renderer->camera.zoom = 13; // the grid is 512 pixels wide
        renderer->camera.viewSize = {200, 150};
        renderer->camera.focalLength = 1.5;
        renderer->camera.pitch = 0.9;
        renderer->frame.frameHeightScale = 0.05;
        renderer->frame.frameTerrainZoom = 12;
    }

    // The service goes before the store and session it uses, which the renderer outlives.
    void TearDown() override { renderer->terrain.reset(); }

    // A frame of the grid's four level-13 tiles under a checker map.
    std::vector<std::uint8_t> drawPlateau()
    {
        const auto checker = texture(64, 64, [](int u, int v) {
            return (u / 8 + v / 8) % 2 == 0 ? Rgba{250, 250, 250, 255} : Rgba{20, 20, 20, 255};
        });
        renderer->draws.clear();
        renderer->meshes.clear();
        for (int dx : {0, 1}) {
            for (int dy : {0, 1}) {
                const int x = 2 * kParis.x + dx;
                const int y = 2 * kParis.y + dy;
                renderer->appendDraw(checker, false, 16, 13, x, y, tileCorners(13, x, y), 1, 13, 0, true);
            }
        }
        renderer->buildTerrainMesh();
        return drawFrame(200, 150);
    }
};

TEST_F(TerrainRelief, MeshesStandOnTheTerrainServiceElevations)
{
    const auto flat = drawPlateau();
    renderer->terrain = service;
    const auto lifted = drawPlateau();
    std::size_t changed = 0;
    for (std::size_t at = 0; at < flat.size(); at += 4)
        changed += flat[at] != lifted[at] ? 1 : 0;
    EXPECT_GT(changed, flat.size() / 4 / 10) << "the plateau rises 40 pixels towards the eye";
}

TEST_F(TerrainRelief, ReliefCanLiftAQuadFromBelowTheViewIntoIt)
{
    // 120 to 140 pixels behind the centre, towards the viewer: below the view's bottom
    // margin on flat ground, inside it once lifted by 800 m × 0.05 pixels a metre.
    const double pixel = 1.0 / (256.0 * 8192);
    const WorldPoint c = renderer->camera.center;
    const std::array<WorldPoint, 4> quad{{{c.x - 10 * pixel, c.y + 120 * pixel}, {c.x + 10 * pixel, c.y + 120 * pixel},
        {c.x + 10 * pixel, c.y + 140 * pixel}, {c.x - 10 * pixel, c.y + 140 * pixel}}};
    EXPECT_FALSE(renderer->isQuadVisible(quad));
    renderer->terrain = service;
    EXPECT_TRUE(renderer->isQuadVisible(quad));
    // The flat view depth ignores the relief.
    EXPECT_NEAR(renderer->viewDepth(quad[0]), 225 - 120 * std::sin(0.9), 1e-6);
}
