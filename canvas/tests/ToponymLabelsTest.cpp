#include "CanvasTestSupport.h"
#include "FakeCanvasOverlays.h"

#include "features/ToponymHoverCard.h"
#include "features/ToponymService.h"
#include "map-data/TextureCache.h"
#include "platform/gpu/RenderTarget.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>

namespace velorin {
namespace {

using testing_support::CanvasTest;
using FakeOverlays = testing_support::FakeCanvasOverlays;

// A canvas over the Écrins whose names come from the toponym cache of one cell: a summit
// in the middle of the view, a col and a refuge near it.
class ToponymLabels : public CanvasTest {
protected:
    const Toponym summit{"s1", "Pic de Dormillouse", Toponym::Kind::summit, 45.15, 6.59, 1, 2781.4};
    const Toponym col{"c1", "Col des Ayes", Toponym::Kind::col, 45.162, 6.605, 2, std::nullopt};
    const Toponym refuge{"r1", "Refuge de Chabournéou", Toponym::Kind::refuge, 45.138, 6.575, 2, 2020};

    FakeOverlays overlays;
    std::shared_ptr<DiskStore> store = std::make_shared<DiskStore>(folder / "tiles", folder / "offline");
    std::shared_ptr<ToponymService> toponyms;
    std::shared_ptr<MapCanvasView> canvas;

    void SetUp() override { open({summit, col, refuge}); }

    // A canvas whose cell holds `places`, looking at the summit at zoom 14.
    void open(const std::vector<Toponym>& places)
    {
        const std::string names = nlohmann::ordered_json(places).dump();
        store->writeNow(std::as_bytes(std::span(names.data(), names.size())), ToponymService::cacheKey(1061, 735));
        ToponymService::Dependencies dependencies;
        dependencies.store = store;
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = "127.0.0.1:1";
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        toponyms = std::make_shared<ToponymService>(std::move(dependencies));
        window.overlayHost = &overlays;
        canvas = makeCanvas({"velorin"}, {SheetCatalog{}, {}, {}, {}, {}, {}, toponyms});
        canvas->layout();
        look(summit, 14);
    }

    static WorldPoint worldOf(const Toponym& toponym)
    {
        return WorldPoint::fromLatitudeLongitude(toponym.latitude, toponym.longitude);
    }

    // The camera at once over `place` (at the view point `at`, in points) at `zoom`.
    void look(const Toponym& place, double zoom, ScreenPoint at = {250, 200}, double pitch = 0)
    {
        Camera camera = canvas->camera();
        camera.zoom = zoom;
        camera.pitch = pitch;
        const WorldPoint world = worldOf(place);
        const double pixelsPerUnit = camera.scale();
        camera.center = {world.x - (at.x - 250) * window.scale / pixelsPerUnit,
            world.y - (at.y - 200) * window.scale / pixelsPerUnit};
        canvas->applyCamera(camera, true);
        canvas->setInertia({});
    }

    // Lays the labels out as a frame does, and lets the cells asked for arrive.
    void layOut()
    {
        clock->advance(MapCanvasView::kToponymCoverageSeconds + 0.01);
        canvas->applyToponymPlacements(canvas->layoutToponyms());
        toponyms->waitForLoads();
        mainQueue->drain();
    }

