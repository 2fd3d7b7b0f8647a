#include "RendererTestSupport.h"

#include "map-data/TextureCache.h"
#include "platform/ManualClock.h"

#include <algorithm>
#include <set>

using testing_support::RendererTest;
using velorin::Basemap;
using velorin::MapRenderer;
using velorin::TileKey;
using velorin::WorldRect;

namespace {

constexpr int kLevel = 4;
constexpr int kSource = 1;
constexpr double kTile = 1.0 / 16;

TileKey web(int z, int x, int y)
{
    return TileKey::webTile(kSource, z, x, y);
}

} // namespace

// Tile passes over a level-4 grid, with a texture cache on a manual clock and a flat camera
// centred on tile (8, 8).
class TileLayerPass : public RendererTest {
protected:
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);

    void SetUp() override
    {
        RendererTest::SetUp();
        renderer->textures = cache;
        renderer->clock = clock;
        renderer->camera.center = {8.5 * kTile, 8.5 * kTile};
        renderer->camera.zoom = kLevel;
        renderer->camera.viewSize = {256, 256};
    }

    void cacheTile(const TileKey& key) { cache->insert(plain({200, 100, 50, 255}), key); }

    // Columns x0…x1 and rows y0…y1 of level 4, flat-ordered, as pass 0.
    MapRenderer::TilePass flatPass(int x0, int x1, int y0, int y1) const
    {
        MapRenderer::TilePass pass;
        pass.area = {x0 * kTile, y0 * kTile, (x1 + 0.99) * kTile, (y1 + 0.99) * kTile};
        pass.level = kLevel;
        pass.lowestLevel = 2;
        pass.flatOrder = true;
        pass.now = clock->now();
        pass.source = kSource;
        return pass;
    }

    // One frame of a pass: what it draws, by level and alpha.
    std::vector<std::pair<float, float>> lay(MapRenderer::TilePass pass)
    {
        renderer->draws.clear();
        renderer->needsAnotherFrame = false;
        pass.now = clock->now();
        renderer->layTiles(pass);
        std::vector<std::pair<float, float>> drawn;
        for (const MapRenderer::Draw& draw : renderer->draws)
            drawn.emplace_back(draw.uniforms.level, draw.uniforms.alpha);
        return drawn;
    }
};

TEST_F(TileLayerPass, AFlatPassWantsItsTilesNearestTheCentreFirstThenPrefetchesCoarserTilesAndTheRing)
{
    renderer->layTiles(flatPass(6, 8, 7, 8));

    const std::vector<TileKey> nearestFirst
        = {web(4, 8, 8), web(4, 7, 8), web(4, 8, 7), web(4, 7, 7), web(4, 6, 8), web(4, 6, 7)};
    EXPECT_EQ(renderer->desired, nearestFirst);
    EXPECT_EQ(renderer->nearDesired, nearestFirst);

    const std::vector<TileKey> coarser = {web(2, 1, 1), web(2, 1, 2), web(2, 2, 1), web(2, 2, 2)};
    ASSERT_EQ(renderer->lowPriority.size(), coarser.size() + 14);
    EXPECT_TRUE(std::equal(coarser.begin(), coarser.end(), renderer->lowPriority.begin()));
    std::set<std::pair<std::int64_t, std::int64_t>> ring;
    for (auto key = renderer->lowPriority.begin() + 4; key != renderer->lowPriority.end(); ++key) {
        const auto& tile = std::get<TileKey::WebTile>(key->value);
        EXPECT_EQ(tile.z, kLevel);
        EXPECT_TRUE(tile.x < 6 || tile.x > 8 || tile.y < 7 || tile.y > 8);
        ring.emplace(tile.x, tile.y);
    }
    EXPECT_EQ(ring.size(), 14u) << "columns 5…9 and rows 6…9 around the pass, each once";
    EXPECT_TRUE(renderer->draws.empty());
}

TEST_F(TileLayerPass, ACoarserDetailWantsEachMissingTilesAncestorOnceWithThePriorityOfTheFirstTileNamingIt)
{
    renderer->detailBias = 1;
    cacheTile(web(4, 6, 7));
    renderer->layTiles(flatPass(6, 8, 7, 8));
    // Column 6 is visited first: (6, 8) names (3, 3, 4) before its nearer neighbour (7, 8).
    EXPECT_EQ(renderer->desired, (std::vector<TileKey>{web(3, 4, 4), web(3, 4, 3), web(3, 3, 3), web(3, 3, 4), web(4, 6, 7)}))
        << "a cached tile is still wanted as itself";
}

