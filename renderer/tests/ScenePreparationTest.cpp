#include "ScenePreparationFixture.h"

namespace {

// Where a person can look at the pitched scene: beside the test program.
constexpr const char* kPictureName = "scene-check.png";

} // namespace

TEST_F(ScenePreparation, DetailBandsGoFromFarToNearWithTheFinerLevelsLimitedToThree)
{
    const auto visible = renderer->camera.visibleRect();
    const auto bands = renderer->desiredTiles(visible, std::nullopt, 3);
    ASSERT_GE(bands.size(), 4u);
    for (std::size_t at = 1; at < bands.size(); ++at) {
        EXPECT_LT(bands[at].drop, bands[at - 1].drop);
        EXPECT_EQ(bands[at].far, bands[at - 1].near) << "bands meet";
    }
    EXPECT_GE(bands.back().drop, -3) << "a band without ground in view is left out";

    EXPECT_EQ(renderer->desiredTiles(visible, std::nullopt, 5), bands);
    EXPECT_EQ(renderer->desiredTiles(visible, std::nullopt, -1), renderer->desiredTiles(visible, std::nullopt, 0));

    Camera flat = renderer->camera;
    flat.pitch = 0;
    const auto whole = renderer->desiredTiles(visible, flat, 3);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].whole);
    EXPECT_EQ(whole[0].rect, visible);
}

TEST_F(ScenePreparation, TheElevationZoomIsTwoLevelsBelowTheDisplayAndWithinFiveToSixteen)
{
    struct Case {
        double zoom;
        double scale;
        int terrainZoom;
    };
    for (const Case& c : {Case{14, 2, 11}, Case{6, 2, 5}, Case{20, 1, 16}}) {
        renderer->camera.zoom = c.zoom;
        renderer->contentScale = c.scale;
        renderer->prepareScene(clock->now());
        EXPECT_EQ(renderer->frame.frameTerrainZoom, c.terrainZoom) << c.zoom;
        EXPECT_GT(renderer->frame.frameHeightScale, 0);
    }
}

TEST_F(ScenePreparation, AFlatCameraDrawsNoReliefAndWantsItsTilesNearestFirst)
{
    renderer->camera.pitch = 0;
    renderer->frame.frameTerrainZoom = 3;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->frame.frameHeightScale, 0);
    EXPECT_EQ(renderer->frame.frameTerrainZoom, 3) << "no elevation work for a flat map";
    EXPECT_FALSE(renderer->smoothedBase);
    EXPECT_TRUE(renderer->skyVertices().empty());
    ASSERT_FALSE(renderer->desired.empty());
    EXPECT_EQ(renderer->desired, renderer->nearDesired);
    const auto& first = std::get<TileKey::WebTile>(renderer->desired.front().value);
    const double n = std::exp2(double(first.z));
    EXPECT_EQ(first.x, std::int64_t(kValley.x * n));
    EXPECT_EQ(first.y, std::int64_t(kValley.y * n));
}

TEST_F(ScenePreparation, EachPreparationStartsAFreshFrameAndNotesWhenThePoseChanged)
{
    renderer->prepareScene(clock->now());
    const int first = renderer->frameNumber;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->frameNumber, first + 1);
    EXPECT_EQ(renderer->poseChangedFrame, 0);
    const std::size_t drawCount = renderer->draws.size();
    const std::size_t wantedCount = renderer->desired.size();

    renderer->camera.bearing += 0.1;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->poseChangedFrame, renderer->frameNumber);
    renderer->camera.bearing -= 0.1;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->draws.size(), drawCount) << "draws are not carried over";
    EXPECT_EQ(renderer->desired.size(), wantedCount);
}

TEST_F(ScenePreparation, TheBaseElevationEasesOverLiveFramesAndRestartsAfterAPause)
{
    renderer->prepareScene(clock->now());
    const double start = renderer->frame.frameBaseElevation;
    EXPECT_GT(start, kHillsBaseMeters - kHillsAmplitudeMeters - 1);

    // A jump to other ground is eased in, unless frames have paused half a second.
    renderer->camera.center.x += 0.3 / 512;
    clock->advance(0.1);
    renderer->prepareScene(clock->now());
    const double target = service->elevationAt(
        renderer->camera.center.x, renderer->camera.center.y, renderer->frame.frameTerrainZoom);
    ASSERT_GT(std::abs(target - start), 50);
    const double eased = start + (target - start) * (1 - std::exp(-0.1 / 0.2));
    EXPECT_NEAR(renderer->frame.frameBaseElevation, eased, 1e-6);

    clock->advance(0.5);
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->frame.frameBaseElevation, target);
}

