#include "AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"

#include <string>
#include <vector>

using testing_support::AppModelFixture;
using testing_support::FakeMapCanvas;
using velorin::AppModel;
using velorin::Basemap;

using AppModelOptions = AppModelFixture;

namespace {

enum class Action { select, aerial, appleOn, appleOff };

struct Step {
    Action action;
    // What `select` selects; then the basemap expected after the step.
    Basemap target;
    Basemap expected;
};

Step select(Basemap basemap) { return { Action::select, basemap, basemap }; }
Step aerial(Basemap expected) { return { Action::aerial, expected, expected }; }
Step appleOn(Basemap expected) { return { Action::appleOn, expected, expected }; }
Step appleOff(Basemap expected) { return { Action::appleOff, expected, expected }; }

void run(AppModel& model, const Step& step)
{
    switch (step.action) {
    case Action::select:
        model.selectBasemap(step.target);
        break;
    case Action::aerial:
        model.toggleAerial();
        break;
    case Action::appleOn:
        model.setAppleMap(true);
        break;
    case Action::appleOff:
        model.setAppleMap(false);
        break;
    }
}

} // namespace

TEST_F(AppModelOptions, BasemapSequencesFollowTheAerialAndAppleToggles)
{
    struct Case {
        std::string name;
        std::string stored;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases {
        { "an unselectable remembered photo falls back to the orthophoto",
            R"({"Velorin.aerial": "slopes"})",
            { aerial(Basemap::orthophoto), aerial(Basemap::planIGN) } },
        { "the remembered photo is the last one selected",
            "{}",
            { select(Basemap::spainImage), select(Basemap::openTopo), aerial(Basemap::spainImage),
                aerial(Basemap::openTopo) } },
        { "the Apple plan toggles with the Apple satellite",
            R"({"Velorin.basemap": "applePlan"})",
            { aerial(Basemap::appleSatellite), aerial(Basemap::applePlan) } },
        { "leaving the Apple plan returns to the map before it",
            R"({"Velorin.basemap": "openTopo"})",
            { appleOn(Basemap::applePlan), appleOff(Basemap::openTopo) } },
        { "leaving the Apple satellite returns to the remembered photo",
            R"({"Velorin.basemap": "orthophoto", "Velorin.aerial": "swissImage"})",
            { appleOn(Basemap::appleSatellite), appleOff(Basemap::swissImage) } },
        { "switching on while on the Apple satellite keeps the map before the Apple plan",
            R"({"Velorin.basemap": "openTopo"})",
            { appleOn(Basemap::applePlan), aerial(Basemap::appleSatellite), appleOn(Basemap::appleSatellite),
                aerial(Basemap::applePlan), appleOff(Basemap::openTopo) } },
        { "after a restart, leaving a photo or the Apple plan gives the IGN plan",
            R"({"Velorin.basemap": "austriaImage"})",
            { aerial(Basemap::planIGN), select(Basemap::applePlan), appleOff(Basemap::planIGN) } },
        { "turning the photo off after a visit to the world maps stays with the IGN family",
            "{}",
            { appleOn(Basemap::applePlan), aerial(Basemap::appleSatellite), appleOff(Basemap::orthophoto),
                aerial(Basemap::planIGN) } },
        { "turning the world satellite off gives the world plan, not the map before the world maps",
            "{}",
            { aerial(Basemap::orthophoto), appleOn(Basemap::appleSatellite), aerial(Basemap::applePlan),
                appleOff(Basemap::planIGN) } },
        { "leaving the Apple plan skips a photo shown before it",
            R"({"Velorin.basemap": "openTopo"})",
            { aerial(Basemap::orthophoto), appleOn(Basemap::appleSatellite), select(Basemap::applePlan),
                appleOff(Basemap::openTopo) } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storePreferences(c.stored);
        auto& model = makeModel();
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            run(model, c.steps[i]);
            EXPECT_EQ(model.basemap().rawValue(), c.steps[i].expected.rawValue()) << "after step " << i + 1;
        }
        EXPECT_EQ(readPreferences()->string(AppModel::kBasemapKey), std::string(model.basemap().rawValue()));
    }
}

TEST_F(AppModelOptions, SelectingStoresTheBasemapAndOnlyOurOwnPhotosAsTheAerial)
{
    auto& model = makeModel();
    model.selectBasemap(Basemap::planIGN);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(std::filesystem::exists(folders.defaults())) << "selecting the basemap in use writes nothing";

    model.selectBasemap(Basemap::swissImage);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(readPreferences()->string(AppModel::kBasemapKey), "swissImage");
    EXPECT_EQ(readPreferences()->string(AppModel::kAerialKey), "swissImage");

    model.selectBasemap(Basemap::appleSatellite);
    EXPECT_EQ(readPreferences()->string(AppModel::kBasemapKey), "appleSatellite");
    EXPECT_EQ(readPreferences()->string(AppModel::kAerialKey), "swissImage");
}

TEST_F(AppModelOptions, TogglesFlipTheirFlagAndAllButReliefAreRestoredNextTime)
{
    struct Case {
        std::string name;
        void (AppModel::*toggle)();
        bool (AppModel::*read)() const;
        bool initial;
        bool stored;
    };
    const std::vector<Case> cases {
        { "place names", &AppModel::toggleToponyms, &AppModel::showsToponyms, true, true },
        { "Apple points of interest", &AppModel::toggleAppleCommerce, &AppModel::showsAppleCommerce, false, true },
        { "slopes", &AppModel::toggleSlopes, &AppModel::showsSlopes, false, true },
        { "trees", &AppModel::toggleTrees, &AppModel::showsTrees, true, true },
        { "relief", &AppModel::toggle3D, &AppModel::is3D, false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storePreferences("{}");
        auto& model = makeModel();
        changes = 0;
        ASSERT_EQ((model.*c.read)(), c.initial);
        (model.*c.toggle)();
        EXPECT_EQ((model.*c.read)(), !c.initial);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ((makeModel().*c.read)(), c.stored ? !c.initial : c.initial);
    }
}

TEST_F(AppModelOptions, EveryOptionReachesTheLiveCanvasButTheBasemapInUseLeavesItAlone)
{
    auto& model = makeModel();
    model.toggleTrees();
    EXPECT_FALSE(model.showsTrees()) << "without a canvas the option changes all the same";

    auto canvas = std::make_shared<FakeMapCanvas>();
    model.setCanvas(canvas);
    model.selectBasemap(model.basemap());
    EXPECT_FALSE(canvas->basemap);

    model.selectBasemap(Basemap::openTopo);
    EXPECT_EQ(canvas->basemap, Basemap(Basemap::openTopo));
    model.toggleAerial();
    EXPECT_EQ(canvas->basemap, Basemap(Basemap::orthophoto));

    model.toggleToponyms();
    EXPECT_EQ(canvas->toponyms, model.showsToponyms());
    model.toggleSlopes();
    EXPECT_EQ(canvas->slopes, model.showsSlopes());
    model.toggleTrees();
    EXPECT_EQ(canvas->trees, true);
    model.toggleAppleCommerce();
    EXPECT_EQ(canvas->appleCommerce, true);
    model.toggle3D();
    EXPECT_EQ(canvas->relief, true);
    model.toggle3D();
    EXPECT_EQ(canvas->relief, false);

    canvas.reset();
    model.toggleSlopes();
    EXPECT_FALSE(model.showsSlopes()) << "a canvas gone is skipped";
}