    std::vector<std::string> shown() const
    {
        std::vector<std::string> ids;
        for (const Toponym& toponym : canvas->shownToponyms())
            ids.push_back(toponym.id);
        return ids;
    }
};

TEST_F(ToponymLabels, BelowZoomThirteenNothingIsAskedOrShownAndAtThirteenBoth)
{
    look(summit, 12.99);
    layOut();
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(toponyms->visibleToponyms(13).empty()) << "no cell was asked for";

    look(summit, 13);
    layOut();
    EXPECT_EQ(shown(), (std::vector<std::string>{"s1", "c1"})) << "the cell arrived and the labels followed";
    ASSERT_EQ(overlays.styles.size(), 2u);
    EXPECT_EQ(overlays.styles[0].text, "Pic de Dormillouse 2781 m");
    EXPECT_EQ(overlays.styles[0].width, 7.0 * 25 + 12);
    EXPECT_EQ(overlays.styles[0].height, 14);
    EXPECT_FALSE(overlays.styles[0].textOnLeft);
    EXPECT_EQ(overlays.frames[0], (ScreenRect{245.5, 193, 187, 14})) << "the marker's middle on the summit";
    EXPECT_EQ(overlays.hiddenFrom, 2u);
}

TEST_F(ToponymLabels, OnlyThePlanOfTheWorldMapsWritesTheVillagesItself)
{
    const Toponym village{"v1", "Champoléon", Toponym::Kind::place, 45.1515, 6.5935, 2, std::nullopt};
    window.hostsMaps = true;
    open({summit, col, refuge, village});
    // Close enough for the names of places.
    look(summit, 16);
    struct Case {
        Basemap basemap;
        bool village;
    };
    for (const Case& c : {Case{Basemap::planIGN, true}, Case{Basemap::applePlan, false},
             Case{Basemap::appleSatellite, true}, Case{Basemap::planIGN, true}}) {
        SCOPED_TRACE(std::string(c.basemap.rawValue()));
        canvas->setBasemap(c.basemap);
        layOut();
        const auto ids = shown();
        EXPECT_EQ(std::ranges::find(ids, "v1") != ids.end(), c.village);
        EXPECT_NE(std::ranges::find(ids, "s1"), ids.end()) << "the summit is always named";
    }
}

TEST_F(ToponymLabels, TheCandidatesStayWithinATenthOfAZoomLevelAndTheSizesAreMeasuredOnce)
{
    layOut();
    ASSERT_EQ(canvas->toponymCandidateZoom(), 14);
    const int measured = overlays.measures;
    EXPECT_EQ(measured, 3);
    look(summit, 14.09);
    layOut();
    EXPECT_EQ(canvas->toponymCandidateZoom(), 14);
    look(summit, 14.15);
    layOut();
    EXPECT_EQ(canvas->toponymCandidateZoom(), 14.15);
    EXPECT_EQ(overlays.measures, measured) << "sizes are kept per place";
}

TEST_F(ToponymLabels, ALabelIsRestyledOnlyWhenItsSideOrTheBasemapsStyleChanges)
{
    layOut();
    ASSERT_EQ(shown().size(), 3u);
    const int first = overlays.totalRestyles();
    EXPECT_EQ(first, 3);
    layOut();
    look(summit, 14, {240, 210});
    layOut();
    EXPECT_EQ(overlays.totalRestyles(), first) << "moved, not restyled";

    look(summit, 14, {480, 200});
    layOut();
    ASSERT_EQ(shown().front(), "s1");
    EXPECT_TRUE(overlays.styles[0].textOnLeft);
    EXPECT_EQ(overlays.frames[0].maxX(), 484.5);
    EXPECT_EQ(overlays.restyles[0], 2) << "the text went to the other side";

    const int before = overlays.totalRestyles();
    canvas->setBasemap(Basemap::orthophoto);
    EXPECT_EQ(overlays.totalRestyles(), before + int(shown().size())) << "each label once, in the light style";
    for (std::size_t i = 0; i < shown().size(); ++i)
        EXPECT_TRUE(overlays.styles[i].inverted);
    layOut();
    EXPECT_EQ(overlays.totalRestyles(), before + int(shown().size()));
}

TEST_F(ToponymLabels, APitchedViewLeavesOutAPlaceFarAheadThatItStillSees)
{
    const Toponym far{"far", "Pointe lointaine", Toponym::Kind::summit, 45.205, 6.59, 1, std::nullopt};
    const std::string names = nlohmann::ordered_json(std::vector<Toponym>{summit, far}).dump();
    store->writeNow(std::as_bytes(std::span(names.data(), names.size())), ToponymService::cacheKey(1061, 735));
    look(summit, 13.5, {250, 200}, 1.2);
    gpu::RenderTarget target(*context, 1000, 800);
    canvas->drawFrame(target.framebuffer());
    layOut();
    canvas->drawFrame(target.framebuffer());

    const auto projected = canvas->renderer().screenPoint(worldOf(far));
    ASSERT_TRUE(projected);
    EXPECT_GT(projected->y, 0) << "in the view";
    EXPECT_LT(projected->y, 800);
    EXPECT_EQ(canvas->toponymViewPoint(worldOf(far)), ToponymLayout::kNowhere);
    EXPECT_EQ(shown(), (std::vector<std::string>{"s1"}));
}

TEST_F(ToponymLabels, AClickOnANameGlidesThereAtTheSameZoomAndTheCardGoesStraightThere)
{
    layOut();
    ASSERT_EQ(shown().size(), 3u);
    const ScreenRect colLabel = overlays.frames[1];
    ASSERT_EQ(shown()[1], "c1");
    canvas->click({colLabel.midX(), colLabel.midY()}, {});
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toCenter, worldOf(col));
    EXPECT_EQ(canvas->animation()->toZoom, 14);
    runFrames(*canvas);
    EXPECT_NEAR(canvas->camera().center.x, worldOf(col).x, 1e-12);
    EXPECT_EQ(canvas->camera().zoom, 14);

