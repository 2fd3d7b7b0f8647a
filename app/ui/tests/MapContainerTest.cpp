#include "app/ui/MapContainer.h"

#include "app/CanvasPortAdapter.h"

#include "app/tests/AppModelFixture.h"
#include "testing/TestApplication.h"
#include "canvas/CanvasWindow.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"

using velorin::MapCanvasView;
using velorin::MapContainer;

namespace {

// A window that draws nothing and never runs frames.
class StillWindow final : public velorin::CanvasWindow {
public:
    velorin::Camera::Size boundsInPoints() const override { return {400, 300}; }
    double screenScale() const override { return 1; }
    void draw() override { }
    void startDisplayLink() override { }
    void stopDisplayLink() override { }
    void setPreferredFrameRate(std::optional<double>) override { }
};

class MapContainerTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    std::shared_ptr<MapCanvasView> makeCanvas()
    {
        MapCanvasView::Environment environment {clock, mainQueue, readPreferences(),
            folder / "VelorinGestes.log", {"velorin"}, {}};
        return MapCanvasView::make(window, *context, shaders, MapCanvasView::Services {velorin::SheetCatalog {}, {}, {}, {}, {}, {}}, std::move(environment));
    }

    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary shaders {gpu::ShaderLibrary::defaultFolder()};
    StillWindow window;
};

} // namespace

TEST_F(MapContainerTest, TheCanvasReportsReachTheModel)
{
    auto& model = makeModel();
    auto canvas = makeCanvas();
    ASSERT_TRUE(canvas);
    MapContainer::wireCallbacks(*canvas, &model);

    velorin::Camera camera = canvas->camera();
    camera.zoom = 13;
    camera.bearing = 0.5;
    canvas->onCameraChanged(camera);
    EXPECT_EQ(model.zoom(), 13);
    EXPECT_EQ(model.bearing(), 0.5);

    canvas->onPitchChanged(true);
    EXPECT_TRUE(model.is3D());
    canvas->onPitchChanged(false);
    EXPECT_FALSE(model.is3D());

    model.setIsFollowingUser(true);
    canvas->onUserInteraction();
    EXPECT_FALSE(model.isFollowingUser());

    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    model.revealControls();
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model.areControlsVisible());
    canvas->onTouch();
    EXPECT_TRUE(model.areControlsVisible()) << "a touch on the map shows the controls";

    model.toggleCompassFollowing();
    const bool following = model.isCompassFollowing();
    canvas->onCompassFollowingInterrupted();
    EXPECT_FALSE(model.isCompassFollowing()) << "was " << following;

    const std::vector<velorin::CameraPose> poses(60, velorin::CameraPose {0.5, 0.35, 14, 0, 1, 1.5, 1280, 720});
    canvas->onAnimationRecorded("Survol · Lac Blanc", velorin::Basemap::orthophoto, poses, std::nullopt);
    ASSERT_EQ(model.captures().videos().size(), 1u);
    EXPECT_EQ(model.captures().videos()[0].basemap, "orthophoto");
    EXPECT_EQ(model.captures().videos()[0].frameRate, 30);
    EXPECT_EQ(model.captures().videos()[0].poses, poses);

    canvas->onPhotoTapped(2);
    EXPECT_EQ(model.viewedPhotoIndex(), 2);
    EXPECT_EQ(model.viewedPhotos(), model.trackPhotos());
}

TEST_F(MapContainerTest, AModelGoneBeforeTheCanvasMakesEveryReportANoOp)
{
    makeModel();
    auto canvas = makeCanvas();
    ASSERT_TRUE(canvas);
    MapContainer::wireCallbacks(*canvas, model.get());
    model.reset();
    canvas->onCameraChanged(canvas->camera());
    canvas->onTouch();
    canvas->onUserInteraction();
    canvas->onPitchChanged(true);
    canvas->onCompassFollowingInterrupted();
    canvas->onFlight(std::nullopt);
    canvas->onAnimationRecorded("Survol", velorin::Basemap::planIGN, {}, std::nullopt);
    canvas->onPhotoTapped(0);
    SUCCEED();
}

