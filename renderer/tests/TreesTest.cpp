#include "ForestSceneFixture.h"

#include "renderer/LeafColors.h"

#include <fmt/format.h>

#include <chrono>
#include <limits>

using velorin::ForestService;
using velorin::TreeInstance;
using Key = ForestService::Key;
using Tree = ForestService::Tree;
using testing_support::RendererTest;

namespace {

// Where a person can look at the trees on the hills: beside the test program.
constexpr const char* kPictureName = "trees-check.png";

// A tile of the hills, beside the one of the valley.
const Key kTile{15, std::int64_t(kValley.x * 32768) + 1, std::int64_t(kValley.y * 32768)};

} // namespace

using TreeInstances = RendererTest;

TEST_F(TreeInstances, StandEachTreeOnTheGroundInTheSlotOfItsShape)
{
    struct Case {
        float shape;
        double elevation;
        int slot; // -1: left out
    };
    const std::vector<Case> cases{
        {0, 500, 0},
        {1, 2250, 1},
        {1, 2251, -1},
        {2, 2400, 2},
        {3, 100, 3},
        {4, 100, 4},
        {5, 1200, 1},
        {5, 1201, 0},
        {5, 2300, -1},
        {6, 100, -1},
        {-1, 100, -1},
        {1.5f, 100, -1},
        {std::numeric_limits<float>::quiet_NaN(), 100, -1},
    };
    std::vector<Tree> trees;
    for (std::size_t at = 0; at < cases.size(); ++at)
        trees.push_back({float(at), 2 * float(at), 10 + float(at), cases[at].shape, 0.5f});
    // Each tree's elevation is told by its place: the sampler sees metres east of the corner.
    const double n = 32768;
    const WorldPoint corner{kTile.x / n, kTile.y / n};
    const double worldPerMeter = 1 / WorldPoint{(kTile.x + 0.5) / n, (kTile.y + 0.5) / n}.metersPerWorldUnit();
    const auto slots = MapRenderer::treeInstances(trees, kTile, pointwise([&](WorldPoint p) {
        const auto at = std::size_t(std::lround((p.x - corner.x) / worldPerMeter));
        EXPECT_NEAR((p.y - corner.y) / worldPerMeter, 2.0 * double(at), 1e-6);
        return at < cases.size() ? cases[at].elevation : 0.0;
    }));
    for (int slot = 0; slot < int(MapRenderer::kTreeSlots); ++slot) {
        std::vector<TreeInstance> expected;
        for (std::size_t at = 0; at < cases.size(); ++at) {
            if (cases[at].slot == slot)
                expected.push_back({float(at), 2 * float(at), float(cases[at].elevation), 10 + float(at), 0.5f});
        }
        EXPECT_EQ(slots[std::size_t(slot)], expected) << "slot " << slot;
    }
}

TEST_F(TreeInstances, AreTheSameInTheSameOrderWhenALargeTileIsMappedOnSeveralThreads)
{
    std::vector<Tree> trees;
    for (int i = 0; i < 5000; ++i)
        trees.push_back({float(i % 800), float(i / 800), 12, float(i % 3), 0.25f});
    const auto ground = pointwise([](WorldPoint p) { return 1000 + 1e6 * (p.x - kTile.x / 32768.0); });
    const auto slots = MapRenderer::treeInstances(trees, kTile, ground);
    std::array<std::vector<TreeInstance>, MapRenderer::kTreeSlots> oneByOne;
    for (const Tree& tree : trees) {
        const auto single = MapRenderer::treeInstances({tree}, kTile, ground);
        for (std::size_t slot = 0; slot < single.size(); ++slot)
            oneByOne[slot].insert(oneByOne[slot].end(), single[slot].begin(), single[slot].end());
    }
    EXPECT_EQ(slots, oneByOne);
    EXPECT_EQ(slots[0].size() + slots[1].size() + slots[2].size(), trees.size());
}

class Trees : public ForestScene {
protected:
    // A mixed wood over every tile of the view, on a jittered 9 m grid.
    void plantEverywhere()
    {
        const WorldPoint eye = renderer->eyePosition(renderer->camera).ground;
        const double reach = 2500 / renderer->camera.center.metersPerWorldUnit();
        const WorldPoint c = renderer->camera.center;
        for (const Key& key : velorin::tileCover({std::min(c.x, eye.x) - reach, std::min(c.y, eye.y) - reach,
                 std::max(c.x, eye.x) + reach, std::max(c.y, eye.y) + reach}))
            forest->trees[key] = wood(key);
    }

