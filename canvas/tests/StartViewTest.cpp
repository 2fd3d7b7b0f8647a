#include "canvas/LastCamera.h"
#include "canvas/StartView.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace velorin {
namespace {

TEST(StartView, ReadsThreeToSixNumbersSkippingEmptyAndBadPieces)
{
    struct Case {
        std::vector<std::string> arguments;
        std::optional<StartView> view;
    };
    const Case cases[] = {
        {{"velorin", "-startAt", "45.92,6.87,14"}, StartView{45.92, 6.87, 14, 0, 0, std::nullopt}},
        {{"velorin", "-startAt", "45.92,6.87,14,90,200,2.5,7"}, StartView{45.92, 6.87, 14, 90, 200, 2.5}},
        {{"velorin", "-startAt", "45.92,,6.87,14"}, StartView{45.92, 6.87, 14, 0, 0, std::nullopt}},
        {{"velorin", "-startAt", "45.92,abc,6.87,14"}, StartView{45.92, 6.87, 14, 0, 0, std::nullopt}},
        {{"velorin", "-startAt", "45.92,inf,nan,6.87, 14,14"}, StartView{45.92, 6.87, 14, 0, 0, std::nullopt}},
        {{"velorin", "-startAt", "45.9,+6.87,14,-30,+45"}, StartView{45.9, 6.87, 14, -30, 45, std::nullopt}},
        {{"velorin", "-startAt", "45.9,+-6.87,++6.87,+,6.87,14"}, StartView{45.9, 6.87, 14, 0, 0, std::nullopt}},
        {{"velorin", "-startAt", "45.92,6.87"}, std::nullopt},
        {{"velorin", "-startAt"}, std::nullopt},
        {{"velorin", "-snapshotTo", "out.jpg"}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        EXPECT_EQ(StartView::parse(c.arguments), c.view);
    }
}

TEST(StartView, NumbersUseAPointWhateverTheLocale)
{
    // A comma locale would read "45.92" as 45 if the process locale were consulted.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    const auto view = StartView::parse(std::vector<std::string>{"-startAt", "45.92,6.87,14.5"});
    std::setlocale(LC_NUMERIC, previous.c_str());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->latitude, 45.92);
    EXPECT_EQ(view->zoom, 14.5);
}

TEST(LastCamera, RoundTripsTheCentreAndZoomAndIgnoresAnythingButThreeFiniteNumbers)
{
    testing_support::TemporaryFolder folder;
    platform::UserDefaults defaults(folder / "defaults.json");
    Camera camera;
    camera.center = WorldPoint::fromLatitudeLongitude(45.9, 6.87);
    camera.zoom = 13.5;
    camera.pitch = 1;
    LastCamera::save(defaults, camera);
    const auto restored = LastCamera::restore(platform::UserDefaults(folder / "defaults.json"));
    ASSERT_TRUE(restored);
    EXPECT_NEAR(restored->latitude, 45.9, 1e-9);
    EXPECT_NEAR(restored->longitude, 6.87, 1e-9);
    EXPECT_EQ(restored->zoom, 13.5);

    for (const auto& bad : {nlohmann::json::array({45.9, 6.87}), nlohmann::json::array({45.9, "x", 13}),
             nlohmann::json::array({45.9, 6.87, 13, 1}), nlohmann::json::array({45.9, nullptr, 13})}) {
        SCOPED_TRACE(bad.dump());
        defaults.setArray(LastCamera::kKey, bad);
        EXPECT_EQ(LastCamera::restore(defaults), std::nullopt);
    }
    defaults.setString(LastCamera::kKey, "45.9,6.87,13");
    EXPECT_EQ(LastCamera::restore(defaults), std::nullopt);
}

} // namespace
} // namespace velorin
