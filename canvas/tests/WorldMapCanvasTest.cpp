#include "CanvasTestSupport.h"

#include "map-data/TextureCache.h"
#include "platform/gpu/Texture.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace {

using testing_support::FakeMapView;
using velorin::AppleMapLayer;
using velorin::Basemap;
using velorin::Camera;
using velorin::MapCanvasView;
using velorin::WorldPoint;
using platform::MapCamera;

constexpr double kDegree = std::numbers::pi / 180;

// A canvas whose window hosts a fake world map, looking at the Alps at zoom 13.
class WorldMapCanvas : public testing_support::CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;
    int touches = 0;
    int interruptions = 0;
    std::vector<bool> pitchReports;

    void SetUp() override { window.hostsMaps = true; }

    void open(bool laidOut = true)
    {
        touches = interruptions = 0;
        pitchReports.clear();
        canvas = makeCanvas();
        canvas->onTouch = [this] { ++touches; };
        canvas->onCompassFollowingInterrupted = [this] { ++interruptions; };
        canvas->onPitchChanged = [this](bool pitched) { pitchReports.push_back(pitched); };
        if (laidOut) {
            canvas->layout();
            Camera camera = canvas->camera();
            camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.9);
            camera.zoom = 13;
            canvas->applyCamera(camera, true);
            runFrames(*canvas);
        }
        canvas->setBasemap(Basemap::applePlan);
    }
    FakeMapView& map() { return *window.map; }
    // Past the 1.5 s in which the canvas's camera overrides the map's own reports.
    void settle() { clock->advance(1.6); }
    // The map's camera now, tilted, turned or moved back.
    MapCamera shown(double pitchDegrees, double distanceFactor = 1, double headingDegrees = 0) const
    {
        MapCamera camera = window.map->shown;
        camera.pitch = pitchDegrees;
        camera.distance *= distanceFactor;
        camera.heading = headingDegrees;
        return camera;
    }
    MapCamera movedEast() const
    {
        MapCamera camera = window.map->shown;
        camera.longitude += 0.01;
        return camera;
    }
};