    static std::vector<Tree> wood(const Key& key)
    {
        std::vector<Tree> trees;
        const double meters = WorldPoint{0, (key.y + 0.5) / 32768}.metersPerWorldUnit() / 32768;
        std::uint32_t seed = std::uint32_t(key.x * 7919 + key.y);
        const auto next = [&] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / double(1 << 24);
        };
        for (double south = 0; south + 9 < meters; south += 9) {
            for (double east = 0; east + 9 < meters; east += 9) {
                // Clearings where the hash of the cell falls low.
                if (next() < 0.35)
                    continue;
                const double shapeDraw = next();
                const float shape = shapeDraw < 0.5 ? 0 : shapeDraw < 0.85 ? 1 : shapeDraw < 0.93 ? 4 : 2;
                const float height = shape == 2 ? float(0.5 + 0.2 * next()) : float((shape == 0 ? 14 : 11) * (0.7 + 0.6 * next()));
                trees.push_back({float(east + 9 * next()), float(south + 9 * next()), height, shape, float(next())});
            }
        }
        return trees;
    }
};

TEST_F(Trees, AreDrawnOnlyCloseUpOnATiltedMapWithReliefAndTreesOn)
{
    plantEverywhere();
    renderer->prepareScene(clock->now());
    ASSERT_FALSE(renderer->treeDraws.empty());
    EXPECT_EQ(forest->requests.size(), 1u);

    struct Case {
        const char* why;
        std::function<void()> change;
    };
    for (const Case& c : {
             Case{"3D trees off", [&] { renderer->showsTrees = false; }},
             Case{"a pitch of 0.35", [&] { renderer->camera.pitch = 0.35; }},
             Case{"a flat map", [&] { renderer->camera.pitch = 0; }},
             Case{"no relief", [&] { renderer->terrain.reset(); }},
             Case{"3.4 m a pixel", [&] { renderer->camera.zoom = 15; }},
         }) {
        const auto camera = renderer->camera;
        const auto terrain = renderer->terrain;
        forest->requests.clear();
        c.change();
        renderer->prepareScene(clock->now());
        EXPECT_TRUE(renderer->treeDraws.empty()) << c.why;
        EXPECT_TRUE(forest->requests.empty()) << c.why;
        renderer->camera = camera;
        renderer->terrain = terrain;
        renderer->showsTrees = true;
    }
}

TEST_F(Trees, AreDrawnByTileAndShapeWithTheirLeafColours)
{
    forest->trees[kTile] = {{1, 1, 10, 0, 0}, {2, 2, 10, 1, 0}, {3, 3, 1, 2, 0}, {4, 4, 10, 4, 0}, {5, 5, 10, 1, 0}};
    const WorldPoint centre{(kTile.x + 0.5) / 32768, (kTile.y + 0.5) / 32768};
    renderer->camera = closeUp(centre, 0.5);
    provideElevation(renderer->camera);
    renderer->prepareScene(clock->now());

    ASSERT_EQ(renderer->treeDraws.size(), 4u) << "a draw for each shape the tile has";
    const int month = velorin::LeafColors::localMonth(std::chrono::system_clock::now());
    const double s = renderer->camera.scale();
    for (const auto& draw : renderer->treeDraws) {
        const int slot = int(draw.uniforms.shape);
        EXPECT_EQ(draw.count, slot == 1 ? 2 : 1) << slot;
        const auto leaves = velorin::LeafColors::forSlot(slot, month);
        EXPECT_EQ(draw.uniforms.leafA, leaves.leafA);
        EXPECT_EQ(draw.uniforms.leafB, leaves.leafB);
        EXPECT_FLOAT_EQ(draw.uniforms.origin.x, float((kTile.x / 32768.0 - centre.x) * s));
        EXPECT_NEAR(draw.uniforms.pixelsPerMeter, 1 / centre.metersPerPixel(renderer->camera.zoom), 1e-4);
        EXPECT_EQ(draw.uniforms.eye, renderer->frame.frameTreeEye);
    }
    const WorldPoint eye = renderer->eyePosition(renderer->camera).ground;
    EXPECT_FLOAT_EQ(renderer->frame.frameTreeEye.y, float((eye.y - centre.y) * s));

    // The area asked for holds the view's centre and the eye's ground with 1.2 km around.
    ASSERT_EQ(forest->requests.size(), 1u);
    const auto& area = forest->requests[0];
    const double reach = 1200 / centre.metersPerWorldUnit();
    EXPECT_LE(area.minX, std::min(centre.x, eye.x) - reach + 1e-12);
    EXPECT_GE(area.maxY, std::max(centre.y, eye.y) + reach - 1e-12);
    EXPECT_LE(velorin::tileCoverCount(area), MapRenderer::kMaxTreeAreaTiles);

    // The buffers are kept while the relief stays, and made again for a new one.
    const auto buffers = renderer->treeDraws.front().instances;
    renderer->prepareScene(clock->now());
    EXPECT_EQ(renderer->treeDraws.front().instances, buffers);
    renderer->terrainGeneration += 1;
    renderer->prepareScene(clock->now());
    EXPECT_NE(renderer->treeDraws.front().instances, buffers);
}