TEST_F(MapContainerTest, TheModelsZoomStepZoomsAboutTheMiddleOfTheView)
{
    makeModel();
    auto canvas = makeCanvas();
    ASSERT_TRUE(canvas);
    canvas->layout();
    velorin::CanvasPortAdapter port(canvas);
    const double before = canvas->camera().zoom;
    const velorin::WorldPoint centre = canvas->camera().center;
    port.adjustFlyoverDistance(1);
    for (int frame = 0; frame < 60; ++frame) {
        clock->advance(1.0 / 60);
        canvas->step(clock->now(), clock->now() + 1.0 / 60);
    }
    EXPECT_NEAR(canvas->camera().zoom, before + 1, 1e-9);
    EXPECT_NEAR(canvas->camera().center.x, centre.x, 1e-9);
    EXPECT_NEAR(canvas->camera().center.y, centre.y, 1e-9);
}

TEST_F(MapContainerTest, TheFlightAndFlyoverReportsReachTheModel)
{
    auto& model = makeModel();
    auto canvas = makeCanvas();
    ASSERT_TRUE(canvas);
    MapContainer::wireCallbacks(*canvas, &model);
    model.setTrackPhotos({ velorin::TrackPhoto { "photo-1", {}, {} } });

    canvas->onFlight(std::pair<std::string, double>("Vol vers Lac Blanc", 1200));
    ASSERT_TRUE(model.flight());
    EXPECT_EQ(model.flight()->first, "Vol vers Lac Blanc");
    EXPECT_EQ(model.flight()->second, 1200);
    canvas->onFlyoverProgress(0.5);
    EXPECT_EQ(model.flyoverProgress(), std::optional<double>(0.5));
    canvas->onFlyoverPosition(100, 400);
    EXPECT_EQ(model.flyoverPosition(), (velorin::AppModel::FlyoverPosition { 100, 400 }));
    canvas->onFlyoverPhoto(0);
    EXPECT_EQ(model.flyoverPhotoIndex(), std::optional<int>(0));
    model.toggleFlyoverPause();
    canvas->onFlyoverEnded();
    EXPECT_FALSE(model.isFlyoverPaused());
    EXPECT_FALSE(model.flyoverPhotoIndex());
    canvas->onFlight(std::nullopt);
    canvas->onFlyoverProgress(std::nullopt);
    EXPECT_FALSE(model.flight());
    EXPECT_FALSE(model.flyoverProgress());
}

TEST_F(MapContainerTest, OnlyATrackTheCanvasFliesOverSetsTheModelFlying)
{
    struct Case {
        double lengthMeters;
        bool flies;
    };
    for (const Case& c : { Case { 30, false }, Case { 600, true } }) {
        auto& model = makeModel();
        auto canvas = makeCanvas();
        ASSERT_TRUE(canvas);
        canvas->layout();
        MapContainer::wireCallbacks(*canvas, &model);
        auto port = std::make_shared<velorin::CanvasPortAdapter>(canvas);
        model.setCanvas(port);
        auto& store = model.tracks().store();
        velorin::Track track;
        track.metadata = store.create("Col de Balme", now);
        for (int i = 0; i < 3; ++i)
            track.points.push_back(
                { 46.02 + i * c.lengthMeters / 2 / 111195.0, 6.97, 2191, now + std::chrono::minutes(i), 10, {} });
        store.writePoints(track.points, track.metadata.id);
        model.openTrack(track);
        model.toggleFlyover();
        EXPECT_EQ(model.isFlyingOver(), c.flies) << c.lengthMeters << " m";
        EXPECT_EQ(canvas->flyover().has_value(), c.flies) << c.lengthMeters << " m";
        if (c.flies) {
            model.stopFlyover();
            EXPECT_FALSE(model.isFlyingOver()) << "the canvas reports the end";
        }
    }
}