TEST_F(ScenePreparation, AnOffscreenFrameIsClearedByThePitchAndShowsTexturedHills)
{
    settle();
    ASSERT_FALSE(renderer->draws.empty());
    for (const MapRenderer::Draw& draw : renderer->draws)
        EXPECT_TRUE(draw.mesh);

    const auto relief = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(relief);
    const platform::Image picture = image(*relief);
    writePicture(picture, kPictureName);

    // The ground shows both checker colours below the horizon.
    const auto at = [&](int x, int y) {
        const std::size_t offset = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
        return Rgba{int(picture.pixels[offset]), int(picture.pixels[offset + 1]), int(picture.pixels[offset + 2]), 255};
    };
    int light = 0;
    int dark = 0;
    for (int y = kHeight / 2; y < kHeight; y += 4) {
        for (int x = 0; x < kWidth; x += 4) {
            const Rgba colour = at(x, y);
            light += colour[0] > 150 && colour[2] > 120;
            dark += colour[1] > colour[0] + 20 && colour[1] < 160;
        }
    }
    EXPECT_GT(light, 200);
    EXPECT_GT(dark, 200);

    // Without relief the same scene lies differently on the screen.
    renderer->terrain.reset();
    settle();
    const auto flat = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(flat);
    EXPECT_NE(image(*flat).pixels, picture.pixels);
}

TEST_F(ScenePreparation, AnOffscreenFrameOfAnEmptySceneIsTheClearColourAndABadSizeGivesNothing)
{
    renderer->camera.pitch = 0.1;
    const auto frame = renderer->renderOffscreen(32, 24);
    ASSERT_TRUE(frame);
    const auto rgba = frame->readRGBA();
    const auto clear = velorin::Sky::clearColor(0.1);
    const Rgba expected{
        int(std::lround(clear[0] * 255)), int(std::lround(clear[1] * 255)), int(std::lround(clear[2] * 255)), 255};
    EXPECT_TRUE(near(pixel(rgba, 32, 3, 20), expected, 1));
    EXPECT_TRUE(near(pixel(rgba, 32, 30, 2), expected, 1));

    for (const auto& [width, height] : {std::pair{0, 24}, std::pair{32, -1}, std::pair{1 << 20, 4}}) {
        renderer->preparedFlightOrder.emplace();
        EXPECT_FALSE(renderer->renderOffscreen(width, height)) << width << "×" << height;
        EXPECT_TRUE(renderer->preparedFlightOrder) << "nothing was encoded";
    }
}