TEST_F(WorldMapCanvas, TheTwoCamerasFollowEachOtherByTheseRules)
{
    struct Case {
        const char* name;
        bool laidOut;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"a report before the first fit is ignored", false,
            [this] {
                const Camera before = canvas->camera();
                EXPECT_EQ(map().pushes, 0);
                map().userMoves(movedEast());
                EXPECT_EQ(canvas->camera().center, before.center);
            }},
        {"a report over a view without height is ignored", true,
            [this] {
                settle();
                const Camera before = canvas->camera();
                window.bounds = {500, 0.4};
                map().userMoves(movedEast());
                EXPECT_EQ(canvas->camera().center, before.center);
            }},
        {"a report holding a value that is not finite is ignored", true,
            [this] {
                settle();
                const Camera before = canvas->camera();
                MapCamera broken = movedEast();
                broken.distance = std::nan("");
                map().userMoves(broken);
                EXPECT_EQ(canvas->camera().center, before.center);
            }},
        {"the layer's first push carries the canvas's camera, and its report one more", true,
            [this] {
                EXPECT_EQ(map().pushes, 2);
                EXPECT_EQ(map().animatedPushes, 0);
                EXPECT_EQ(map().shown, AppleMapLayer::mapCamera(canvas->camera()));
            }},
        {"within the settle window a map report brings one push, its echo none", true,
            [this] {
                const Camera before = canvas->camera();
                map().mapMoves(movedEast());
                EXPECT_EQ(map().pushes, 3);
                EXPECT_EQ(canvas->camera().center, before.center);
                EXPECT_EQ(map().shown, AppleMapLayer::mapCamera(before));
            }},
        {"a user report ends the settle window, the glide and the wait for a fix, and is a touch", true,
            [this] {
                canvas->animateCamera(WorldPoint::fromLatitudeLongitude(45.95, 6.95), std::nullopt, true);
                ASSERT_TRUE(canvas->animation());
                ASSERT_TRUE(canvas->awaitingInitialLocation());
                const MapCamera moved = movedEast();
                map().userMoves(moved);
                EXPECT_EQ(canvas->appleSettlesUntil(), 0);
                EXPECT_FALSE(canvas->animation());
                EXPECT_FALSE(canvas->awaitingInitialLocation());
                EXPECT_EQ(touches, 1);
                EXPECT_NEAR(canvas->camera().center.longitude(), moved.longitude, 1e-9);
                // Later reports of the map's own are taken, not pushed over.
                const int pushes = map().pushes;
                map().mapMoves(movedEast());
                EXPECT_EQ(map().pushes, pushes);
                EXPECT_NEAR(canvas->camera().center.longitude(), moved.longitude + 0.01, 1e-9);
            }},
        {"a user turn stops compass following only past 0.05 rad", true,
            [this] {
                canvas->setCompassFollowing(true);
                map().userMoves(shown(0, 1, 2));
                EXPECT_TRUE(canvas->isCompassFollowing());
                map().userMoves(shown(0, 1, 4));
                EXPECT_FALSE(canvas->isCompassFollowing());
                EXPECT_EQ(interruptions, 1);
                EXPECT_NEAR(canvas->targetBearing(), 4 * kDegree, 1e-9);
            }},
        {"map reports are skipped while the canvas eases its bearing or pitch, or glides", true,
            [this] {
                settle();
                const Camera before = canvas->camera();
                canvas->setTargetBearing(before.bearing + 0.003);
                map().mapMoves(movedEast());
                canvas->setTargetBearing(before.bearing + 0.0015);
                canvas->set3D(true);
                map().mapMoves(movedEast());
                EXPECT_EQ(canvas->camera().center, before.center);
                canvas->set3D(false);
                canvas->animateCamera(WorldPoint::fromLatitudeLongitude(45.95, 6.95), std::nullopt, true);
                map().mapMoves(movedEast());
                EXPECT_EQ(canvas->camera().center, before.center);
            }},
        {"at one distance a map 0.2° flatter keeps the wanted pitch, 0.4° flatter becomes it", true,
            [this] {
                map().userMoves(shown(30));
                const int pushes = map().pushes;
                map().mapMoves(shown(29.8));
                EXPECT_NEAR(*canvas->appleWantedPitch(), 30 * kDegree, 1e-9);
                EXPECT_NEAR(canvas->camera().pitch, 30 * kDegree, 1e-9);
                EXPECT_EQ(map().pushes, pushes);
                map().mapMoves(shown(29.4));
                EXPECT_NEAR(*canvas->appleWantedPitch(), 29.4 * kDegree, 1e-9);
                EXPECT_NEAR(canvas->camera().pitch, 29.4 * kDegree, 1e-9);
                EXPECT_EQ(map().pushes, pushes);
            }},
        {"a map flattened at its ceiling is pushed back once, again only past a 2 % distance change", true,
            [this] {
                settle();
                Camera steep = canvas->camera();
                steep.pitch = 70 * kDegree;
                const int before = map().pushes;
                canvas->applyCamera(steep, true);
                // The canvas's push and one push back; the map stops at 60° both times.
                EXPECT_EQ(map().pushes, before + 2);
                EXPECT_EQ(map().shown.pitch, 60);
                EXPECT_NEAR(canvas->camera().pitch, 70 * kDegree, 1e-9);
                map().mapMoves(shown(60));
                map().mapMoves(shown(60, 1.01));
                EXPECT_EQ(map().pushes, before + 2);
                map().mapMoves(shown(60, 1.03));
                EXPECT_EQ(map().pushes, before + 3);
                EXPECT_NEAR(canvas->camera().pitch, 70 * kDegree, 1e-9);
            }},
        {"the pitch report fires once each time the map crosses 3°", true,
            [this] {
                for (double pitch : {1.0, 2.0, 5.0, 6.0, 2.0})
                    map().userMoves(shown(pitch));
                EXPECT_EQ(pitchReports, (std::vector<bool> {false, true, false}));
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open(c.laidOut);
        c.run();
        window.bounds = {500, 400};
    }
}

TEST_F(WorldMapCanvas, TheLayerLivesWhileAWorldBasemapIsShown)
{
    auto cache = std::make_shared<velorin::TextureCache>(clock);
    cache->insert(gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4)),
        velorin::TileKey::pyramid(1, 0, 0));
    canvas = makeCanvas({"velorin"}, {velorin::SheetCatalog {}, {}, cache, {}, {}, {}, {}});
    canvas->layout();
    canvas->setTrack({{WorldPoint {0.5, 0.5}, std::nullopt}, {WorldPoint {0.5001, 0.5}, std::nullopt}}, {});
    canvas->setShowsSlopes(true);
    canvas->setShowsAppleCommerce(true);

    canvas->setBasemap(Basemap::applePlan);
    ASSERT_TRUE(canvas->isAppleLayerShown());
    EXPECT_EQ(cache->usage().currentBytes, 0);
    const auto first = window.map;
    EXPECT_EQ(first->tiles.name, "plan");
    EXPECT_EQ(first->lines.size(), 2u);
    EXPECT_TRUE(first->overlay);
    EXPECT_TRUE(canvas->appleLayer()->showsCommerce());

    first->userMoves(shown(10));
    ASSERT_TRUE(canvas->applePitched());
    canvas->setBasemap(Basemap::appleSatellite);
    EXPECT_EQ(window.map, first);
    EXPECT_EQ(first->tiles.name, "satellite");
    EXPECT_TRUE(canvas->applePitched());

    canvas->setBasemap(Basemap::planIGN);
    EXPECT_FALSE(canvas->isAppleLayerShown());
    window.map.reset();
    EXPECT_EQ(first.use_count(), 1);
    EXPECT_FALSE(canvas->applePitched());
    EXPECT_FALSE(canvas->appleWantedPitch());
    EXPECT_FALSE(canvas->appleLastShown());
}

TEST_F(WorldMapCanvas, WhileTheWorldMapShowsTheCanvasNeitherDrawsNorRendersAndMarkersStandOnTheMap)
{
    open();
    const int draws = window.draws;
    canvas->ensureDisplayLink();
    EXPECT_EQ(runFrames(*canvas), MapCanvasView::kIdleFramesBeforeStop);
    EXPECT_EQ(window.draws, draws);

    const auto image = canvas->snapshot(500);
    EXPECT_EQ(window.grabs, 1);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 500);
    // The world map's tiles are its own: a snapshot of it is no map without tiles.
    EXPECT_EQ(canvas->writeSnapshot(folder / "world.jpg"), EXIT_SUCCESS);

    const WorldPoint centre = canvas->camera().center;
    const auto placements = canvas->markerPlacements({4}, {centre}, {0, 0, 500, 400});
    EXPECT_NEAR(placements.front().center.x, 250, 1e-6);
    EXPECT_NEAR(placements.front().center.y, 200, 1e-6);
    EXPECT_FALSE(placements.front().hidden);
}

TEST_F(WorldMapCanvas, AWindowWithoutAMapKeepsTheCanvasDrawing)
{
    window.hostsMaps = false;
    canvas = makeCanvas();
    canvas->layout();
    canvas->setBasemap(Basemap::appleSatellite);
    EXPECT_FALSE(canvas->isAppleLayerShown());
    const int draws = window.draws;
    runFrames(*canvas);
    EXPECT_GT(window.draws, draws);
}

} // namespace
