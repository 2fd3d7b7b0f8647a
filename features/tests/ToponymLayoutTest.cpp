#include "features/ToponymHoverCard.h"
#include "features/ToponymLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using velorin::ScreenPoint;
using velorin::ScreenRect;
using velorin::Toponym;
using velorin::ToponymLayout;
using velorin::WorldPoint;

namespace {

const ScreenRect kBounds{0, 0, 400, 300};

Toponym named(std::string id, double latitude, double longitude = 6.8)
{
    return {std::move(id), "n", Toponym::Kind::summit, latitude, longitude, 2, std::nullopt};
}

WorldPoint worldOf(const Toponym& toponym)
{
    return WorldPoint::fromLatitudeLongitude(toponym.latitude, toponym.longitude);
}

// Candidates of one size, each seen at its own screen point.
struct Scene {
    std::vector<ToponymLayout::Candidate> candidates;
    ToponymLayout::PointTable points;

    void add(const std::string& id, ScreenPoint at, double width = 80, double height = 16)
    {
        const Toponym toponym = named(id, 45 + 0.001 * double(candidates.size()));
        candidates.push_back({toponym, width, height});
        points.emplace(worldOf(toponym), at);
    }
};

std::vector<std::string> ids(const std::vector<ToponymLayout::Placement>& placements)
{
    std::vector<std::string> list;
    for (const auto& placement : placements)
        list.push_back(placement.toponym.id);
    return list;
}

} // namespace

TEST(ToponymLayout, LabelsStandRightOfTheirMarkerOrLeftAtTheRightEdgeAndNeverCrowdEachOther)
{
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, ScreenPoint>> points;
        std::vector<std::string> placed;
        ScreenRect firstFrame;
        bool firstOnLeft;
    };
    for (const Case& c : {
             Case{"right of the marker", {{"a", {100, 100}}}, {"a"}, {95.5, 92, 80, 16}, false},
             Case{"left at the right edge", {{"a", {350, 100}}}, {"a"}, {274.5, 92, 80, 16}, true},
             Case{"outside the bounds", {{"a", {-1, 100}}, {"b", {100, 300}}}, {}, {}, false},
             Case{"the same point twice", {{"a", {100, 100}}, {"b", {100, 100}}}, {"a"}, {95.5, 92, 80, 16}, false},
             Case{"exactly 8 points apart", {{"a", {100, 100}}, {"b", {100, 124}}}, {"a", "b"}, {95.5, 92, 80, 16},
                 false},
             Case{"less than 8 points apart", {{"a", {100, 100}}, {"b", {100, 123.9}}}, {"a"}, {95.5, 92, 80, 16},
                 false},
         }) {
        SCOPED_TRACE(c.what);
        Scene scene;
        for (const auto& [id, at] : c.points)
            scene.add(id, at);
        const auto placements = ToponymLayout::layout(scene.candidates, 28, scene.points, kBounds);
        EXPECT_EQ(ids(placements), c.placed);
        if (!placements.empty()) {
            EXPECT_EQ(placements[0].frame, c.firstFrame);
            EXPECT_EQ(placements[0].textOnLeft, c.firstOnLeft);
        }
    }
}

TEST(ToponymLayout, ALabelTooWideForEitherSideKeepsTheRightPlacement)
{
    Scene scene;
    scene.add("wide", {100, 100}, 500);
    const auto placements = ToponymLayout::layout(scene.candidates, 28, scene.points, kBounds);
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_FALSE(placements[0].textOnLeft);
    EXPECT_EQ(placements[0].frame, (ScreenRect{95.5, 92, 500, 16}));
}

TEST(ToponymLayout, WithoutPointsNothingIsPlacedAndTheLimitKeepsTheFirstThatQualify)
{
    Scene scene;
    for (int i = 0; i < 40; ++i)
        scene.add(std::to_string(i), {10 + 95.0 * (i % 4), 10 + 28.0 * (i / 4) - (i == 2 ? 1000 : 0)});
    EXPECT_TRUE(ToponymLayout::layout(scene.candidates, 28, {}, kBounds).empty());

    const auto placements = ToponymLayout::layout(scene.candidates, 28, scene.points, {0, 0, 400, 2000});
    ASSERT_EQ(placements.size(), 28u);
    EXPECT_EQ(placements.front().toponym.id, "0");
    EXPECT_EQ(placements[2].toponym.id, "3") << "the one above the view is skipped";
    EXPECT_EQ(placements.back().toponym.id, "28");
}

TEST(ToponymLayout, APlaceNearThePoleIsLookedUpAtTheEdgeOfTheMercatorSquare)
{
    const Toponym polar = named("pole", 89);
    ToponymLayout::PointTable points{{WorldPoint::fromLatitudeLongitude(velorin::kMaxMercatorLatitudeDegrees, 6.8), {50, 50}}};
    const auto placements = ToponymLayout::layout({{polar, 60, 16}}, 28, points, kBounds);
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0].frame.minX(), 45.5);
}

TEST(ToponymHoverCard, StandsBesideItsLabelWithItsTwoButtonsAtItsEnd)
{
    struct Case {
        ScreenRect label;
        ScreenRect frame;
        double radius;
        double buttonY;
    };
    for (const Case& c : {
             Case{{100, 50, 100, 16}, {92, 42, 174, 32}, 16, 3},
             Case{{100, 50, 60, 20}, {92, 44, 134, 32}, 16, 3},
             Case{{100, 50, 60, 30}, {92, 46, 134, 38}, 19, 6},
         }) {
        SCOPED_TRACE(c.label.height);
        const auto card = velorin::ToponymHoverCard::beside(c.label, 1000);
        EXPECT_EQ(card.frame, c.frame);
        EXPECT_EQ(card.cornerRadius, c.radius);
        EXPECT_EQ(card.jump, (ScreenRect{c.frame.width - 57, c.buttonY, 26, 26}));
        EXPECT_EQ(card.go, (ScreenRect{c.frame.width - 31, c.buttonY, 26, 26}));
    }
    const auto card = velorin::ToponymHoverCard::beside({100, 50, 100, 16}, 1000);
    EXPECT_EQ(card.jump.minX(), 117);
    EXPECT_EQ(card.go.minX(), 143);

    // Near the right edge, where the palette stands, the card reaches back before the name:
    // the buttons lead, in the same order, and the name keeps its place in the pill.
    struct Edge {
        double viewWidth;
        bool mirrored;
    };
    for (const Edge& e : {Edge{92 + 174 + 84, false}, Edge{92 + 174 + 83, true}, Edge{300, true}}) {
        SCOPED_TRACE(e.viewWidth);
        const auto near = velorin::ToponymHoverCard::beside({100, 50, 100, 16}, e.viewWidth);
        EXPECT_EQ(near.frame, (ScreenRect{e.mirrored ? 208.0 - 174 : 92.0, 42, 174, 32}));
        EXPECT_EQ(near.jump, (ScreenRect{e.mirrored ? 5.0 : 117.0, 3, 26, 26}));
        EXPECT_EQ(near.go, (ScreenRect{e.mirrored ? 31.0 : 143.0, 3, 26, 26}));
        EXPECT_LE(near.frame.minX() + near.go.maxX(), e.mirrored ? 100 : near.frame.maxX()) << "clear of the name";
    }
}