TEST_F(Trees, AreNotAskedForWhileExtrasArePausedExceptForAFlight)
{
    plantEverywhere();
    renderer->extrasPausedUntil = clock->now() + 1;
    renderer->prepareScene(clock->now());
    EXPECT_TRUE(forest->requests.empty());
    EXPECT_TRUE(renderer->needsAnotherFrame);
    EXPECT_FALSE(renderer->treeDraws.empty()) << "trees already there still show";

    renderer->showsTrees = false;
    renderer->basemap = Basemap::orthophoto;
    renderer->prepareScene(clock->now());
    EXPECT_TRUE(forest->canopyRequests.empty());

    renderer->showsTrees = true;
    renderer->basemap = Basemap::planIGN;
    settleWithEveryTile();
    forest->requests.clear();
    renderer->extrasPausedUntil = clock->now() + 1;
    renderer->flightReadiness(renderer->camera);
    EXPECT_FALSE(forest->requests.empty()) << "a flight asks regardless";
}

TEST_F(Trees, AFlightWaitsForTheTreesOfEveryTileAround)
{
    settleWithEveryTile();
    EXPECT_FALSE(renderer->flightReadiness(renderer->camera));
    ASSERT_FALSE(forest->requests.empty());
    const auto tiles = velorin::tileCover(forest->requests.back());
    std::vector<std::string> waits;
    for (const std::string& wait : renderer->flightWaits) {
        if (wait.starts_with("arbres "))
            waits.push_back(wait);
    }
    ASSERT_EQ(waits.size(), tiles.size());
    EXPECT_EQ(waits.front(), fmt::format("arbres 15 {} {}", tiles.front().x, tiles.front().y));

    // A tile without trees counts as complete, and so does one whose trees failed to load.
    for (const Key& key : tiles)
        forest->trees[key] = {};
    forest->trees.erase(tiles.front());
    EXPECT_FALSE(renderer->flightReadiness(renderer->camera));
    forest->treesFailedFor.insert(tiles.front());
    EXPECT_TRUE(renderer->flightReadiness(renderer->camera));
}

TEST_F(Trees, StaleBuffersGoOnceMoreThanTwoHundredTilesAreKept)
{
    const auto keep = [&](int count) {
        renderer->treeBuffers.clear();
        for (int i = 0; i < count; ++i)
            renderer->treeBuffers[{{15, 1000 + i, 1000}, 0, 0}] = {{}, renderer->frameNumber - 300};
        renderer->prepareScene(clock->now());
        return renderer->treeBuffers.size();
    };
    EXPECT_EQ(keep(200), 200u);
    EXPECT_EQ(keep(201), 0u) << "those unused for 300 frames go";
}

// Higher hills, for a picture of wooded slopes.
class WoodedHills : public Trees {
protected:
    WoodedHills() { hillsAmplitudeMeters = 450; }
};

TEST_F(WoodedHills, StandOnTheSlopesInAnOffscreenFrame)
{
    // From the bottom of a valley, looking across it at the slopes.
    const double wave = 2 * std::numbers::pi / kHillsWavesPerWorld;
    const WorldPoint bottom{(std::round(kValley.x / wave + 0.25) - 0.25) * wave, std::round(kValley.y / wave) * wave};
    renderer->camera = closeUp(bottom, 0.6);
    renderer->camera.pitch = 1.3;
    provideElevation(renderer->camera);
    tileTexture = [](const TileKey&) {
        return texture(64, 64, [](int u, int v) {
            const int grain = (u * 7 + v * 13) % 9;
            return Rgba{150 + grain, 160 + grain, 110, 255};
        });
    };
    renderer->leafMonth = 7;
    settleWithEveryTile();
    const auto bare = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(bare);
    const platform::Image without = image(*bare);

    plantEverywhere();
    renderer->prepareScene(clock->now());
    ASSERT_FALSE(renderer->treeDraws.empty());
    const auto wooded = renderer->renderOffscreen(kWidth, kHeight);
    ASSERT_TRUE(wooded);
    const platform::Image with = image(*wooded);
    writePicture(with, kPictureName);

    // Trees cover much of the meadow in summer leaves: darker than the grass, and green.
    int changed = 0;
    int leafy = 0;
    for (std::size_t at = 0; at < with.pixels.size(); at += 4) {
        const int r = int(with.pixels[at]);
        const int g = int(with.pixels[at + 1]);
        const int b = int(with.pixels[at + 2]);
        if (std::abs(r - int(without.pixels[at])) + std::abs(g - int(without.pixels[at + 1])) > 30) {
            ++changed;
            leafy += g >= r && g >= b && r + g + b < int(without.pixels[at]) + int(without.pixels[at + 1]) + int(without.pixels[at + 2]);
        }
    }
    EXPECT_GT(changed, kWidth * kHeight / 5);
    EXPECT_GT(leafy, changed * 8 / 10);
}
