#include "renderer/LeafColors.h"
#include "renderer/TreeModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

using velorin::LeafColors;
using velorin::TreeVertex;

TEST(TreeModels, EachModelHasItsTriangleCountAndStaysWithinUnitHeight)
{
    const auto models = velorin::treeModels();
    const std::size_t expectedVertices[] = {234, 600, 168};
    for (std::size_t model = 0; model < models.size(); ++model) {
        SCOPED_TRACE(model);
        const auto& mesh = models[model];
        EXPECT_EQ(mesh.size(), expectedVertices[model]);
        float top = 0;
        for (const TreeVertex& vertex : mesh) {
            EXPECT_GE(vertex.z, 0.0f);
            EXPECT_LE(vertex.z, 1.0f);
            top = std::max(top, vertex.z);
            EXPECT_GE(vertex.nz, -0.99f);
            EXPECT_NEAR(std::hypot(vertex.nx, vertex.ny, vertex.nz), 1.0f, 1e-5f);
        }
        EXPECT_FLOAT_EQ(top, model == 1 ? 0.98f : 1.0f);
        // The three corners of a triangle share its face normal.
        for (std::size_t at = 0; at + 2 < mesh.size(); at += 3) {
            EXPECT_EQ(mesh[at].nx, mesh[at + 2].nx);
            EXPECT_EQ(mesh[at].nz, mesh[at + 1].nz);
        }
    }
}

TEST(LeafColors, FollowTheSeasonsByMonth)
{
    const LeafColors spring{{0.30f, 0.45f, 0.14f, 1}, {0.38f, 0.50f, 0.17f, 1}};
    const LeafColors summer{{0.17f, 0.29f, 0.10f, 1}, {0.24f, 0.35f, 0.12f, 1}};
    const LeafColors october{{0.26f, 0.32f, 0.12f, 1}, {0.45f, 0.34f, 0.15f, 1}};
    const LeafColors winter{{0.44f, 0.31f, 0.16f, 1}, {0.52f, 0.36f, 0.19f, 1}};
    const LeafColors march{{0.38f, 0.30f, 0.20f, 1}, {0.45f, 0.36f, 0.24f, 1}};
    const LeafColors byMonth[] = {winter, winter, march, spring, spring, summer, summer, summer, summer, october,
        winter, winter};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(LeafColors::forMonth(month), byMonth[month - 1]) << "month " << month;
    EXPECT_EQ(LeafColors::forMonth(0), march);
    EXPECT_EQ(LeafColors::forMonth(13), march);
}

TEST(LeafColors, TakeTheMonthOfADateInLocalTime)
{
    std::tm mayNoon{};
    mayNoon.tm_year = 2026 - 1900;
    mayNoon.tm_mon = 4;
    mayNoon.tm_mday = 15;
    mayNoon.tm_hour = 12;
    mayNoon.tm_isdst = -1;
    const auto date = std::chrono::system_clock::from_time_t(std::mktime(&mayNoon));
    EXPECT_EQ(velorin::seasonalLeafColors(date), LeafColors::forMonth(5));
}
