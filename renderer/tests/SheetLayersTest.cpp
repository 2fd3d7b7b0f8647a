#include "RendererTestSupport.h"

#include "platform/ManualClock.h"
#include "renderer/SheetLayers.h"

#include <algorithm>

using testing_support::Rgba;
using velorin::SheetLayers;
using velorin::TileKey;

namespace {

// One 4 × 3 sheet covering tile (12, 100, 200): 256·2^(zoom − 12) pixels wide on screen.
class SheetLayersTest : public testing_support::RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        auto corners = tileCorners(12, 100, 200);
        sheet.name = "S";
        sheet.northWest = corners[0];
        sheet.northEast = corners[1];
        sheet.southEast = corners[2];
        sheet.southWest = corners[3];
        sheet.worldRect = velorin::WorldRect::boundingRect(corners);
        sheet.sourceWidth = 64;
        sheet.sourceHeight = 48;
        sheet.columns = 4;
        sheet.rows = 3;
        layers = std::make_unique<SheetLayers>(velorin::SheetCatalog({ sheet }), cache);
        renderer->camera.center = { 100.5 / 4096, 200.5 / 4096 };
        renderer->camera.viewSize = { 64, 64 };
    }

    void prepareAt(double zoom)
    {
        renderer->draws.clear();
        renderer->camera.zoom = zoom;
        layers->prepareSheetLayers(*renderer, renderer->camera.visibleRect(), clock->now() + 1);
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock, std::int64_t(64) << 20);
    velorin::Sheet sheet;
    std::unique_ptr<SheetLayers> layers;
    const TileKey small = TileKey::thumbnail(0, 256);
    const TileKey large = TileKey::thumbnail(0, 1024);
};

} // namespace

TEST_F(SheetLayersTest, TheOnScreenWidthChoosesTheThumbnailOrTheSubtiles)
{
    auto red = plain({ 255, 0, 0, 255 });
    struct Case {
        double zoom;
        bool smallCached;
        std::vector<TileKey> desired;
        std::vector<TileKey> lowPriority;
        std::size_t base;
    };
    for (const auto& c : {
             Case { 10.5, true, {}, {}, 0 }, // below the sheets' zoom: counted, not drawn
             Case { 11, true, { small }, {}, 1 }, // 128 px: the small thumbnail
             Case { 13, true, { large }, {}, 1 }, // 512 px: the large one, the small meanwhile
             Case { 13, false, { large }, { small }, 0 },
         }) {
        SCOPED_TRACE(c.zoom);
        cache->clear();
        if (c.smallCached)
            cache->insert(red, small);
        prepareAt(c.zoom);
        EXPECT_EQ(layers->visibleSheetCount, 1U);
        EXPECT_EQ(layers->desired, c.desired);
        EXPECT_EQ(layers->lowPriority, c.lowPriority);
        ASSERT_EQ(layers->pendingBase.size(), c.base);
        EXPECT_EQ(renderer->draws.size(), c.base);
        if (c.base == 1) {
            EXPECT_EQ(layers->pendingBase[0].texture, red);
            EXPECT_EQ(layers->pendingBase[0].alpha, 1);
            EXPECT_FALSE(layers->pendingBase[0].backdrop);
            EXPECT_EQ(renderer->draws[0].uniforms.level, 21.0f);
        }
    }

    // 2048 px: the sub-tiles in view, nearest first, over the thumbnail as a backdrop.
    cache->insert(red, small);
    prepareAt(15);
    ASSERT_EQ(layers->pendingBase.size(), 1U);
    EXPECT_TRUE(layers->pendingBase[0].backdrop);
    EXPECT_EQ(layers->desired, (std::vector<TileKey> { TileKey::subtile(0, 1, 1), TileKey::subtile(0, 2, 1) }));
    EXPECT_TRUE(layers->pendingDetail.empty());
}

TEST_F(SheetLayersTest, AnOffscreenFrameShowsTheSheetsThumbnailThenItsSubtiles)
{
    cache->insert(plain({ 255, 0, 0, 255 }), small);
    prepareAt(11);
    renderer->buildTerrainMesh();
    auto rgba = drawFrame(64, 64);
    EXPECT_TRUE(near(pixel(rgba, 64, 32, 32), { 255, 0, 0, 255 })) << "the thumbnail";

    for (std::int64_t column = 0; column < 4; ++column) {
        for (std::int64_t row = 0; row < 3; ++row)
            cache->insert(plain({ 0, 255, 0, 255 }), TileKey::subtile(0, column, row));
    }
    prepareAt(15);
    EXPECT_EQ(layers->pendingDetail.size(), 2U);
    renderer->buildTerrainMesh();
    rgba = drawFrame(64, 64);
    EXPECT_TRUE(near(pixel(rgba, 64, 32, 32), { 0, 255, 0, 255 })) << "the sub-tiles over the thumbnail";
}

TEST_F(SheetLayersTest, ASheetOutOfViewOrBehindTheEyeIsNotDrawn)
{
    cache->insert(plain({ 255, 0, 0, 255 }), small);
    renderer->camera.zoom = 13;
    for (auto [centre, pitch] : { std::pair { velorin::WorldPoint { 90.5 / 4096, 200.5 / 4096 }, 0.0 },
             std::pair { velorin::WorldPoint { 100.5 / 4096, 190.5 / 4096 }, 1.0 } }) {
        SCOPED_TRACE(pitch);
        renderer->camera.center = centre;
        renderer->camera.pitch = pitch;
        layers->prepareSheetLayers(*renderer, sheet.worldRect, clock->now());
        EXPECT_EQ(layers->visibleSheetCount, 0U);
        EXPECT_TRUE(layers->desired.empty());
        EXPECT_TRUE(renderer->draws.empty());
    }

    velorin::SheetLayers empty(velorin::SheetCatalog(), cache);
    empty.prepareSheetLayers(*renderer, { 0, 0, 1, 1 }, clock->now());
    EXPECT_EQ(empty.visibleSheetCount, 0U);
    EXPECT_TRUE(renderer->draws.empty());
}
