#include "app/ui/ScaleBar.h"

#include "widgets/ControlLook.h"
#include "app/ui/tests/WidgetTest.h"

#include "map-data/WorldPoint.h"

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

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

TEST_F(ScaleBarWidget, TheFigureTakesTheSameRoomWhicheverDigitItIs)
{
    // GNOME's interface font spaces its digits proportionally: a narrow "1", a wide "5".
    const QFont previous = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("Cantarell")));
    ASSERT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("Cantarell"))
        << "the Cantarell font (fonts-cantarell, scripts/install-deps)";

    constexpr double kPixelRatio = 4;
    const QColor backdrop(40, 44, 52);
    QImage picture;
    std::vector<int> inkEnds;
    for (const char* label : { "1 km", "2 km", "5 km" }) {
        // At the equator, the zoom whose scale gives that label.
        const double metersPerPixel = std::atof(label) * 1000 / ScaleBar::kTargetLengthPoints;
        model->cameraDidChange({ 0.5, 0.5 }, std::log2(velorin::kEarthCircumferenceMeters / (256 * metersPerPixel)), 0);
        ScaleBar bar(*model, nullptr);
        ASSERT_TRUE(bar.current());
        ASSERT_EQ(bar.current()->label.toStdString(), label);
        bar.resize(bar.sizeHint());

        QImage image(bar.size() * kPixelRatio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(kPixelRatio);
        image.fill(backdrop);
        bar.render(&image, {}, {}, QWidget::DrawChildren);
        // The label's last inked column, in the text's rows above the bar.
        const QFont labelFont = velorin::ControlLook::textFont(ScaleBar::kLabelPixelSize, QFont::Medium);
        const int textRows = int(QFontMetrics(labelFont).height() * kPixelRatio);
        int end = -1;
        for (int y = 0; y < textRows; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != backdrop)
                    end = std::max(end, x);
        inkEnds.push_back(end);

        image.setDevicePixelRatio(1);
        QImage stacked(std::max(picture.width(), image.width()), picture.height() + image.height(),
            QImage::Format_ARGB32_Premultiplied);
        stacked.fill(backdrop);
        QPainter painter(&stacked);
        painter.drawImage(0, 0, picture);
        painter.drawImage(0, picture.height(), image);
        painter.end();
        picture = stacked;
    }
    QApplication::setFont(previous);

    EXPECT_EQ(inkEnds[0], inkEnds[1]) << "the unit does not move between 1 km and 2 km";
    EXPECT_EQ(inkEnds[1], inkEnds[2]) << "nor between 2 km and 5 km";
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "scale-bar-digits.png";
    ASSERT_TRUE(picture.save(QString::fromStdString(path.string()), "PNG"));
    std::cout << "scale bar picture: " << path.string() << '\n';
}