TEST_F(TileLayerPass, AreasOutsideTheWorldLayNothingAndLevelZeroIsOneTile)
{
    for (const WorldRect& area : {WorldRect{1.2, 0.2, 1.5, 0.4}, WorldRect{0.2, -0.6, 0.4, -0.1}}) {
        auto pass = flatPass(0, 0, 0, 0);
        pass.area = area;
        renderer->layTiles(pass);
        EXPECT_TRUE(renderer->desired.empty());
        EXPECT_TRUE(renderer->lowPriority.empty());
        EXPECT_TRUE(renderer->reveals.empty()) << "an empty range leaves no reveal";
    }

    auto pass = flatPass(0, 0, 0, 0);
    pass.area = {-3, -3, 0.25, 7};
    pass.level = 0;
    pass.lowestLevel = 0;
    renderer->layTiles(pass);
    EXPECT_EQ(renderer->desired, std::vector<TileKey>{web(0, 0, 0)});
}

TEST_F(TileLayerPass, AMissingTileIsCoveredByItsNearestCachedAncestorDrawnOnceBeforeTheCachedTiles)
{
    cacheTile(web(2, 2, 2)); // grandparent of (8, 8) and of (9, 9)
    cacheTile(web(4, 7, 9));
    const auto drawn = lay(flatPass(7, 9, 8, 9));

    ASSERT_EQ(drawn.size(), 2u);
    const MapRenderer::Draw& backdrop = renderer->draws[0];
    EXPECT_TRUE(backdrop.backdrop);
    EXPECT_EQ(backdrop.uniforms.level, 2);
    EXPECT_EQ(backdrop.meshKey.nw, (velorin::WorldPoint{0.5, 0.5}));
    EXPECT_EQ(backdrop.meshKey.se, (velorin::WorldPoint{0.75, 0.75}));
    EXPECT_EQ(backdrop.meshKey.divisions, 1) << "a flat camera draws one quad";
    EXPECT_FALSE(renderer->draws[1].backdrop);
    EXPECT_EQ(drawn[1], (std::pair{4.0f, 1.0f})) << "a tile without a cached ancestor shows at once";
    EXPECT_TRUE(renderer->reveals.at(0).releasedAt) << "tiles with nothing to show release the reveal";
}

TEST_F(TileLayerPass, NewTilesWaitForTheirSlotThenFadeInOverTheLaterOfArrivalAndRelease)
{
    const auto pass = flatPass(8, 9, 8, 8);
    cacheTile(web(3, 4, 4)); // the parent of both tiles, there before the reveal
    const double start = clock->now();
    EXPECT_EQ(lay(pass), (std::vector<std::pair<float, float>>{{3, 1}}));
    EXPECT_TRUE(renderer->needsAnotherFrame) << "the slot is held";

    clock->advance(0.1);
    cacheTile(web(4, 8, 8));
    clock->advance(0.1);
    EXPECT_EQ(lay(pass).size(), 1u) << "held: the arrived tile stays hidden behind its parent";
    EXPECT_FALSE(renderer->reveals.at(0).releasedAt);

    clock->advance(start + 1.0 - clock->now());
    EXPECT_EQ(lay(pass).size(), 1u) << "released at 1 s, the fade starts from there";
    ASSERT_TRUE(renderer->reveals.at(0).releasedAt);
    EXPECT_NEAR(*renderer->reveals.at(0).releasedAt, start + 1.0, 1e-9);

    clock->advance(0.09);
    auto drawn = lay(pass);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_NEAR(drawn[1].second, 0.5, 1e-4);
    EXPECT_TRUE(renderer->needsAnotherFrame);

    clock->advance(0.1);
    EXPECT_EQ(lay(pass)[1].second, 1.0f);

    clock->advance(1);
    cacheTile(web(4, 9, 8));
    clock->advance(0.045);
    drawn = lay(pass);
    ASSERT_EQ(drawn.size(), 3u) << "the parent stays under the tile still fading";
    EXPECT_EQ(drawn[0].first, 3);
    EXPECT_EQ(drawn[1].second, 1.0f);
    EXPECT_NEAR(drawn[2].second, 0.25, 1e-4) << "after the release, a tile fades from its own arrival";

    renderer->preparingFlightFrame = true;
    drawn = lay(pass);
    EXPECT_EQ(drawn, (std::vector<std::pair<float, float>>{{4, 1}, {4, 1}})) << "flight frames never show a fade";
}

