#include "AppModelFixture.h"

#include <fmt/format.h>

#include <functional>
#include <string>
#include <vector>

using testing_support::AppModelFixture;
using velorin::AppModel;
using velorin::FlyoverMode;

using AppModelPreferences = AppModelFixture;

namespace {

using Reading = std::function<std::string(const AppModel&)>;

const Reading basemap = [](const AppModel& model) { return std::string(model.basemap().rawValue()); };
const Reading toponyms = [](const AppModel& model) { return fmt::format("{}", model.showsToponyms()); };
const Reading appleCommerce = [](const AppModel& model) { return fmt::format("{}", model.showsAppleCommerce()); };
const Reading photoPins = [](const AppModel& model) { return fmt::format("{}", model.showsPhotoPins()); };
const Reading slopes = [](const AppModel& model) { return fmt::format("{}", model.showsSlopes()); };
const Reading trees = [](const AppModel& model) { return fmt::format("{}", model.showsTrees()); };
const Reading flyoverMode
    = [](const AppModel& model) { return model.flyoverMode() == FlyoverMode::drone ? "drone" : "follow"; };

} // namespace

TEST_F(AppModelPreferences, StoredValuesOfTheRightTypeAreRestoredAndOthersReadAsTheDefault)
{
    struct Case {
        std::string stored;
        Reading read;
        std::string expected;
    };
    const std::vector<Case> cases {
        { "{}", basemap, "planIGN" },
        { "{}", toponyms, "true" },
        { "{}", appleCommerce, "false" },
        { "{}", photoPins, "false" },
        { "{}", slopes, "false" },
        { "{}", trees, "true" },
        { "{}", flyoverMode, "follow" },
        { R"({"Velorin.basemap": "openTopo"})", basemap, "openTopo" },
        { R"({"Velorin.basemap": "appleSatellite"})", basemap, "appleSatellite" },
        { R"({"Velorin.basemap": "top25"})", basemap, "planIGN" },
        { R"({"Velorin.basemap": "slopes"})", basemap, "planIGN" },
        { R"({"Velorin.basemap": "OpenTopo"})", basemap, "planIGN" },
        { R"({"Velorin.basemap": 3})", basemap, "planIGN" },
        { R"({"Velorin.toponyms": false})", toponyms, "false" },
        { R"({"Velorin.toponyms": "false"})", toponyms, "true" },
        { R"({"Velorin.trees": false})", trees, "false" },
        { R"({"Velorin.trees": "false"})", trees, "true" },
        { R"({"Velorin.trees": 0})", trees, "true" },
        { R"({"Velorin.photoPins": true})", photoPins, "true" },
        { R"({"Velorin.photoPins": "true"})", photoPins, "false" },
        { R"({"Velorin.appleCommerce": true})", appleCommerce, "true" },
        { R"({"Velorin.appleCommerce": 1})", appleCommerce, "false" },
        { R"({"Velorin.slopes": true})", slopes, "true" },
        { R"({"Velorin.flyoverMode": "drone"})", flyoverMode, "drone" },
        { R"({"Velorin.flyoverMode": "Drone"})", flyoverMode, "follow" },
        { R"({"Velorin.flyoverMode": "follow"})", flyoverMode, "follow" },
    };
    for (const auto& c : cases) {
        storePreferences(c.stored);
        EXPECT_EQ(c.read(makeModel()), c.expected) << c.stored;
    }
}

TEST_F(AppModelPreferences, LibraryPhotosAreOnUnlessABooleanSaysOtherwise)
{
    struct Case {
        std::string stored;
        bool enabled;
    };
    for (const auto& c : { Case { "{}", true }, Case { R"({"Velorin.libraryPhotos": false})", false },
             Case { R"({"Velorin.libraryPhotos": "false"})", true } }) {
        storePreferences(c.stored);
        EXPECT_EQ(AppModel::libraryPhotosEnabled(*readPreferences()), c.enabled) << c.stored;
    }
}

TEST_F(AppModelPreferences, TheOtherPublishedStateStartsAtItsDefaults)
{
    const auto& model = makeModel();
    EXPECT_EQ(model.zoom(), 6.0);
    EXPECT_EQ(model.metersPerPixel(), 0.0);
    EXPECT_EQ(model.bearing(), 0.0);
    EXPECT_FALSE(model.isFollowingUser());
    EXPECT_FALSE(model.isCompassFollowing());
    EXPECT_EQ(model.tileStatus(), velorin::TileLoader::Status {});
    EXPECT_FALSE(model.showsActivity());
    EXPECT_FALSE(model.isStalled());
    EXPECT_FALSE(model.is3D());
    EXPECT_TRUE(model.areControlsVisible());
    EXPECT_EQ(model.altitudeState(), velorin::AltitudeState::searching());
    EXPECT_TRUE(model.network().isReachable());
    EXPECT_FALSE(model.network().isExpensive());
}

TEST(AltitudeState, ValuesCompareTheirAltitudeAndOtherCasesOnlyTheirCase)
{
    using velorin::AltitudeState;
    EXPECT_EQ(AltitudeState::value(1250.5), AltitudeState::value(1250.5));
    EXPECT_NE(AltitudeState::value(1250.5), AltitudeState::value(1250.0));
    EXPECT_NE(AltitudeState::value(0), AltitudeState::searching());
    EXPECT_NE(AltitudeState::searching(), AltitudeState::denied());
    EXPECT_EQ(AltitudeState::unavailable(), AltitudeState::unavailable());
}
