#include "CanvasTestSupport.h"

#include "map-data/TextureCache.h"
#include "map-data/TileKey.h"

namespace {

using velorin::Basemap;
using velorin::MapCanvasView;

class MapOptionsTest : public testing_support::CanvasTest {
protected:
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<MapCanvasView> canvas;

    void SetUp() override
    {
        MapCanvasView::Environment environment {
            clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", {"velorin"}, {}};
        canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services{velorin::SheetCatalog{}, {}, cache, {}, {}, {}}, std::move(environment));
        ASSERT_TRUE(canvas);
        canvas->layout();
        runFrames(*canvas);
    }
};

TEST_F(MapOptionsTest, AShallowerBasemapPullsTheCameraUpAndDropsTheTilesOfTheOldOne)
{
    canvas->setBasemap(Basemap::planIGN);
    canvas->animateCamera(canvas->camera().center, 30, false);
    const double planCeiling = canvas->maxZoom();
    ASSERT_EQ(canvas->camera().zoom, planCeiling);
    runFrames(*canvas);
    cache->insert(gpu::Texture::make(gpu::PixelFormat::rgba8, 2, 2, std::vector<std::byte>(16)),
        velorin::TileKey::webTile(Basemap(Basemap::planIGN).index(), 12, 1, 1));
    canvas->renderer().reveals[0] = {};

    canvas->setBasemap(Basemap::openTopo);
    EXPECT_EQ(canvas->renderer().basemap, Basemap::openTopo);
    EXPECT_LT(canvas->maxZoom(), planCeiling);
    EXPECT_EQ(canvas->camera().zoom, canvas->maxZoom());
    EXPECT_EQ(cache->usage().entryCount, 0u);
    EXPECT_TRUE(canvas->renderer().reveals.empty());
    EXPECT_TRUE(window.linkRunning);
}

TEST_F(MapOptionsTest, EachSwitchSetsItsFlagAndDrawsAFrameEvenWhenNothingMoves)
{
    struct Case {
        const char* name;
        void (MapCanvasView::*set)(bool);
        bool (*read)(MapCanvasView&);
        bool drawsAFrame;
    };
    const Case cases[] = {
        {"trees", &MapCanvasView::setShowsTrees, [](MapCanvasView& c) { return c.renderer().showsTrees; }, true},
        {"slopes", &MapCanvasView::setShowsSlopes, [](MapCanvasView& c) { return c.renderer().showsSlopes; }, true},
        {"place names", &MapCanvasView::setShowsToponyms, [](MapCanvasView& c) { return c.showsToponyms(); }, false},
    };
    for (const Case& c : cases) {
        for (bool on : {false, true}) {
            runFrames(*canvas);
            ASSERT_FALSE(window.linkRunning);
            (canvas.get()->*c.set)(on);
            EXPECT_EQ(c.read(*canvas), on) << c.name;
            EXPECT_EQ(window.linkRunning, c.drawsAFrame) << c.name;
        }
    }
}

} // namespace
