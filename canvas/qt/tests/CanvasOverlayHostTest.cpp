#include "canvas/qt/CanvasOverlayHost.h"

#include "canvas/qt/ToponymLabelLayer.h"
#include "features/ui/ToponymHoverView.h"
#include "testing/TestApplication.h"

#include <QGraphicsOpacityEffect>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using velorin::CanvasOverlayHost;
using velorin::Toponym;

namespace {

QColor pixel(const platform::Image& image, int x, int y)
{
    const auto* p = image.pixels.data() + (std::size_t(y) * image.width + x) * 4;
    return QColor(int(p[0]), int(p[1]), int(p[2]));
}

// A plain square child view of one colour.
QWidget* square(QWidget& map, QColor colour, QRect frame, double opacity = 1)
{
    auto* view = new QWidget(&map);
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, colour);
    view->setPalette(palette);
    view->setGeometry(frame);
    if (opacity < 1) {
        auto* effect = new QGraphicsOpacityEffect(view);
        effect->setOpacity(opacity);
        view->setGraphicsEffect(effect);
    }
    view->show();
    return view;
}

} // namespace

TEST(CanvasOverlayHost, DrawsTheVisibleViewsScaledIntoTheFrameButNotTheHoverCard)
{
    testing_support::application();
    // Never shown, as in a run without a display.
    QWidget map;
    map.resize(200, 100);
    CanvasOverlayHost host(map);
    host.configureLabel(0, {"Refuge du Promontoire", Toponym::Kind::refuge, false, false, 160, 15});
    host.placeLabel(0, {20, 60, 160, 15});
    host.showHoverCard({20, 60, 160, 15});
    square(map, Qt::red, {10, 10, 20, 20});
    square(map, Qt::green, {50, 10, 20, 20}, 0.005);
    square(map, Qt::blue, {90, 10, 20, 20})->hide();
    square(map, QColor(255, 255, 0), {130, 10, 20, 20}, 0.5);

    // The map at 2 pixels a point, a grey ground.
    platform::Image frame {400, 200, std::vector<std::byte>(400 * 200 * 4, std::byte(0x40))};
    for (std::size_t i = 3; i < frame.pixels.size(); i += 4)
        frame.pixels[i] = std::byte(0xff);
    host.draw(frame, 2);

    const QColor ground(0x40, 0x40, 0x40);
    EXPECT_EQ(pixel(frame, 40, 40), QColor(Qt::red)) << "scaled: points 10…30 are pixels 20…60";
    EXPECT_EQ(pixel(frame, 15, 15), ground);
    EXPECT_EQ(pixel(frame, 120, 40), ground) << "at 0.01 or less a view is invisible";
    EXPECT_EQ(pixel(frame, 200, 40), ground) << "hidden";
    const QColor half = pixel(frame, 280, 40);
    EXPECT_NEAR(half.red(), (255 + 0x40) / 2, 3) << "half opaque";
    EXPECT_NEAR(half.blue(), 0x40 / 2, 3) << half.red() << "," << half.green() << "," << half.blue();

    // The label's text shows; the hover card, which stands below it, does not.
    const QRect card = host.hoverCard().geometry();
    ASSERT_TRUE(card.isValid());
    int marked = 0;
    for (int y = 120; y < 150; ++y)
        for (int x = 40; x < 340; ++x)
            marked += pixel(frame, x, y) != ground ? 1 : 0;
    EXPECT_GT(marked, 50) << "the label is drawn";
    // What else is drawn, in points: the label with its margins and the squares.
    const QRegion drawn = QRegion(16, 56, 168, 23) + QRegion(10, 10, 20, 20) + QRegion(130, 10, 20, 20);
    int underCard = 0;
    for (int y = card.top(); y <= card.bottom(); ++y)
        for (int x = card.left(); x <= card.right(); ++x)
            if (x >= 0 && x < 200 && y >= 0 && y < 100 && !drawn.contains(QPoint(x, y)))
                underCard += pixel(frame, x * 2, y * 2) != ground ? 1 : 0;
    EXPECT_EQ(underCard, 0) << "the hover card is left out";

    const auto png = platform::encodePng(frame);
    ASSERT_TRUE(png);
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "overlays-check.png";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
}
