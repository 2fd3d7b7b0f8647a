#include "AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"

using testing_support::AppModelFixture;
using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::CameraInfo;

using AppModelCameraInfo = AppModelFixture;

namespace {

CameraInfo readout(double zoom)
{
    CameraInfo info;
    info.camera.zoom = zoom;
    info.eye = {velorin::WorldPoint::fromLatitudeLongitude(45.9, 6.8), 2400};
    return info;
}

TEST_F(AppModelCameraInfo, CameraChangesRefreshTheReadoutOnlyWhileThePreferenceIsOn)
{
    AppModel& model = makeModel();
    auto canvas = std::make_shared<FakeMapCanvas>();
    canvas->info = readout(12);
    model.setCanvas(canvas);
    EXPECT_FALSE(model.showsCameraInfo());
    model.cameraDidChange(canvas->info->camera.center, 12, 0);
    EXPECT_FALSE(model.cameraInfo()) << "off by default";

    model.setShowsCameraInfo(true);
    EXPECT_TRUE(readPreferences()->boolean(AppModel::kCameraInfoKey).value_or(false));
    model.cameraDidChange(canvas->info->camera.center, 12, 0);
    EXPECT_EQ(model.cameraInfo(), readout(12));

    model.setShowsCameraInfo(false);
    canvas->info = readout(14);
    model.cameraDidChange(canvas->info->camera.center, 14, 0);
    EXPECT_EQ(model.cameraInfo(), readout(12)) << "switching off leaves the last readout";
}

TEST_F(AppModelCameraInfo, AReadoutAskedForOnceTheCanvasIsGoneIsEmpty)
{
    storePreferences(R"({"Velorin.cameraInfo": true})");
    AppModel& model = makeModel();
    EXPECT_TRUE(model.showsCameraInfo());
    auto canvas = std::make_shared<FakeMapCanvas>();
    canvas->info = readout(10);
    model.setCanvas(canvas);
    model.refreshCameraInfo();
    ASSERT_TRUE(model.cameraInfo());
    canvas.reset();
    const int before = changes;
    model.refreshCameraInfo();
    EXPECT_FALSE(model.cameraInfo());
    EXPECT_GT(changes, before) << "the panel hears of it";
}

} // namespace
