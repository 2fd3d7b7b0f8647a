#include "CanvasTestSupport.h"

#include "map-data/DiskStore.h"
#include "map-data/ElevationGrid.h"
#include "map-data/TerrainService.h"
#include "platform/HttpSession.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace velorin {
namespace {

constexpr double kDegree = std::numbers::pi / 180;
// An elevation tile in the Hohe Tauern, outside France so that its grid stands alone.
const TerrainService::Key kTauern {12, 2192, 1439};
constexpr double kPlateauMeters = 3000;

class CanvasOverTerrain : public testing_support::CanvasTest {
protected:
    DiskStore store {folder / "tiles", folder / "offline"};
    platform::HttpSession session;
    std::shared_ptr<TerrainService> terrain = makeTerrain();

    std::shared_ptr<TerrainService> makeTerrain()
    {
        // A plateau at 3000 m over the whole tile, in the raw grid format of the disk.
        const ElevationGrid grid(kElevationGridCells, float(kPlateauMeters));
        std::vector<std::byte> bytes(grid.size() * sizeof(float));
        std::memcpy(bytes.data(), grid.data(), bytes.size());
        store.writeNow(bytes, TerrainService::diskKey(kTauern.z, kTauern.x, kTauern.y));
        ServiceHosts hosts;
        hosts.scheme = "http";
        hosts.ignHost = hosts.terrariumHost = "127.0.0.1:9";
        auto service = std::make_shared<TerrainService>(store, session, hosts, *mainQueue, *clock);
        service->load(kTauern);
        return service;
    }
};

TEST_F(CanvasOverTerrain, APitchedEyeInsideTheReliefFlattensByWholeDegreesUntilItClearsTheGround)
{
    MapCanvasView::Environment environment {
        clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", {"velorin"}, {}};
    auto canvas = MapCanvasView::make(window, *context, library,
        MapCanvasView::Services{SheetCatalog{}, {}, {}, terrain, {}, {}}, std::move(environment));
    ASSERT_TRUE(canvas);
    canvas->layout();
    MapRenderer& renderer = canvas->renderer();
    ASSERT_EQ(renderer.terrain->elevationAt((kTauern.x + 0.5) / 4096, (kTauern.y + 0.5) / 4096, 12),
        kPlateauMeters);
    renderer.frame.frameHeightScale = 1;
    renderer.frame.frameTerrainZoom = kTauern.z;
    Camera& camera = renderer.camera;
    camera.center = {(kTauern.x + 0.5) / 4096, (kTauern.y + 0.15) / 4096};
    camera.zoom = 15;
    camera.pitch = 70 * kDegree;
    canvas->cameraDidChange();

    // Over a 3000 m plateau seen from zoom 15 in an 800-pixel view, the eye clears the
    // ground by 15 m up to a pitch of about 51.4°.
    EXPECT_NEAR(camera.pitch, 51 * kDegree, 1e-9);
    EXPECT_EQ(canvas->targetPitch(), camera.pitch);

    // From the plateau's own height the same view needs no flattening.
    renderer.frame.frameBaseElevation = kPlateauMeters;
    camera.pitch = 70 * kDegree;
    canvas->cameraDidChange();
    EXPECT_EQ(camera.pitch, 70 * kDegree);
}

TEST_F(CanvasOverTerrain, AnAltDragTowardsAValleyBeyondSightStillTurnsAboutTheEye)
{
    MapCanvasView::Environment environment {
        clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", {"velorin"}, {}};
    auto canvas = MapCanvasView::make(window, *context, library,
        MapCanvasView::Services{SheetCatalog{}, {}, {}, terrain, {}, {}}, std::move(environment));
    ASSERT_TRUE(canvas);
    canvas->layout();
    MapRenderer& renderer = canvas->renderer();
    renderer.frame.frameHeightScale = 1;
    renderer.frame.frameTerrainZoom = kTauern.z;
    renderer.frame.frameBaseElevation = kPlateauMeters;
    // On the plateau's southern rim, looking north across it; south of the rim the ground
    // falls 3000 m, to the lowland of the tiles not loaded.
    Camera camera = canvas->camera();
    camera.center = {(kTauern.x + 0.5) / 4096, (kTauern.y + 0.97) / 4096};
    camera.zoom = 17;
    camera.pitch = 80 * kDegree;
    camera.bearing = 0;
    canvas->applyCamera(camera, true);
    const Camera before = canvas->camera();
    const auto eye = renderer.eyePosition(before);
    for (double raise : {0.0, 2048.0})
        ASSERT_FALSE(renderer.cameraFromEye(eye.ground, eye.altitude + raise, std::numbers::pi, before.pitch, before))
            << "looking south, the line of sight meets no ground within sight, even " << raise << " m higher";

    // Alt-drag left: 300 points turn by a radian.
    canvas->dragBegan();
    canvas->dragChanged({-MapCanvasView::kTurnDragPoints * std::numbers::pi, 0}, {250, 200}, {.option = true});
    const Camera& after = canvas->camera();
    EXPECT_NEAR(std::abs(Camera::wrapAngle(after.bearing)), std::numbers::pi, 1e-6) << "the view turned to the valley";
    const double reach = std::hypot(before.center.x - eye.ground.x, before.center.y - eye.ground.y);
    EXPECT_NEAR(after.center.y, eye.ground.y + reach, 1e-12) << "aimed as far away as before";
    EXPECT_NEAR(after.center.x, eye.ground.x, 1e-12);
    // The eight steps that solve the pitch leave the eye where it was, give or take.
    const auto eyeAfter = renderer.eyePosition(after);
    EXPECT_LT(std::hypot(eyeAfter.ground.x - eye.ground.x, eyeAfter.ground.y - eye.ground.y), 0.1 * reach);
}

} // namespace
} // namespace velorin
