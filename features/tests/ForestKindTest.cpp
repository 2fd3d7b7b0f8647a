#include "features/ForestKind.h"

#include "ForestImages.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velorin;
using namespace forest_testing;

TEST(ClassifyKinds, GivesEachPixelTheKindOfTheNearestLegendColourAsDrawnPremultiplied)
{
    struct Case {
        Rgba pixel;
        ForestKind kind;
        const char* why;
    };
    for (const Case& c : {
             Case{kClear, ForestKind::none, "transparent"},
             Case{{128, 128, 255, 128}, ForestKind::none, "half transparent"},
             Case{kConiferColour, ForestKind::conifer, "a legend colour"},
             Case{{3, 19, 31, 255}, ForestKind::oak, "3598 from the oaks' colour"},
             Case{{0, 17, 46, 255}, ForestKind::none, "3600 from the oaks' colour"},
             // Straight, this is nearest the broadleaves' (0, 140, 77); premultiplied by 2/3
             // it is the oaks' colour exactly.
             Case{{0, 116, 69, 170}, ForestKind::oak, "premultiplied"},
             Case{{255, 249, 165, 255}, ForestKind::heath, "the last legend colour"},
             Case{{179, 179, 179, 255}, ForestKind::none, "a legend colour without forest"},
         }) {
        const auto kinds = classifyKinds(inventoryTile(c.pixel));
        ASSERT_TRUE(kinds) << c.why;
        ASSERT_EQ(kinds->size(), 65536u);
        EXPECT_TRUE(std::all_of(kinds->begin(), kinds->end(), [&](std::uint8_t kind) { return kind == std::uint8_t(c.kind); }))
            << c.why << ": " << int(kinds->front());
    }
}

TEST(ClassifyKinds, KeepsEachPixelInPlaceRowByRow)
{
    const auto kinds = classifyKinds(png(painted(256, 256, [](int column, int row) {
        return column == 10 && row == 200 ? kHeathColour : kConiferColour;
    })));
    ASSERT_TRUE(kinds);
    EXPECT_EQ((*kinds)[200 * 256 + 10], std::uint8_t(ForestKind::heath));
    EXPECT_EQ((*kinds)[10 * 256 + 200], std::uint8_t(ForestKind::conifer));
    EXPECT_EQ(std::count((*kinds).begin(), (*kinds).end(), std::uint8_t(ForestKind::heath)), 1);
}

TEST(ClassifyKinds, RefusesAnythingButA256PixelSquareImage)
{
    const std::string text = "<html>Service indisponible</html>";
    const auto textBytes = std::as_bytes(std::span(text.data(), text.size()));
    EXPECT_FALSE(classifyKinds(textBytes));
    EXPECT_FALSE(classifyKinds({}));
    EXPECT_FALSE(classifyKinds(png(painted(512, 512, [](int, int) { return kConiferColour; }))));
    EXPECT_FALSE(classifyKinds(png(painted(256, 255, [](int, int) { return kConiferColour; }))));
}