TEST_F(ScenePreparation, AFlightSceneLeavesTheLiveFrameAsItWasAndPutsItsOwnBackUnchanged)
{
    settle();
    const Camera live = renderer->camera;
    const MapRenderer::SavedFrame liveFrame = renderer->savedFrame();

    // Far from the loaded tiles: not ready, and it says what it waits for.
    const Camera elsewhere = pitched({kValley.x + 0.01, kValley.y}, 0);
    EXPECT_FALSE(renderer->flightScene(elsewhere));
    EXPECT_EQ(renderer->camera, live);
    EXPECT_EQ(renderer->savedFrame(), liveFrame);
    ASSERT_FALSE(renderer->flightWaits.empty());
    EXPECT_TRUE(renderer->flightWaits.front().starts_with("relief z") || renderer->flightWaits.front().starts_with("tuiles "));
    EXPECT_FALSE(renderer->preparingFlightFrame);

    // Over the loaded tiles, turned a little: ready once its own tiles are there.
    const Camera turned = pitched(kValley, 0.55);
    provideElevation(turned);
    renderer->flightReadiness(turned);
    deliverWantedTiles();
    renderer->restoreFrameState(live, liveFrame);
    const auto scene = renderer->flightScene(turned);
    ASSERT_TRUE(scene) << (renderer->flightWaits.empty() ? "" : renderer->flightWaits.front());
    EXPECT_EQ(scene->camera, turned);
    EXPECT_EQ(renderer->camera, live);
    EXPECT_EQ(renderer->savedFrame(), liveFrame);
    EXPECT_FALSE(renderer->preparedFlightCamera);
    EXPECT_EQ(renderer->flightPreparationProgress, 1);

    // The frame just prepared is the flight's; its restore brings it back over a live one.
    std::vector<std::shared_ptr<gpu::Buffer>> meshes;
    for (const MapRenderer::Draw* draw : renderer->orderedDraws())
        meshes.push_back(draw->mesh);
    renderer->prepareScene(clock->now());
    clock->advance(3);
    scene->restore(*renderer);
    EXPECT_EQ(renderer->camera, turned);
    EXPECT_EQ(renderer->preparedFlightCamera, turned);
    EXPECT_DOUBLE_EQ(renderer->frame.frameCos, std::cos(0.55));
    ASSERT_TRUE(renderer->smoothedBase);
    EXPECT_EQ(renderer->smoothedBase->value, renderer->frame.frameBaseElevation);
    EXPECT_EQ(renderer->smoothedBase->at, clock->now());
    EXPECT_TRUE(renderer->preparedFlightSky);
    ASSERT_TRUE(renderer->preparedFlightOrder);
    ASSERT_EQ(renderer->preparedFlightOrder->size(), meshes.size());
    for (std::size_t at = 0; at < meshes.size(); ++at) {
        EXPECT_TRUE((*renderer->preparedFlightOrder)[at].texture);
        EXPECT_EQ((*renderer->preparedFlightOrder)[at].mesh, meshes[at]) << "meshes are shared, in drawing order";
    }

    // Held by the canvas, the scene is put back by each frame update for its camera, and
    // the scene is not prepared again until the camera moves.
    renderer->heldFlightScene = scene;
    const int frames = renderer->frameNumber;
    for (int frame = 0; frame < 2; ++frame) {
        renderer->updateFrame(clock->now());
        EXPECT_EQ(renderer->frameNumber, frames);
        EXPECT_EQ(renderer->draws.size(), meshes.size());
        renderer->preparedFlightOrder.reset();
    }
    renderer->camera = live;
    renderer->updateFrame(clock->now());
    EXPECT_EQ(renderer->frameNumber, frames + 1);
    EXPECT_FALSE(renderer->heldFlightScene);
}

TEST_F(ScenePreparation, ScreenPointsStandOnTheReliefAndFarPointsAheadAreTold)
{
    renderer->prepareScene(clock->now());
    const double s = renderer->camera.scale();
    const double metersPerUnit = kValley.metersPerWorldUnit();
    // The top of the view faces the bearing: ahead is (sin, −cos) in world units.
    const auto ahead = [&](double meters) {
        const double units = meters / metersPerUnit;
        return WorldPoint{kValley.x + std::sin(0.5) * units, kValley.y - std::cos(0.5) * units};
    };

    const auto centre = renderer->screenPoint(kValley);
    ASSERT_TRUE(centre);
    const double lift = (service->elevationAt(kValley.x, kValley.y, renderer->frame.frameTerrainZoom)
                            - renderer->frame.frameBaseElevation)
        * renderer->frame.frameHeightScale;
    const auto expected = renderer->camera.project({0, 0}, lift);
    ASSERT_TRUE(expected);
    EXPECT_NEAR(centre->x, expected->point.x, 1e-6);
    EXPECT_NEAR(centre->y, expected->point.y, 1e-6);
    EXPECT_NEAR(centre->x, kWidth / 2.0, 1e-6);

    const double behindEye = 2 * renderer->camera.focalDistance() / s * metersPerUnit;
    EXPECT_FALSE(renderer->screenPoint(ahead(-behindEye)));
    EXPECT_TRUE(renderer->isFarAhead(ahead(6000)));
    EXPECT_FALSE(renderer->isFarAhead(ahead(4000)));
    EXPECT_FALSE(renderer->isFarAhead(ahead(-20000)));
}

TEST_F(ScenePreparation, TheMarkerIsLaidOverEachFrameButNotOverAFlightFrameStillWaiting)
{
    renderer->userLocation = MapRenderer::UserLocation{kValley, 30};
    renderer->prepareScene(clock->now());
    EXPECT_FALSE(renderer->solidVertices.empty());

    EXPECT_FALSE(renderer->flightReadiness(pitched({kValley.x + 0.01, kValley.y}, 0)));
    EXPECT_TRUE(renderer->solidVertices.empty());
}

