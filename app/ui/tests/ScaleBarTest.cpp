#include "app/ui/ScaleBar.h"

#include "app/ui/tests/WidgetTest.h"

#include <QRegularExpression>

#include <limits>
#include <string>

using velorin::ScaleBar;

TEST(ScaleBar, RoundsTheGroundLengthToOneTwoOrFiveTimesAPowerOfTen)
{
    struct Case {
        double metersPerPixel;
        double displayScale;
        std::string label;
        double width;
    };
    for (auto c : {
             Case { 1.0, 2, "200 m", 100 },
             Case { 10.0, 2, "2 km", 100 },
             Case { 0.5, 2, "100 m", 100 },
             Case { 3.0, 2, "500 m", 500.0 / 6 },
             Case { 100.0, 2, "20 km", 100 },
             // 150 m is as far from 100 m as from 200 m: the smaller wins.
             Case { 150.0 / 90, 1, "100 m", 60 },
             Case { 1.0, 1, "100 m", 100 },
             Case { 50.0, 1, "5 km", 100 },
             Case { 111.0, 1, "10 km", 10000.0 / 111 },
             // Below a metre the whole part is zero.
             Case { 0.005, 1, "0 m", 100 },
         }) {
        const auto scale = ScaleBar::scale(c.metersPerPixel, c.displayScale);
        ASSERT_TRUE(scale) << c.metersPerPixel;
        EXPECT_EQ(scale->label.toStdString(), c.label) << c.metersPerPixel;
        EXPECT_NEAR(scale->widthPoints, c.width, 1e-9) << c.metersPerPixel;
    }
}

TEST(ScaleBar, WritesLengthsBeyondAnyIntegerTypeInPlainDigits)
{
    const auto scale = ScaleBar::scale(1e290, 1);
    ASSERT_TRUE(scale);
    EXPECT_TRUE(QRegularExpression("^[1-9][0-9]{288,289} km$").match(scale->label).hasMatch()) << scale->label.toStdString();
    EXPECT_NEAR(scale->widthPoints, 100, 1e-9);
}

TEST(ScaleBar, ShowsNoScaleForAGroundScaleThatIsNotAPositiveNumber)
{
    for (double metersPerPixel : { 0.0, -1.0, std::numeric_limits<double>::infinity(),
             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
             std::numeric_limits<double>::max() })
        EXPECT_FALSE(ScaleBar::scale(metersPerPixel, 2)) << metersPerPixel;
}

class ScaleBarWidget : public testing_support::WidgetTest {};

TEST_F(ScaleBarWidget, FollowsTheCameraAndTakesNoRoomWithoutAScale)
{
    ScaleBar bar(*model, nullptr);
    EXPECT_FALSE(bar.current());
    EXPECT_EQ(bar.sizeHint(), QSize(0, 0));

    // Level 10 at the equator: about 153 m a pixel.
    model->cameraDidChange({ 0.5, 0.5 }, 10, 0);
    const auto expected = ScaleBar::scale(model->metersPerPixel(), bar.devicePixelRatioF());
    ASSERT_TRUE(expected);
    EXPECT_EQ(bar.current(), expected);
    EXPECT_EQ(bar.accessibleName(), expected->label);
    EXPECT_GE(bar.sizeHint().width(), int(expected->widthPoints));
}
