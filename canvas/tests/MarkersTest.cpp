#include "CanvasTestSupport.h"
#include "FakeCanvasOverlays.h"

#include "platform/FrenchDate.h"

#include <cmath>
#include <numbers>

namespace velorin {
namespace {

using testing_support::FakeCanvasOverlays;
using Kind = FakeCanvasOverlays::Kind;

// A flat canvas over Chamonix at zoom 13, 500 × 400 points at scale 2, whose markers go to a
// recording host.
class Markers : public testing_support::CanvasTest {
protected:
    FakeCanvasOverlays overlays;
    std::shared_ptr<MapCanvasView> canvas;

    void SetUp() override
    {
        window.overlayHost = &overlays;
        defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.92, 6.87, 13}));
        canvas = makeCanvas();
        canvas->layout();
        runFrames(*canvas);
        clock->advance(1);
    }

    // The world point under a view point of the flat camera.
    WorldPoint at(double x, double y) const { return canvas->camera().worldPoint({2 * x, 2 * y}); }
    TrackPhoto photo(std::string id, double x, double y) const
    {
        return {std::move(id), platform::SystemTime {}, at(x, y)};
    }
    std::vector<std::vector<std::string>> groupIds() const
    {
        std::vector<std::vector<std::string>> result;
        for (const auto& group : canvas->libraryGroups()) {
            result.emplace_back();
            for (const TrackPhoto& member : group)
                result.back().push_back(member.id);
        }
        return result;
    }
    const FakeCanvasOverlays::Marker& marker(int id) const { return overlays.markers.at(id); }
};

TEST_F(Markers, ATrackPhotoHasOnlyItsOwnPinAndLibraryGroupsBadgeTheirCount)
{
    std::vector<TrackPhoto> library {photo("shared", 20, 20), photo("alone", 250, 200)};
    for (int i = 0; i < 12; ++i)
        library.push_back(photo("crowd" + std::to_string(i), 400 + i, 300 + i));
    canvas->setPhotos({photo("shared", 20, 20)});
    canvas->setLibraryPhotos(library);

    EXPECT_EQ(groupIds().size(), 2u) << "the shared photo is the track's";
    ASSERT_EQ(overlays.ofKind(Kind::photoPin).size(), 1u);
    const auto pins = overlays.ofKind(Kind::libraryPin);
    ASSERT_EQ(pins.size(), 2u);
    EXPECT_EQ(pins[0]->text, "alone");
    EXPECT_EQ(pins[0]->badge, "");
    EXPECT_EQ(pins[0]->accessibleText, "Photo");
    EXPECT_EQ(pins[1]->text, "crowd0");
    EXPECT_EQ(pins[1]->badge, "12");
    EXPECT_EQ(pins[1]->accessibleText, "12 photos");
    for (const auto* pin : pins)
        EXPECT_TRUE(FakeCanvasOverlays::isShown(*pin)) << pin->text;
    const MarkerPlacement& alone = *pins[0]->placement;
    EXPECT_NEAR(alone.center.x, 250, 1e-6);
    EXPECT_NEAR(alone.center.y, 200, 1e-6);
}

TEST_F(Markers, MarkersStayShownEightyPointsBeyondTheViewAndBehindTheEyeAreFarOffAndHidden)
{
    canvas->setPhotos({photo("near", -60, 200), photo("far", -100, 200), photo("below", 250, 479)});
    const auto pins = overlays.ofKind(Kind::photoPin);
    ASSERT_EQ(pins.size(), 3u);
    EXPECT_TRUE(FakeCanvasOverlays::isShown(*pins[0]));
    EXPECT_FALSE(FakeCanvasOverlays::isShown(*pins[1]));
    EXPECT_TRUE(FakeCanvasOverlays::isShown(*pins[2]));
    EXPECT_NEAR(pins[0]->placement->center.x, -60, 1e-6);
    EXPECT_EQ(pins[0]->accessibleText, "Photo de " + platform::frenchTime({}));

    Camera tilted = pitched(*canvas, 1.2);
    const double metres = 20000 / canvas->camera().center.metersPerWorldUnit();
    canvas->setPhotos({{"behind", {}, {tilted.center.x, tilted.center.y + metres}}});
    const auto& behind = *overlays.ofKind(Kind::photoPin).front()->placement;
    EXPECT_EQ(behind.center.x, Camera::kOffscreenCoordinate / 2);
    EXPECT_EQ(behind.center.y, Camera::kOffscreenCoordinate / 2);
    EXPECT_TRUE(behind.hidden);
}

TEST_F(Markers, CameraChangesRegroupAtOnceThenOnceMoreAfterTheLastOfAQuickRun)
{
    canvas->setLibraryPhotos({photo("a", 250, 200)});
    ASSERT_EQ(groupIds().size(), 1u);
    clock->advance(1);

    const WorldPoint home = canvas->camera().center;
    Camera away = canvas->camera();
    away.center = at(-1000, 200);
    canvas->applyCamera(away, true);
    EXPECT_TRUE(groupIds().empty()) << "the first change regroups at once";
    clock->advance(0.1);
    Camera back = away;
    back.center = home;
    canvas->applyCamera(back, true);
    EXPECT_TRUE(groupIds().empty()) << "the second waits";
    clock->advance(0.34);
    mainQueue->drain();
    EXPECT_TRUE(groupIds().empty());
    clock->advance(0.02);
    mainQueue->drain();
    EXPECT_EQ(groupIds().size(), 1u) << "the trailing regroup, 0.35 s after the second";

    clock->advance(1);
    canvas->setLibraryPhotos({photo("b", 100, 100)});
    clock->advance(0.1);
    canvas->setLibraryPhotos({photo("b", 100, 100), photo("c", 400, 300)});
    EXPECT_EQ(groupIds(), (std::vector<std::vector<std::string>> {{"b"}, {"c"}})) << "new photos regroup at once";
}