TEST_F(TileLayerPass, TilesCachedBeforeTheirSlotBeganShowAtOnceAndAnotherLevelRestartsTheSlot)
{
    cacheTile(web(3, 4, 4));
    cacheTile(web(4, 8, 8));
    clock->advance(0.5);
    EXPECT_EQ(lay(flatPass(8, 9, 8, 8)), (std::vector<std::pair<float, float>>{{3, 1}, {4, 1}}));

    clock->advance(0.5);
    auto finer = flatPass(8, 9, 8, 8);
    finer.level = 5;
    finer.area = {16 * kTile / 2, 16 * kTile / 2, 16.99 * kTile / 2, 16.99 * kTile / 2};
    lay(finer);
    EXPECT_EQ(renderer->reveals.at(0).level, 5);
    EXPECT_EQ(renderer->reveals.at(0).since, clock->now());
}

TEST_F(TileLayerPass, ADepthBandWantsItsTilesAheadOfTheFartherBandsAndCullsTilesBeyondIt)
{
    renderer->camera.pitch = 1.0;
    renderer->camera.zoom = 5;
    renderer->camera.viewSize = {400, 300};
    const double f = renderer->camera.focalDistance();
    const TileKey farther = web(9, 9, 9);

    for (const auto& [near, far, nearWanted] : {std::tuple{0.0, f, true}, std::tuple{4 * f, 5 * f, false}}) {
        renderer->desired = {farther};
        renderer->nearDesired.clear();
        MapRenderer::TilePass pass = flatPass(0, 15, 0, 15);
        pass.flatOrder = false;
        pass.near = near;
        pass.far = far;
        renderer->layTiles(pass);

        ASSERT_GT(renderer->desired.size(), 1u);
        EXPECT_EQ(renderer->desired.back(), farther) << "a nearer band goes first";
        double previous = -std::numeric_limits<double>::infinity();
        for (auto key = renderer->desired.begin(); key + 1 != renderer->desired.end(); ++key) {
            const auto& tile = std::get<TileKey::WebTile>(key->value);
            const auto corners = tileCorners(kLevel, int(tile.x), int(tile.y));
            double nearest = std::numeric_limits<double>::infinity();
            double farthest = 0;
            for (const auto& corner : corners) {
                nearest = std::min(nearest, renderer->viewDepth(corner));
                farthest = std::max(farthest, renderer->viewDepth(corner));
            }
            EXPECT_LE(nearest, far);
            EXPECT_GE(farthest, near);
            EXPECT_GE(nearest, previous) << "nearest corner first";
            previous = nearest;
        }
        EXPECT_LT(renderer->desired.size(), 257u);
        EXPECT_EQ(!renderer->nearDesired.empty(), nearWanted) << "only bands starting within 4 focal distances";
    }
}

TEST_F(TileLayerPass, PrefetchRectanglesAddTheirTilesAtTheBiasedLevelUnlessTheyHoldMoreThanSixtyFour)
{
    renderer->camera.zoom = 12;
    renderer->camera.center = {0.5, 0.5};
    renderer->contentScale = 1;
    struct Case {
        const char* what;
        Basemap basemap;
        int bias;
        WorldRect rect;
        std::vector<TileKey> expected;
    };
    const double d = 1.0 / 1024; // a level-10 tile
    const Case cases[] = {
        {"two by two at the camera's level, x outer", Basemap::planIGN, 2, {512 * d, 512 * d, 513.5 * d, 513.5 * d},
            {web(10, 512, 512), web(10, 512, 513), web(10, 513, 512), web(10, 513, 513)}},
        {"clamped to the world", Basemap::planIGN, 2, {-5 * d, -0.2, 0.5 * d, 0.5 * d}, {web(10, 0, 0)}},
        {"sixty-five tiles: none at all", Basemap::planIGN, 2, {0, 0, 64.5 * d, 0.5 * d}, {}},
        {"the sheet pyramid stops at its own levels", Basemap::top25, 0, {0.5, 0.5, 0.5, 0.5},
            {TileKey::pyramid(10, 512, 512)}},
        {"never below the basemap's lowest level", Basemap::swissImage, 9,
            {0.5, 0.5, 0.5, 0.5}, {TileKey::webTile(Basemap(Basemap::swissImage).index(), 8, 128, 128)}},
    };
    for (const Case& c : cases) {
        renderer->basemap = c.basemap;
        renderer->detailBias = c.bias;
        renderer->prefetchRects = {c.rect};
        const int level = c.basemap.tileLevel(renderer->camera.zoom, 1);
        renderer->lowPriority.clear();
        // An empty visible area leaves only the prefetch keys.
        renderer->prepareTileDraws({2, 2, 3, 3}, clock->now());
        if (c.basemap == Basemap::planIGN) {
            ASSERT_EQ(level - c.bias, 10) << "the cases are written for level 10";
        }
        EXPECT_EQ(renderer->lowPriority, c.expected) << c.what;
    }

    renderer->prefetchRects.clear();
    renderer->lowPriority = {web(3, 1, 1)};
    renderer->prepareTileDraws({2, 2, 3, 3}, clock->now());
    EXPECT_EQ(renderer->lowPriority, std::vector<TileKey>{web(3, 1, 1)});
}

