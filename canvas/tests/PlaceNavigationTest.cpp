#include "CanvasTestSupport.h"

#include <cmath>
#include <fstream>

namespace velorin {
namespace {

using testing_support::CanvasTest;

// A canvas at rest over the Alps near the col, at zoom 13, 500×400 pixels (small enough for 500 m to
// stay within the zoom limits), with its journal on.
class PlaceNavigation : public CanvasTest {
protected:
    std::shared_ptr<MapCanvasView> canvas;
    const Toponym col {"col-1", "Col de la Seigne", Toponym::Kind::col, 45.75, 6.80, 2, 2516};

    void SetUp() override
    {
        defaults->setArray("Velorin.lastCamera", nlohmann::json::array({45.76, 6.81, 13}));
        defaults->setBoolean(GestureJournal::kEnabledKey, true);
        window.bounds = {250, 200};
        canvas = makeCanvas();
        canvas->layout();
        runFrames(*canvas);
    }

    void pitch(double radians, double bearing)
    {
        Camera camera = canvas->camera();
        camera.pitch = radians;
        camera.bearing = bearing;
        canvas->applyCamera(camera, true);
        runFrames(*canvas);
    }

    // The journal's texts, without the motion lines that follow camera moves.
    std::vector<std::string> journal() const
    {
        std::ifstream file(folder / "cache" / "VelorinGestes.log");
        std::vector<std::string> texts;
        for (std::string line; std::getline(file, line);) {
            std::string text = line.substr(24, line.find(" -startAt ") - 24);
            if (!text.starts_with("  mouvement"))
                texts.push_back(std::move(text));
        }
        return texts;
    }
};

TEST_F(PlaceNavigation, EachKindIsFramedFromItsDistanceBackAndHeightAboveItsGround)
{
    struct Case {
        Toponym::Kind kind;
        double heightMeters;
        double distanceMeters;
    };
    const Case cases[] = {
        {Toponym::Kind::summit, 120, 1500},
        {Toponym::Kind::col, 300, 1300},
        {Toponym::Kind::ridge, 120, 1500},
        {Toponym::Kind::refuge, 450, 1000},
        {Toponym::Kind::viewpoint, 120, 1500},
        {Toponym::Kind::place, 450, 1000},
    };
    pitch(0.8, 0.6);
    const double ground = canvas->renderer().frame.frameBaseElevation;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        Toponym place = col;
        place.kind = c.kind;
        const auto framed = canvas->reliefFraming(place);
        ASSERT_TRUE(framed);
        const WorldPoint target = WorldPoint::fromLatitudeLongitude(place.latitude, place.longitude);
        EXPECT_NEAR(framed->center.x, target.x, 1e-12);
        EXPECT_NEAR(framed->center.y, target.y, 1e-12);
        EXPECT_NEAR(framed->bearing, 0.6, 1e-9);
        const auto eye = canvas->renderer().eyePosition(*framed);
        const double metersPerUnit = target.metersPerWorldUnit();
        // Behind the place as the view looks: back along the bearing.
        EXPECT_NEAR((eye.ground.x - target.x) * metersPerUnit, -std::sin(0.6) * c.distanceMeters, 0.5);
        EXPECT_NEAR((eye.ground.y - target.y) * metersPerUnit, std::cos(0.6) * c.distanceMeters, 0.5);
        EXPECT_NEAR(eye.altitude, ground + c.heightMeters, 0.5);
    }
}

TEST_F(PlaceNavigation, APlaceShownWithoutAnimationInAPitchedViewIsFramedAtOnce)
{
    pitch(0.8, 0);
    const auto framed = canvas->reliefFraming(col);
    ASSERT_TRUE(framed);
    canvas->show(col, false);
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->camera().pitch, framed->pitch);
    EXPECT_EQ(canvas->targetPitch(), framed->pitch);
    EXPECT_EQ(canvas->camera().center, framed->center);
    EXPECT_NEAR(canvas->camera().zoom, framed->zoom, 1e-12);
    EXPECT_FALSE(canvas->chosenPlace());
    EXPECT_EQ(journal().back(), "montrer Col de la Seigne sans animation");
}

TEST_F(PlaceNavigation, AFlatViewShowsFiveHundredMetresAroundThePlaceAndChoosesIt)
{
    canvas->show(col, true);
    ASSERT_TRUE(canvas->animation());
    const WorldPoint target = WorldPoint::fromLatitudeLongitude(col.latitude, col.longitude);
    EXPECT_EQ(canvas->animation()->toCenter, target);
    const Camera& camera = canvas->camera();
    const double metersPerPixel = 500 / (camera.viewSize.height * camera.focalLength);
    EXPECT_NEAR(canvas->animation()->toZoom, std::log2(target.metersPerWorldUnit() / metersPerPixel / 256), 1e-9);
    EXPECT_EQ(canvas->chosenPlace(), col);
    EXPECT_EQ(journal().back(), "montrer Col de la Seigne");
    runFrames(*canvas);
    EXPECT_EQ(canvas->camera().center, target);
    EXPECT_EQ(canvas->camera().pitch, 0);
}

TEST_F(PlaceNavigation, ReliefSwitchedOnAtThePlaceJustShownFramesItAndElsewhereTiltsTo70Degrees)
{
    canvas->show(col, false);
    ASSERT_EQ(canvas->chosenPlace(), col);
    const auto framed = canvas->reliefFraming(col);
    ASSERT_TRUE(framed);
    canvas->set3D(true);
    EXPECT_FALSE(canvas->chosenPlace());
    EXPECT_EQ(canvas->targetPitch(), framed->pitch);
    ASSERT_TRUE(canvas->animation());
    EXPECT_EQ(canvas->animation()->toCenter, framed->center);
    runFrames(*canvas);

    canvas->set3D(false);
    runFrames(*canvas);
    canvas->show(col, false);
    Camera away = canvas->camera();
    away.center.x += 100 / away.center.metersPerWorldUnit();
    canvas->applyCamera(away, true);
    canvas->set3D(true);
    EXPECT_EQ(canvas->targetPitch(), MapCanvasView::kReliefPitchRadians) << "100 m from the place";
    EXPECT_FALSE(canvas->chosenPlace());
}

TEST_F(PlaceNavigation, GoingDirectlyStopsTheTurnUnderWayAndJumpsThere)
{
    canvas->rotate(1);
    canvas->goDirectly(col);
    EXPECT_EQ(canvas->targetBearing(), canvas->camera().bearing);
    EXPECT_FALSE(canvas->animation());
    EXPECT_EQ(canvas->camera().center, WorldPoint::fromLatitudeLongitude(col.latitude, col.longitude));
    EXPECT_EQ(journal(),
        (std::vector<std::string>{"aller directement à Col de la Seigne", "montrer Col de la Seigne sans animation"}));
}

} // namespace
} // namespace velorin