    // Tilted, the view slides there too, keeping its zoom and tilt, instead of turning its gaze.
    look(summit, 14, {250, 200}, 0.9);
    layOut();
    const auto tiltedIds = shown();
    const auto tiltedCol = std::ranges::find(tiltedIds, "c1");
    ASSERT_NE(tiltedCol, tiltedIds.end());
    const ScreenRect tiltedLabel = overlays.frames[std::size_t(tiltedCol - tiltedIds.begin())];
    canvas->click({tiltedLabel.midX(), tiltedLabel.midY()}, {});
    EXPECT_FALSE(canvas->gaze());
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toCenter, worldOf(col));
    EXPECT_EQ(canvas->animation()->toZoom, 14);
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera().zoom, 14);
    EXPECT_NEAR(canvas->camera().pitch, 0.9, 1e-9);

    look(summit, 14);
    layOut();
    canvas->click({20, 20}, {});
    EXPECT_FALSE(canvas->animation()) << "a plain click beside the names does nothing";

    ASSERT_TRUE(overlays.onJump);
    ASSERT_TRUE(overlays.onGo);
    const ScreenRect refugeLabel = overlays.frames[2];
    canvas->hover({refugeLabel.midX(), refugeLabel.midY()});
    ASSERT_EQ(canvas->hoveredToponym(), refuge);
    overlays.onJump();
    EXPECT_NEAR(canvas->camera().center.x, worldOf(refuge).x, 1e-12) << "at once";
    EXPECT_FALSE(canvas->flight());
}

TEST_F(ToponymLabels, CommandOrTheCardsSecondButtonFliesToANameAndOptionToursIt)
{
    struct Case {
        const char* what;
        std::function<void(const ScreenRect& label)> act;
        Flight::Kind kind;
    };
    for (const Case& c : {
             Case{"Command-click", [&](const ScreenRect& label) { canvas->click({label.midX(), label.midY()}, {false, false, false, true}); },
                 Flight::Kind::land},
             Case{"Option-click", [&](const ScreenRect& label) { canvas->click({label.midX(), label.midY()}, {false, true, false, false}); },
                 Flight::Kind::orbit},
             Case{"Option two-finger click",
                 [&](const ScreenRect& label) { canvas->twoFingerClick({label.midX(), label.midY()}, {false, true, false, false}); },
                 Flight::Kind::orbit},
             Case{"Y aller",
                 [&](const ScreenRect& label) {
                     canvas->hover({label.midX(), label.midY()});
                     overlays.onGo();
                 },
                 Flight::Kind::land},
         }) {
        SCOPED_TRACE(c.what);
        canvas->endFlight();
        look(summit, 14);
        layOut();
        ASSERT_EQ(shown()[1], "c1");
        c.act(overlays.frames[1]);
        ASSERT_TRUE(canvas->flight());
        EXPECT_EQ(canvas->flight()->kind, c.kind);
        EXPECT_EQ(canvas->flight()->target, worldOf(col));
    }
    canvas->endFlight();
    look(summit, 14);
    layOut();
    canvas->twoFingerClick({20, 20}, {false, true, false, false});
    EXPECT_FALSE(canvas->flight()) << "Option beside the names tours nothing";
    EXPECT_FALSE(canvas->animation());
}