TEST_F(TileLayerPass, AnOcclusionAnswerIsReusedForAFewFramesAndNeverAskedForFlightFrames)
{
    renderer->camera.pitch = 1.0;
    renderer->camera.zoom = 5;
    renderer->camera.viewSize = {400, 300};
    MapRenderer::TilePass pass = flatPass(8, 8, 8, 8);
    pass.flatOrder = false;
    pass.far = 10 * renderer->camera.focalDistance();
    const TileKey tile = web(kLevel, 8, 8);

    struct Case {
        const char* what;
        int frame;
        int poseChanged;
        bool flight;
        bool wanted;
    };
    // A tile remembered as hidden at frame 8; without relief a fresh answer is "visible".
    for (const Case& c : {
             Case{"reused while the camera rests", 10, 5, false, false},
             Case{"reused in a frame where the camera moves", 10, 10, false, false},
             Case{"asked again once the camera moved after the answer", 10, 9, false, true},
             Case{"asked again after twenty frames", 28, 5, false, true},
             Case{"not asked for a flight frame", 10, 5, true, true},
         }) {
        renderer->hiddenTiles = {{tile, {true, 8}}};
        renderer->frameNumber = c.frame;
        renderer->poseChangedFrame = c.poseChanged;
        renderer->preparingFlightFrame = c.flight;
        renderer->desired.clear();
        renderer->lowPriority.clear();
        renderer->layTiles(pass);
        EXPECT_EQ(renderer->desired == std::vector<TileKey>{tile}, c.wanted) << c.what;
        EXPECT_EQ(renderer->lowPriority.empty() || renderer->lowPriority.front() != tile, c.wanted) << c.what;
        if (c.wanted && !c.flight) {
            EXPECT_EQ(renderer->hiddenTiles.at(tile).frame, c.frame) << c.what;
        }
    }
}

TEST_F(TileLayerPass, TheSheetBasemapAddsItsSheetKeysAfterThePyramidTilesAndCountsTheSheetsInView)
{
    const auto corners = tileCorners(12, 100, 200);
    velorin::Sheet sheet;
    sheet.name = "S";
    sheet.northWest = corners[0];
    sheet.northEast = corners[1];
    sheet.southEast = corners[2];
    sheet.southWest = corners[3];
    sheet.worldRect = WorldRect::boundingRect(corners);
    sheet.sourceWidth = 64;
    sheet.sourceHeight = 48;
    sheet.columns = 4;
    sheet.rows = 3;
    velorin::Camera camera;
    camera.center = {100.5 / 4096, 200.5 / 4096};
    camera.zoom = 12;
    camera.viewSize = {64, 64};
    auto withSheet = MapRenderer::make(
        *context, library, velorin::SheetCatalog({sheet}), nullptr, camera, nullptr, nullptr, nullptr);
    ASSERT_TRUE(withSheet);
    withSheet->textures = cache;
    withSheet->clock = clock;

    withSheet->prepareScene(clock->now());
    EXPECT_EQ(withSheet->visibleSheetCount, 1);
    ASSERT_GE(withSheet->desired.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<TileKey::Pyramid>(withSheet->desired.front().value));
    EXPECT_EQ(withSheet->desired.back(), TileKey::thumbnail(0, 256));

    withSheet->basemap = Basemap::planIGN;
    withSheet->prepareScene(clock->now());
    EXPECT_EQ(withSheet->visibleSheetCount, 0);
    EXPECT_EQ(std::count(withSheet->desired.begin(), withSheet->desired.end(), TileKey::thumbnail(0, 256)), 0);
}
