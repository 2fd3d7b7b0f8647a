#include "app/ui/MapScreen.h"

#include "app/tests/AppModelFixture.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/MapContainer.h"
#include "app/ui/MapPalette.h"
#include "app/ui/MapToolbar.h"
#include "testing/TestApplication.h"

using velorin::MapScreen;

namespace {

// The screen is never shown: its map builds no canvas, as before the window's first frame.
class MapScreenTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }

    MapScreen& makeScreen()
    {
        auto& model = makeModel();
        model.start();
        velorin::MapCanvasView::Environment environment {clock, mainQueue, readPreferences(),
            folder / "VelorinGestes.log", {"velorin"}, {}};
        screen = std::make_unique<MapScreen>(model, std::move(environment));
        return *screen;
    }

    void TearDown() override
    {
        screen.reset();
        AppModelFixture::TearDown();
    }

    std::unique_ptr<MapScreen> screen;
};

} // namespace

TEST_F(MapScreenTest, ChoosingASheetClosesTheSearchAndEndsFollowingEvenWithoutAMap)
{
    auto& screen = makeScreen();
    screen.openSearch();
    ASSERT_NE(screen.search(), nullptr);
    ASSERT_TRUE(screen.search()->isVisible());
    model->setIsFollowingUser(true);

    velorin::Sheet sheet;
    sheet.name = "3531OT";
    sheet.worldRect = {0.5, 0.3, 0.51, 0.31};
    screen.chooseSheet(sheet);
    EXPECT_TRUE(screen.search() == nullptr || !screen.search()->isVisible()) << "the search closes first";
    EXPECT_FALSE(model->isFollowingUser());
    EXPECT_EQ(screen.container().canvas(), nullptr) << "nothing to frame";
    EXPECT_TRUE(screen.visibleSheets().empty()) << "no map, no sheets in view";
}

TEST_F(MapScreenTest, ThePaletteAndToolbarHideWithTheControls)
{
    auto& screen = makeScreen();
    EXPECT_TRUE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_TRUE(screen.toolbar().isVisibleTo(&screen));

    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    model->revealControls();
    advance(velorin::AppModel::kControlsHideDelaySeconds + 1);
    ASSERT_FALSE(model->areControlsVisible());
    EXPECT_FALSE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_FALSE(screen.toolbar().isVisibleTo(&screen));
    EXPECT_TRUE(screen.attributionColumn().isVisibleTo(&screen)) << "the captions stay";

    model->revealControls();
    EXPECT_TRUE(screen.mapPalette().isVisibleTo(&screen));
    EXPECT_TRUE(screen.toolbar().isVisibleTo(&screen));
}