// Hills steep enough that the relief moves the ground by more than a detail band's width.
class SteepScene : public ScenePreparation {
protected:
    SteepScene() { hillsAmplitudeMeters = 1600; }

    // Sky pixels below the highest ground pixel of their column: holes in the ground.
    static int holes(const platform::Image& picture)
    {
        const auto sky = [&](int x, int y) {
            const std::size_t at = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
            return int(picture.pixels[at + 2]) > int(picture.pixels[at]) + 40;
        };
        int count = 0;
        for (int x = 0; x < kWidth; ++x) {
            int y = 0;
            while (y < kHeight && sky(x, y))
                ++y;
            for (; y < kHeight; ++y)
                count += sky(x, y);
        }
        return count;
    }
};

TEST_F(SteepScene, NoSkyShowsThroughTheGroundWhereDetailBandsMeet)
{
    // Pitches from which the eye stays above the hills at every bearing.
    for (double pitch : {0.8, 1.05, 1.25, 1.3}) {
        for (double bearing : {0.0, 0.8, 1.6, 2.4, 3.2, 4.0, 4.8, 5.6}) {
            renderer->camera = pitched(kValley, bearing);
            renderer->camera.pitch = pitch;
            provideElevation(renderer->camera);
            settleWithEveryTile();
            const auto frame = renderer->renderOffscreen(kWidth, kHeight);
            ASSERT_TRUE(frame);
            EXPECT_EQ(holes(image(*frame)), 0) << "pitch " << pitch << ", bearing " << bearing;
        }
    }
}

namespace {

// Pixels of the nearer ground, below the top third of the view, whose colours differ clearly.
std::size_t differingPixels(const platform::Image& a, const platform::Image& b)
{
    std::size_t count = 0;
    for (std::size_t at = std::size_t(kWidth * kHeight / 3) * 4; at + 3 < a.pixels.size(); at += 4) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            if (std::abs(int(a.pixels[at + channel]) - int(b.pixels[at + channel])) > 40) {
                ++count;
                break;
            }
        }
    }
    return count;
}

} // namespace

TEST_F(SteepScene, AnAncestorStandingInForItsTilesHidesWhatTheyWouldHide)
{
    renderer->camera = pitched(kValley, 0.8);
    renderer->camera.pitch = 1.25;
    provideElevation(renderer->camera);
    tileTexture = placeColours;
    settleWithEveryTile();
    const auto own = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(own);
    const platform::Image withTiles = image(*own);

    // Only the parents of the tiles in view are there: they stand in, drawn on the relief.
    std::set<std::tuple<std::int64_t, std::int64_t, std::int64_t>> parents;
    for (const TileKey& key : renderer->nearDesired) {
        const auto& tile = std::get<TileKey::WebTile>(key.value);
        parents.insert({tile.z - 1, tile.x / 2, tile.y / 2});
    }
    cache->clear();
    for (const auto& [z, x, y] : parents) {
        const TileKey parent = TileKey::webTile(renderer->basemap.index(), z, x, y);
        cache->insert(tileTexture(parent), parent);
    }
    clock->advance(2);
    renderer->prepareScene(clock->now());
    std::size_t standIns = 0;
    for (const MapRenderer::Draw& draw : renderer->draws)
        standIns += draw.uniforms.level < 0;
    ASSERT_GT(standIns, 0u);
    const auto standing = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(standing);
    const platform::Image withParents = image(*standing);
    writePicture(withParents, "stand-in-check.png");

    EXPECT_LT(differingPixels(withTiles, withParents), std::size_t(kWidth * kHeight / 400))
        << "the parents show the ground the tiles show, ridge over valley";
}

