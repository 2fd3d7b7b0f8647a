#include "app/ui/CompassPad.h"

#include "app/ui/CompassDial.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/tests/WidgetTest.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

using velorin::CompassDial;
using velorin::CompassPad;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = CompassDial::kSizePoints / 2;

// A point of the dial `radius` from its centre at `degrees`, clockwise from east on screen.
QPoint at(double radius, double degrees)
{
    const double radians = degrees * kPi / 180;
    return QPoint(int(std::lround(kCentre + radius * std::cos(radians))),
        int(std::lround(kCentre + radius * std::sin(radians))));
}

} // namespace

class CompassPadWidget : public testing_support::WidgetTest {
protected:
    QWidget screen;
    CompassPad* pad = nullptr;

    void SetUp() override
    {
        WidgetTest::SetUp();
        pad = new CompassPad(*model, &screen);
    }

    CompassDial& dial() const { return pad->dial(); }

    void drag(const std::vector<QPoint>& path)
    {
        QTest::mousePress(&dial(), Qt::LeftButton, {}, path.front());
        for (std::size_t i = 1; i < path.size(); ++i)
            QTest::mouseMove(&dial(), path[i]);
        QTest::mouseRelease(&dial(), Qt::LeftButton, {}, path.back());
    }

    std::vector<std::string> turnKinds() const
    {
        std::vector<std::string> kinds;
        for (const auto& turn : canvas->turns)
            kinds.push_back(turn.first);
        return kinds;
    }

    void hideControls()
    {
        model->revealControls();
        advance(velorin::AppModel::kControlsHideDelaySeconds + AppModelFixture::kStepSeconds);
        ASSERT_FALSE(model->areControlsVisible());
    }
};

TEST_F(CompassPadWidget, TheCentreTurnsInPlaceAndTheRingOrbitsDecidedWhereTheDragStarts)
{
    struct Case {
        double startRadius;
        double endRadius;
        std::string kind;
    };
    for (const auto& c : {
             Case { 10, 10, "turnInPlaceNow" },
             // Exactly on the border of the centre still turns in place.
             Case { CompassDial::kGrabRadiusPoints, 30, "turnInPlaceNow" },
             Case { 30, 30, "rotate" },
             // From the ring into the centre keeps orbiting, and the reverse keeps turning.
             Case { 35, 5, "rotate" },
             Case { 5, 35, "turnInPlaceNow" },
         }) {
        canvas->turns.clear();
        drag({ at(c.startRadius, 0), at(c.endRadius, 20), at(c.endRadius, 40) });
        EXPECT_EQ(turnKinds(), std::vector<std::string>(2, c.kind)) << c.startRadius << " to " << c.endRadius;
        EXPECT_FALSE(dial().grabbedOuter()) << "the drag has ended";
    }
}

TEST_F(CompassPadWidget, ClockwisePointerMotionTurnsTheMapByMinusTheAngleSwept)
{
    QTest::mousePress(&dial(), Qt::LeftButton, {}, at(30, 0));
    QTest::mouseMove(&dial(), at(30, 45));
    ASSERT_EQ(dial().grabbedOuter(), true);
    QTest::mouseMove(&dial(), at(30, 30));
    QTest::mouseRelease(&dial(), Qt::LeftButton, {}, at(30, 30));
    ASSERT_EQ(canvas->turns.size(), 2u);
    EXPECT_NEAR(canvas->turns[0].second, -kPi / 4, 0.05);
    EXPECT_NEAR(canvas->turns[1].second, kPi / 12, 0.05);
}

TEST_F(CompassPadWidget, CrossingTheLineLeftOfTheCentreGivesASmallTurnOfTheSameSign)
{
    // Left of the centre, moving down the screen, is anticlockwise pointer motion.
    drag({ QPoint(int(kCentre) - 30, int(kCentre) - 2), QPoint(int(kCentre) - 30, int(kCentre) + 2) });
    ASSERT_EQ(canvas->turns.size(), 1u);
    EXPECT_GT(canvas->turns[0].second, 0);
    EXPECT_LT(canvas->turns[0].second, 0.2);

    canvas->turns.clear();
    drag({ QPoint(int(kCentre) - 30, int(kCentre) + 2), QPoint(int(kCentre) - 30, int(kCentre) - 2) });
    ASSERT_EQ(canvas->turns.size(), 1u);
    EXPECT_LT(canvas->turns[0].second, 0);
    EXPECT_GT(canvas->turns[0].second, -0.2);
}

