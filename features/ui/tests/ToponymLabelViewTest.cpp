#include "features/ui/ToponymLabelView.h"

#include "testing/TestApplication.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>

using velorin::Toponym;
using velorin::ToponymLabelView;
using Kind = Toponym::Kind;

namespace {

class ToponymLabelViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::application();
        QApplication::setFont(QFont("DejaVu Sans"));
    }

    static velorin::ToponymLabelStyle content(const QString& text, Kind kind, bool textOnLeft, bool inverted)
    {
        const QSizeF measured = ToponymLabelView::attributedText(text, false).size();
        return {text.toStdString(), kind, textOnLeft, inverted,
            std::ceil(measured.width()) + ToponymLabelView::kTextOffsetPoints, std::ceil(measured.height())};
    }

    // The share of a rectangle's pixels (points) whose colour is close to `colour`.
    static double share(const QImage& image, const QRectF& points, const QColor& colour)
    {
        const double scale = image.devicePixelRatio();
        const double margin = ToponymLabelView::kImageMarginPoints;
        const QRect pixels = QRectF(points.translated(margin, margin).topLeft() * scale, points.size() * scale).toRect();
        int near = 0;
        int all = 0;
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            for (int x = pixels.left(); x <= pixels.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                ++all;
                near += std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                        + std::abs(pixel.blue() - colour.blue()) < 40 && pixel.alpha() > 200;
            }
        }
        return all ? double(near) / all : 0;
    }
};

} // namespace

TEST_F(ToponymLabelViewTest, TheTextIsTheApplicationFontAtTwelvePixelsDemiboldWithALightOrDarkGlow)
{
    const auto normal = ToponymLabelView::attributedText("Mont Blanc 4806 m", false);
    EXPECT_EQ(normal.font.family(), "DejaVu Sans");
    EXPECT_EQ(normal.font.pixelSize(), 12);
    EXPECT_EQ(normal.font.weight(), QFont::DemiBold);
    EXPECT_TRUE(normal.stroke);
    EXPECT_LT(normal.foreground.lightnessF(), 0.1);
    EXPECT_GT(normal.shadowColor.lightnessF(), 0.9);
    EXPECT_EQ(normal.shadowBlur, 2);
    const auto inverted = ToponymLabelView::attributedText("Mont Blanc 4806 m", true);
    EXPECT_FALSE(inverted.stroke);
    EXPECT_EQ(inverted.foreground, QColor(Qt::white));
    EXPECT_LT(inverted.shadowColor.lightnessF(), 0.1);
    EXPECT_EQ(inverted.shadowBlur, 3);

    const QSizeF size = normal.size();
    EXPECT_GT(size.height(), 12);
    EXPECT_LT(size.height(), 18);
    EXPECT_GT(size.width(), ToponymLabelView::attributedText("Mont Blanc", false).size().width() + 20);
}

TEST_F(ToponymLabelViewTest, EachKindHasItsMarkerShape)
{
    const QRectF box(0, 0, 9, 9);
    const auto summit = ToponymLabelView::markerPath(Kind::summit, box);
    EXPECT_EQ(summit.boundingRect(), QRectF(0.5, 0.5, 8, 8));
    EXPECT_TRUE(summit.contains(QPointF(4.5, 6)));
    EXPECT_FALSE(summit.contains(QPointF(1.5, 1.5))) << "a triangle pointing up";
    const auto col = ToponymLabelView::markerPath(Kind::col, box);
    EXPECT_TRUE(col.contains(QPointF(4.5, 4.5)));
    EXPECT_FALSE(col.contains(QPointF(1.5, 7.5))) << "a diamond";
    EXPECT_TRUE(col.contains(QPointF(1.5, 4.5)));

    const auto refuge = ToponymLabelView::markerPath(Kind::refuge, box);
    EXPECT_EQ(refuge.boundingRect(), QRectF(0.5, 0.5, 8, 8));
    EXPECT_TRUE(refuge.contains(QPointF(1.2, 4.5))) << "square sides";
    EXPECT_TRUE(refuge.contains(QPointF(1.3, 1.3)));
    EXPECT_FALSE(refuge.contains(QPointF(0.6, 0.6))) << "rounded corners";

    for (Kind round : {Kind::viewpoint, Kind::ridge, Kind::place}) {
        const auto circle = ToponymLabelView::markerPath(round, box);
        EXPECT_EQ(circle.boundingRect(), QRectF(1, 1, 7, 7));
        EXPECT_TRUE(circle.contains(QPointF(4.5, 1.2)));
        EXPECT_FALSE(circle.contains(QPointF(1.6, 1.6))) << "a circle";
    }
}

TEST_F(ToponymLabelViewTest, ALabelShowsItsMarkerAtOneEndAndItsTextAtTheOther)
{
    const auto right = content("Refuge du Goûter 3835 m", Kind::refuge, false, false);
    const QImage onRight = ToponymLabelView::render(right, 2);
    EXPECT_EQ(onRight.size(), ((QSizeF(right.width + 8, right.height + 8)) * 2).toSize());
    const double markerY = (right.height - 9) / 2;
    const QColor red = ToponymLabelView::markerColor(Kind::refuge);
    EXPECT_GT(share(onRight, QRectF(2, markerY + 2, 5, 5), red), 0.9) << "the refuge's red square at the start";
    EXPECT_EQ(share(onRight, QRectF(right.width - 9, markerY, 9, 9), red), 0);
    const QColor ink = ToponymLabelView::attributedText("", false).foreground;
    EXPECT_GT(share(onRight, QRectF(12, 0, right.width - 12, right.height), ink), 0.05)
        << "dark glyphs after the marker";

    const auto left = content("Pointe Percée", Kind::summit, true, true);
    const QImage onLeft = ToponymLabelView::render(left, 1.5);
    const QColor brown = ToponymLabelView::markerColor(Kind::summit);
    EXPECT_GT(share(onLeft, QRectF(left.width - 6.5, markerY + 4.5, 4, 2), brown), 0.5)
        << "the summit's triangle at the end";
    EXPECT_GT(share(onLeft, QRectF(0, 0, left.width - 12, left.height), Qt::white), 0.05)
        << "white glyphs before it";

    // What the map shows: both styles, each side, every kind.
    QImage sheet(540, 200, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2);
    sheet.fill(QColor(232, 226, 204));
    QPainter painter(&sheet);
    painter.fillRect(QRectF(135, 0, 135, 100), QColor(70, 88, 60));
    double y = 6;
    for (Kind kind : Toponym::kinds) {
        const QString name = QString::fromStdString(std::string(Toponym::rawValue(kind)));
        painter.drawImage(QPointF(4, y), ToponymLabelView::render(content(name + " 2204 m", kind, false, false), 2));
        painter.drawImage(QPointF(140, y), ToponymLabelView::render(content(name + " 2204 m", kind, true, true), 2));
        y += 15;
    }
    painter.end();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "toponym-labels.png";
    EXPECT_TRUE(sheet.save(QString::fromStdString(file.string())));
}