TEST_F(SteepScene, ATileDrawnOverItsStandInShowsNothingOfIt)
{
    renderer->camera = pitched(kValley, 0.8);
    provideElevation(renderer->camera);
    renderer->prepareScene(clock->now());
    const int z = 13;
    const double n = std::exp2(z);
    const int x = int(kValley.x * n) & ~1;
    const int y = int(kValley.y * n) & ~1;
    // The four tiles of one parent in blue, over the parent standing in for them in red.
    const auto render = [&](bool standIn) {
        renderer->draws.clear();
        if (standIn)
            renderer->appendDraw(plain({220, 0, 0, 255}), false, 32, 0, 0, 0, tileCorners(z - 1, x / 2, y / 2), 1, z - 1 - 40, 0, true);
        for (int dx = 0; dx < 2; ++dx) {
            for (int dy = 0; dy < 2; ++dy)
                renderer->appendDraw(plain({0, 0, 220, 255}), false, 16, z, x + dx, y + dy, tileCorners(z, x + dx, y + dy), 1, z, 0, true);
        }
        renderer->buildTerrainMesh();
        const auto frame = renderer->renderOffscreen(kWidth, kHeight);
        EXPECT_TRUE(frame);
        return image(*frame);
    };
    const auto at = [](const platform::Image& picture, int px, int py, int channel) {
        return int(picture.pixels[(std::size_t(py) * kWidth + std::size_t(px)) * 4 + std::size_t(channel)]);
    };
    const platform::Image tiles = render(false);
    const platform::Image both = render(true);
    // Inside the ground the tiles cover, two pixels away from their outline, where the two
    // meshes' outlines may differ by their sampling.
    std::size_t covered = 0;
    std::size_t red = 0;
    for (int py = 2; py < kHeight - 2; ++py) {
        for (int px = 2; px < kWidth - 2; ++px) {
            bool inside = true;
            for (int dy = -2; dy <= 2 && inside; ++dy) {
                for (int dx = -2; dx <= 2 && inside; ++dx)
                    inside = at(tiles, px + dx, py + dy, 2) > 60 && at(tiles, px + dx, py + dy, 0) < 30;
            }
            if (!inside)
                continue;
            ++covered;
            red += at(both, px, py, 0) > 60 && at(both, px, py, 2) < 30;
        }
    }
    EXPECT_GT(covered, std::size_t(kWidth * kHeight / 20)) << "the tiles are in view";
    EXPECT_EQ(red, 0u);
}

TEST_F(SteepScene, AFlightFrameWhoseTilesAreMissingDrawsTheAncestorsTheLiveViewDraws)
{
    renderer->camera = pitched(kValley, 0.8);
    renderer->camera.pitch = 1.25;
    provideElevation(renderer->camera);
    tileTexture = placeColours;
    settle();
    // Only the grandparents of the tiles the view wants are there.
    std::unordered_set<TileKey> grandparents;
    for (const TileKey& key : renderer->desired) {
        const auto& tile = std::get<TileKey::WebTile>(key.value);
        grandparents.insert(TileKey::webTile(renderer->basemap.index(), tile.z - 2, tile.x / 4, tile.y / 4));
    }
    cache->clear();
    for (const TileKey& key : grandparents)
        cache->insert(tileTexture(key), key);
    clock->advance(2);
    renderer->prepareScene(clock->now());
    const auto liveFrame = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(liveFrame);
    const platform::Image live = image(*liveFrame);

    const Camera camera = renderer->camera;
    const MapRenderer::SavedFrame state = renderer->savedFrame();
    renderer->detailBias = 1;
    EXPECT_FALSE(renderer->flightReadiness(camera)) << "its own tiles are missing";
    const MapRenderer::FlightScene scene = renderer->captureScene(camera);
    renderer->restoreFrameState(camera, state);
    scene.restore(*renderer);
    const auto flightFrame = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(flightFrame);
    const platform::Image flight = image(*flightFrame);
    writePicture(flight, "flight-frame-ancestors.png");
    EXPECT_LT(differingPixels(live, flight), std::size_t(kWidth * kHeight / 400))
        << "the grandparents stand in for the flight as for the live view";
}