TEST_F(ToponymLabels, APreparedFlightShowsTheLabelsAndMarkersPlacedForEachFrameAndKeepsTheLastOnArrival)
{
    layOut();
    auto cache = std::make_shared<TextureCache>(clock);
    canvas->renderer().textures = cache;
    const auto tile = gpu::Texture::make(gpu::PixelFormat::rgba8, 1, 1, std::vector<std::byte>(4, std::byte{200}));
    canvas->setPhotos({{"photo", {}, WorldPoint::fromLatitudeLongitude(col.latitude, col.longitude)}});
    const int pin = canvas->photoPins().at(0);
    canvas->startFlight(col, false);
    ASSERT_TRUE(canvas->flight() && canvas->flight()->prepared);
    for (int frames = 0; canvas->flight() && !canvas->flight()->prepared->isComplete() && frames < 20000; ++frames) {
        clock->advance(0.1);
        canvas->step(clock->now(), clock->now() + kFrameSeconds);
        for (const TileKey& key : canvas->renderer().desired)
            if (!cache->contains(key))
                cache->insert(tile, key);
    }
    ASSERT_TRUE(canvas->flight() && canvas->flight()->prepared->isComplete());
    const auto& frames = canvas->flight()->prepared->frames();
    // A copy: the frames go with the flight.
    const auto last = frames.back().overlays.labels;
    ASSERT_FALSE(last.empty()) << "the arrival looks at the col";
    EXPECT_TRUE(std::any_of(last.begin(), last.end(), [](const auto& placement) { return placement.toponym.id == "c1"; }));

    clock->advance(kFrameSeconds);
    canvas->step(clock->now(), clock->now() + kFrameSeconds);
    ASSERT_TRUE(canvas->flight());
    const auto* playing = canvas->flight()->prepared->frame(canvas->flight()->playback.elapsed);
    ASSERT_TRUE(playing);
    ASSERT_EQ(canvas->shownToponyms().size(), playing->overlays.labels.size());
    for (std::size_t i = 0; i < playing->overlays.labels.size(); ++i)
        EXPECT_EQ(overlays.frames[i], playing->overlays.labels[i].frame) << "the frame's own placements";
    ASSERT_EQ(playing->overlays.markers.size(), 1u);
    EXPECT_EQ(playing->overlays.markers[0].marker, pin);
    EXPECT_EQ(overlays.markers.at(pin).placement, playing->overlays.markers[0]) << "the pin moves with the frame";

    runFor(*canvas, 12);
    ASSERT_TRUE(canvas->arrivalFrame());
    ASSERT_EQ(canvas->shownToponyms().size(), last.size());
    EXPECT_EQ(overlays.frames[0], last[0].frame) << "the arrival keeps its labels";
    toponyms->reload();
    mainQueue->drain();
    EXPECT_EQ(canvas->shownToponyms().size(), last.size()) << "new names wait for the held frame to go";
    canvas->endFlight();
    runFrames(*canvas);
    const std::string none = "[]";
    store->writeNow(std::as_bytes(std::span(none.data(), none.size())), ToponymService::cacheKey(1061, 735));
    toponyms->reload();
    mainQueue->drain();
    toponyms->waitForLoads();
    mainQueue->drain();
    EXPECT_TRUE(canvas->shownToponyms().empty()) << "and are laid out once it has gone";
}

TEST_F(ToponymLabels, TheCardOpensOverTheNameUnderThePointerStaysOnTheWayToItsButtonsAndFollowsItsLabel)
{
    layOut();
    const ScreenRect label = overlays.frames[0];
    canvas->hover({label.minX() + 2, label.midY()});
    ASSERT_TRUE(overlays.card);
    EXPECT_EQ(*overlays.card, label);
    EXPECT_EQ(canvas->hoveredToponym()->id, "s1");

    const ToponymHoverCard card = ToponymHoverCard::beside(label, window.bounds.width);
    canvas->hover({card.frame.minX() + card.go.midX(), card.frame.minY() + card.go.midY()});
    EXPECT_TRUE(overlays.card) << "the pointer went onto the card's buttons";
    canvas->hover({card.frame.maxX() + 3, card.frame.midY()});
    EXPECT_TRUE(overlays.card) << "within 4 points of the card";

    look(summit, 14, {240, 230});
    layOut();
    ASSERT_TRUE(overlays.card);
    EXPECT_EQ(*overlays.card, overlays.frames[0]) << "the card moves with its label";

    canvas->hover({20, 20});
    EXPECT_FALSE(overlays.card);
    EXPECT_FALSE(canvas->hoveredToponym());
    canvas->hover({overlays.frames[0].midX(), overlays.frames[0].midY()});
    canvas->hoverEnded();
    EXPECT_FALSE(overlays.card);

    canvas->hover({overlays.frames[0].midX(), overlays.frames[0].midY()});
    canvas->setShowsToponyms(false);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(overlays.hiddenFrom, 0u);
    EXPECT_FALSE(overlays.card) << "switching the labels off closes the card";
    canvas->setShowsToponyms(true);
    EXPECT_EQ(shown().size(), 3u) << "and on lays them out at once";
}

} // namespace
} // namespace velorin
