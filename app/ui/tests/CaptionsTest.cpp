#include "app/ui/AltitudeCapsule.h"
#include "app/ui/AttributionColumn.h"
#include "app/ui/HaloEffect.h"
#include "app/ui/ScaleBar.h"

#include "app/tests/AppModelFixture.h"
#include "widgets/MonospacedDigits.h"
#include "testing/TestApplication.h"

#include <QApplication>
#include <QImage>
#include <QLabel>

#include <filesystem>
#include <iostream>

using velorin::AltitudeCapsule;
using velorin::AttributionColumn;
using velorin::Basemap;

namespace {

class CaptionsTest : public testing_support::AppModelFixture {
protected:
    void SetUp() override { testing_support::application(); }
};

} // namespace

TEST_F(CaptionsTest, TheAltitudeIsRoundedToWholeMetresHalvesAwayFromZero)
{
    struct Case {
        double meters;
        const char* text;
    };
    for (auto c : {Case {812.5, "813 m"}, Case {-0.5, "-1 m"}, Case {812.49, "812 m"}, Case {0.2, "0 m"}})
        EXPECT_EQ(AltitudeCapsule::text(c.meters), QString::fromUtf8(c.text)) << c.meters;
}

TEST_F(CaptionsTest, TheAltitudeCapsuleShowsOnlyWithAnAltitude)
{
    auto& model = makeModel();
    QWidget screen;
    auto* capsule = new AltitudeCapsule(model, &screen);
    EXPECT_FALSE(capsule->isVisibleTo(&screen)) << "searching for a fix";

    locateWalker(walkerFix(45.9237, 6.8694, 812.5));
    ASSERT_EQ(model.altitudeState(), velorin::AltitudeState::value(812.5));
    EXPECT_TRUE(capsule->isVisibleTo(&screen));
    EXPECT_EQ(velorin::MonospacedDigits::plainText(capsule->altitude().text()), QStringLiteral("813 m"));

    position->changeAuthorization(platform::LocationAuthorization::denied);
    EXPECT_FALSE(capsule->isVisibleTo(&screen)) << "a refused permission has no altitude";
}

TEST_F(CaptionsTest, TheAltitudeKeepsItsWidthFromOneFigureToTheNext)
{
    const auto font = testing_support::proportionalDigitsFont();
    if (!font)
        GTEST_SKIP() << "every font here has digits of one width";
    const QFont before = QApplication::font();
    QApplication::setFont(*font);
    auto& model = makeModel();
    QWidget screen;
    auto* capsule = new AltitudeCapsule(model, &screen);
    locateWalker(walkerFix(45.9237, 6.8694, 1111));
    const int ones = capsule->altitude().sizeHint().width();
    position->deliver({walkerFix(45.9237, 6.8694, 1808)});
    EXPECT_EQ(velorin::MonospacedDigits::plainText(capsule->altitude().text()), QStringLiteral("1808 m"));
    EXPECT_EQ(capsule->altitude().sizeHint().width(), ones) << font->family().toStdString();
    QApplication::setFont(before);
}

TEST_F(CaptionsTest, ANewAltitudeCrossFadesWhileTheCapsuleTakesItsWidth)
{
    auto& model = makeModel();
    QWidget screen;
    screen.resize(400, 100);
    auto* capsule = new AltitudeCapsule(model, &screen);
    locateWalker(walkerFix(45.9237, 6.8694, 813));
    capsule->adjustSize();
    screen.show();
    const int narrow = capsule->width();
    const auto textAlpha = [&] { return capsule->altitude().palette().color(QPalette::WindowText).alphaF(); };

    position->deliver({walkerFix(45.9237, 6.8694, 1204)});
    EXPECT_EQ(velorin::MonospacedDigits::plainText(capsule->altitude().text()), QStringLiteral("1204 m"));
    EXPECT_EQ(capsule->width(), narrow) << "it sets off at the old width";
    const int wide = capsule->sizeHint().width();
    ASSERT_GT(wide, narrow);

    capsule->change().setCurrentTime(100);
    EXPECT_NEAR(capsule->width(), (narrow + wide) / 2.0, 1) << "half-way, evenly eased";
    EXPECT_NEAR(textAlpha(), 0.5, 0.02) << "the new figure half faded in";

    capsule->change().setCurrentTime(200);
    EXPECT_EQ(capsule->minimumWidth(), 0);
    EXPECT_EQ(capsule->maximumWidth(), QWIDGETSIZE_MAX) << "the layout gives it its width again";
    EXPECT_EQ(textAlpha(), 1);
}

TEST_F(CaptionsTest, TheCreditLineFollowsTheBasemapAndTheColumnKeepsItsShadow)
{
    auto& model = makeModel();
    QWidget screen;
    auto* column = new AttributionColumn(model, &screen);
    int withCredit = 0;
    int withoutCredit = 0;
    for (Basemap basemap : Basemap::allCases) {
        model.selectBasemap(basemap);
        if (model.basemap() != basemap)
            continue;
        const auto credit = basemap.attribution();
        ++(credit ? withCredit : withoutCredit);
        EXPECT_EQ(column->attribution().isVisibleTo(column), credit.has_value()) << basemap.rawValue();
        if (credit) {
            EXPECT_EQ(column->attribution().text().toStdString(), *credit);
        }
    }
    EXPECT_GT(withCredit, 0);
    EXPECT_GT(withoutCredit, 0) << "a map without a credit line was shown";
    EXPECT_TRUE(column->scaleBar().isVisibleTo(column)) << "the scale bar stays alone";
    auto* shadow = dynamic_cast<velorin::HaloEffect*>(column->graphicsEffect());
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(shadow->color(), QColor(0, 0, 0, 128));
    EXPECT_EQ(shadow->radius(), 2);
}

TEST_F(CaptionsTest, TheColumnsWhiteTextHasADarkHaloOverALightMapAndStaysReadableOverADarkOne)
{
    auto& model = makeModel();
    model.selectBasemap(Basemap::planIGN);
    // A scale bar to draw as well as the credit line.
    model.cameraDidChange(velorin::WorldPoint::fromLatitudeLongitude(45.9, 6.9), 13, 0);
    struct Case {
        QColor map;
        const char* picture;
    };
    for (const Case& c : {Case {Qt::white, "captions-on-white.png"}, Case {Qt::black, "captions-on-black.png"}}) {
        QWidget screen;
        screen.setAutoFillBackground(true);
        QPalette palette = screen.palette();
        palette.setColor(QPalette::Window, c.map);
        screen.setPalette(palette);
        auto* column = new AttributionColumn(model, &screen);
        column->move(8, 8);
        column->adjustSize();
        screen.resize(column->width() + 16, column->height() + 16);
        const QImage image = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / c.picture;
        ASSERT_TRUE(image.save(QString::fromStdString(path.string()), "PNG"));

        // White glyphs with a dark rim: some pixels of each, whatever the map.
        int dark = 0;
        int light = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int grey = qGray(image.pixel(x, y));
                dark += grey < 160;
                light += grey > 200;
            }
        }
        const int area = image.width() * image.height();
        if (c.map == Qt::white) {
            EXPECT_GT(dark, area / 100) << "a halo shows around the white glyphs, " << path;
        } else {
            EXPECT_GT(light, area / 100) << "the white text reads on black, " << path;
        }
    }
}