TEST_F(SteepScene, NoCrackOpensBetweenTilesAndTheAncestorsStandingInBesideThem)
{
    for (double bearing : {0.0, 0.8, 2.4, 4.0}) {
        renderer->camera = pitched(kValley, bearing);
        renderer->camera.pitch = 1.25;
        provideElevation(renderer->camera);
        settleWithEveryTile();
        // A third of the tiles in view leave; their parents stand in beside the others.
        std::unordered_set<TileKey> kept(renderer->lowPriority.begin(), renderer->lowPriority.end());
        std::size_t leaving = 0;
        for (const TileKey& key : renderer->desired) {
            const auto& tile = std::get<TileKey::WebTile>(key.value);
            kept.insert(TileKey::webTile(renderer->basemap.index(), tile.z - 1, tile.x / 2, tile.y / 2));
            if ((tile.x + tile.y) % 3 == 0)
                ++leaving;
            else
                kept.insert(key);
        }
        ASSERT_GT(leaving, 0u);
        cache->clear();
        for (const TileKey& key : kept)
            cache->insert(tileTexture(key), key);
        clock->advance(2);
        renderer->prepareScene(clock->now());
        const auto frame = renderer->renderOffscreen(kWidth, kHeight);
        ASSERT_TRUE(frame);
        const platform::Image picture = image(*frame);
        if (bearing == 0.8)
            writePicture(picture, "stand-in-seams.png");
        EXPECT_EQ(holes(picture), 0) << "bearing " << bearing;
    }
}

TEST_F(SteepScene, NoCrackOpensBetweenNeighbouringTilesOfDifferentLevels)
{
    const int z = 13;
    const double n = std::exp2(z);
    const int x = int(kValley.x * n);
    const int y = int(kValley.y * n);
    // Looking east, down onto the middle of the shared edge.
    renderer->camera = pitched({(x + 1) / n, (y + 0.5) / n}, std::numbers::pi / 2);
    renderer->camera.pitch = 0.75;
    provideElevation(renderer->camera);
    renderer->prepareScene(clock->now());
    // A red tile at one level west of its two blue neighbours a level finer, sharing its east
    // edge, and nothing around them: a crack along the edge shows the clear colour.
    renderer->draws.clear();
    renderer->appendDraw(plain({220, 0, 0, 255}), false, 16, z, x, y, tileCorners(z, x, y), 1, z, 0, true);
    for (int dy = 0; dy < 2; ++dy) {
        const int fx = 2 * (x + 1);
        const int fy = 2 * y + dy;
        renderer->appendDraw(plain({0, 0, 220, 255}), false, 16, z + 1, fx, fy, tileCorners(z + 1, fx, fy), 1, z + 1, 0, true);
    }
    renderer->buildTerrainMesh();
    const auto frame = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(frame);
    const platform::Image picture = image(*frame);
    writePicture(picture, "level-seam.png");
    const auto colour = [&](int px, int py) {
        const std::size_t at = (std::size_t(py) * kWidth + std::size_t(px)) * 4;
        const int r = int(picture.pixels[at]);
        const int b = int(picture.pixels[at + 2]);
        return r > 80 && b < 50 ? 'r' : b > 80 && r < 50 ? 'b' : ' ';
    };
    // Whether one of the 3 pixels from (px, py) in the direction (dx, dy) passes `test`.
    const auto near = [&](int px, int py, int dx, int dy, const std::function<bool(char)>& test) {
        for (int k = 1; k <= 3; ++k) {
            if (test(colour(px + k * dx, py + k * dy)))
                return true;
        }
        return false;
    };
    const auto is = [](char wanted) { return [wanted](char c) { return c == wanted; }; };
    const auto ground = [](char c) { return c != ' '; };
    // A crack: a pixel of neither tile with red on one side and blue on the other, and
    // ground on both sides across, inside the tiles rather than on their outline.
    std::size_t reds = 0;
    std::size_t blues = 0;
    std::size_t cracks = 0;
    for (int py = 3; py < kHeight - 3; ++py) {
        for (int px = 3; px < kWidth - 3; ++px) {
            const char here = colour(px, py);
            reds += here == 'r';
            blues += here == 'b';
            if (here != ' ')
                continue;
            for (auto [dx, dy] : {std::pair {1, 0}, std::pair {0, 1}}) {
                const bool between = (near(px, py, -dx, -dy, is('r')) && near(px, py, dx, dy, is('b')))
                    || (near(px, py, -dx, -dy, is('b')) && near(px, py, dx, dy, is('r')));
                if (between && near(px, py, dy, dx, ground) && near(px, py, -dy, -dx, ground)) {
                    ++cracks;
                    break;
                }
            }
        }
    }
    ASSERT_GT(reds, std::size_t(kWidth * kHeight / 50)) << "both tiles are in view";
    ASSERT_GT(blues, std::size_t(kWidth * kHeight / 50));
    EXPECT_EQ(cracks, 0u);
}