TEST_F(Markers, APinIsKeptWhileItsPhotoLeadsAGroupAndAPinClickOpensItsPhotos)
{
    std::vector<std::vector<std::string>> opened;
    canvas->onLibraryPhotosTapped = [&](const std::vector<TrackPhoto>& group) {
        opened.emplace_back();
        for (const TrackPhoto& member : group)
            opened.back().push_back(member.id);
    };
    canvas->setLibraryPhotos({photo("a", 100, 100), photo("b", 110, 110), photo("c", 300, 300)});
    const int pinOfA = canvas->libraryPins().at("a");
    const int pinOfC = canvas->libraryPins().at("c");

    clock->advance(1);
    canvas->setLibraryPhotos({photo("a", 100, 100), photo("d", 300, 300), photo("c", 310, 310)});
    EXPECT_EQ(canvas->libraryPins().at("a"), pinOfA) << "a still leads its group";
    EXPECT_FALSE(overlays.markers.contains(pinOfC)) << "c no longer leads one";
    EXPECT_EQ(marker(pinOfA).badge, "");

    marker(pinOfA).onClick();
    marker(canvas->libraryPins().at("d")).onClick();
    EXPECT_EQ(opened, (std::vector<std::vector<std::string>> {{"a"}, {"d", "c"}}));
}

TEST_F(Markers, APhotoPinClickGivesItsIndexAndNothingOnceTheCanvasIsGone)
{
    std::vector<int> tapped;
    canvas->onPhotoTapped = [&](int index) { tapped.push_back(index); };
    canvas->setPhotos({photo("x", 100, 100), photo("y", 200, 200)});
    const auto pins = overlays.ofKind(Kind::photoPin);
    pins[1]->onClick();
    pins[0]->onClick();
    EXPECT_EQ(tapped, (std::vector {1, 0}));

    const std::function<void()> click = pins[1]->onClick;
    canvas.reset();
    click();
    EXPECT_EQ(tapped.size(), 2u);
}

TEST_F(Markers, ChipsFollowTheirPausesAndANewTrackMakesThemAgain)
{
    TrackPause pause;
    pause.latitude = at(100, 150).latitude();
    pause.longitude = at(100, 150).longitude();
    pause.end = pause.start + std::chrono::minutes(5);
    canvas->setTrack({}, {pause, pause});
    auto chips = overlays.ofKind(Kind::pauseChip);
    ASSERT_EQ(chips.size(), 2u);
    EXPECT_EQ(chips[0]->text, "5 min");
    EXPECT_NEAR(chips[0]->placement->center.x, 100, 1e-6);
    EXPECT_NEAR(chips[0]->placement->center.y, 150, 1e-6);

    canvas->setTrack({}, {pause});
    EXPECT_EQ(overlays.ofKind(Kind::pauseChip).size(), 1u);
}

TEST_F(Markers, TheFlyoverDotShowsOnlyWhileAFlyoverRunsAndLibraryPinsLeaveForIt)
{
    canvas->setLibraryPhotos({photo("a", 250, 200)});
    ASSERT_EQ(groupIds().size(), 1u);
    canvas->layoutMarkers();
    EXPECT_TRUE(overlays.ofKind(Kind::flyoverDot).empty());

    const WorldPoint start = at(250, 200);
    const double metres = 1 / start.metersPerWorldUnit();
    ASSERT_TRUE(canvas->startFlyover({start, {start.x, start.y - 800 * metres}}));
    runFor(*canvas, 0.5);
    clock->advance(1);
    canvas->layoutMarkers();
    const auto dots = overlays.ofKind(Kind::flyoverDot);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_TRUE(FakeCanvasOverlays::isShown(*dots[0]));
    EXPECT_TRUE(groupIds().empty()) << "no library pin during a flyover";
    EXPECT_TRUE(overlays.ofKind(Kind::libraryPin).empty());

    canvas->stopAnimations();
    EXPECT_FALSE(FakeCanvasOverlays::isShown(*overlays.ofKind(Kind::flyoverDot).front()));
    clock->advance(1);
    canvas->layoutMarkers();
    EXPECT_FALSE(FakeCanvasOverlays::isShown(*overlays.ofKind(Kind::flyoverDot).front()));
    EXPECT_EQ(groupIds().size(), 1u) << "the pins come back after it";
}

TEST_F(Markers, NewPhotosEndARunningFlight)
{
    canvas->setPhotos({photo("x", 250, 200)});
    pitched(*canvas, 1.0);
    canvas->startFlight({"p", "Aiguille", Toponym::Kind::summit, 45.95, 6.87, 1, std::nullopt}, false);
    ASSERT_TRUE(canvas->isFlying());
    runFor(*canvas, 0.2);
    ASSERT_TRUE(canvas->isFlying());
    canvas->setPhotos({});
    EXPECT_FALSE(canvas->isFlying());
    EXPECT_TRUE(overlays.ofKind(Kind::photoPin).empty());
}

} // namespace
} // namespace velorin