TEST_F(CompassPadWidget, APointerOnTheCentreHasTheAngleZero)
{
    // From straight above the centre (−π/2) onto the centre itself (0).
    drag({ at(10, -90), QPoint(int(kCentre), int(kCentre)) });
    ASSERT_EQ(canvas->turns.size(), 1u);
    EXPECT_NEAR(canvas->turns[0].second, -kPi / 2, 1e-9);
}

TEST_F(CompassPadWidget, TheCentreShowsItIsGrabbedOnlyWhileTurningInPlace)
{
    QTest::mousePress(&dial(), Qt::LeftButton, {}, at(5, 0));
    EXPECT_FALSE(dial().grabbedOuter()) << "a press alone is no drag yet";
    QTest::mouseMove(&dial(), at(5, 90));
    EXPECT_EQ(dial().grabbedOuter(), false);
    QTest::mouseRelease(&dial(), Qt::LeftButton, {}, at(5, 90));
    EXPECT_FALSE(dial().grabbedOuter());
}

TEST_F(CompassPadWidget, ASmallMoveIsAClickThatBringsNorthUpThenFollowsTheHeading)
{
    model->cameraDidChange({ 0.5, 0.5 }, 10, 1.0);
    drag({ at(10, 0), at(10, 0) + QPoint(1, 0) });
    EXPECT_TRUE(canvas->turns.empty());
    EXPECT_EQ(canvas->targetBearing, 0.0) << "north up first";
    EXPECT_FALSE(model->isCompassFollowing());

    model->cameraDidChange({ 0.5, 0.5 }, 10, 0);
    QTest::mouseClick(&dial(), Qt::LeftButton, {}, at(10, 0));
    EXPECT_TRUE(model->isCompassFollowing());
    EXPECT_EQ(canvas->compassFollowingCalls, std::vector<bool> { true });
    EXPECT_EQ(dial().accessibleName(), "Arrêter le suivi du cap");

    QTest::mouseClick(&dial(), Qt::LeftButton, {}, at(10, 0));
    EXPECT_FALSE(model->isCompassFollowing());
    EXPECT_EQ(dial().accessibleName(), "Nord en haut, puis suivre le cap");
}

TEST_F(CompassPadWidget, TheCornersOutsideTheDialDoNotAnswer)
{
    hideControls();
    drag({ QPoint(1, 1), QPoint(1, 20), QPoint(20, 1) });
    QTest::mouseClick(&dial(), Qt::LeftButton, {}, QPoint(2, 82));
    EXPECT_TRUE(canvas->turns.empty());
    EXPECT_FALSE(model->isCompassFollowing());
    EXPECT_FALSE(model->areControlsVisible());
}

TEST_F(CompassPadWidget, TheButtonsTurnInPlaceBySixteenthsOrHalfATurn)
{
    for (const char* name : { "turnLeft", "halfTurn", "turnRight" })
        QTest::mouseClick(pad->findChild<velorin::SymbolButton*>(name), Qt::LeftButton);
    ASSERT_EQ(canvas->turns.size(), 3u);
    const double expected[] = { -kPi / 8, kPi, kPi / 8 };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(canvas->turns[i].first, "turnInPlace");
        EXPECT_DOUBLE_EQ(canvas->turns[i].second, expected[i]);
    }
    EXPECT_EQ(pad->findChild<velorin::SymbolButton*>("turnLeft")->accessibleName(), "Tourner à gauche");
    EXPECT_EQ(pad->findChild<velorin::SymbolButton*>("halfTurn")->accessibleName(), "Faire demi-tour");
    EXPECT_EQ(pad->findChild<velorin::SymbolButton*>("turnRight")->accessibleName(), "Tourner à droite");
}

TEST_F(CompassPadWidget, WithoutACanvasEveryActionStillRevealsTheControls)
{
    canvas.reset();
    ASSERT_FALSE(model->canvas());
    const auto actions = std::vector<std::function<void()>> {
        [&] { drag({ at(30, 0), at(30, 30) }); },
        [&] { drag({ at(5, 0), at(5, 30) }); },
        [&] { QTest::mouseClick(pad->findChild<velorin::SymbolButton*>("turnLeft"), Qt::LeftButton); },
        [&] { QTest::mouseClick(pad->findChild<velorin::SymbolButton*>("halfTurn"), Qt::LeftButton); },
        [&] { QTest::mouseClick(&dial(), Qt::LeftButton, {}, at(10, 0)); },
    };
    for (std::size_t i = 0; i < actions.size(); ++i) {
        hideControls();
        actions[i]();
        EXPECT_TRUE(model->areControlsVisible()) << "action " << i;
    }
}
