#include "features/ui/ToponymHoverView.h"

#include "testing/TestApplication.h"

#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

using velorin::ToponymHoverView;

namespace {

// The map under the card: counts the presses that reach it.
class Map : public QWidget {
public:
    int presses = 0;
    QPoint lastPress;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        lastPress = event->position().toPoint();
    }
};

} // namespace

TEST(ToponymHoverView, TheCardStandsBesideItsLabelAndOnlyItsButtonsTakeClicks)
{
    testing_support::application();
    Map map;
    map.resize(400, 300);
    ToponymHoverView card(&map);
    EXPECT_FALSE(card.isVisible());
    int jumps = 0;
    card.setOnJump([&] { ++jumps; });
    EXPECT_TRUE(card.jumpButton().isEnabled());
    EXPECT_FALSE(card.goButton().isEnabled()) << "no flight to offer";
    EXPECT_EQ(card.jumpButton().accessibleName(), "Aller directement à ce lieu");
    EXPECT_EQ(card.goButton().accessibleName(), "Y aller");
    map.show();

    card.layout({100, 50, 100, 16});
    EXPECT_TRUE(card.isVisible());
    EXPECT_EQ(card.geometry(), QRect(92, 42, 174, 32));
    EXPECT_EQ(card.jumpButton().geometry(), QRect(117, 3, 26, 26));
    EXPECT_EQ(card.goButton().geometry(), QRect(143, 3, 26, 26));

    QTest::mouseClick(&card.jumpButton(), Qt::LeftButton);
    EXPECT_EQ(jumps, 1);
    EXPECT_EQ(map.presses, 0);
    QTest::mouseClick(&card, Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_EQ(map.presses, 1) << "a click on the card beside its buttons reaches the map";
    EXPECT_EQ(map.lastPress, QPoint(112, 58));

    const QImage shot = card.grab().toImage();
    const auto file = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "toponym-hover-card.png";
    EXPECT_TRUE(shot.save(QString::fromStdString(file.string())));
}
