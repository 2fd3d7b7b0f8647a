#include "app/ui/OverlayLayer.h"

#include "testing/TestApplication.h"

#include <QPushButton>

#include <gtest/gtest.h>

using velorin::OverlayLayer;

TEST(OverlayLayer, OnlyItsVisibleControlsTakeThePointer)
{
    testing_support::application();
    QWidget map;
    map.resize(600, 400);
    auto* layer = new OverlayLayer(Qt::AlignTop | Qt::AlignRight, QMargins(0, 8, 8, 0), 0, &map);
    layer->setGeometry(map.rect());
    EXPECT_TRUE(layer->testAttribute(Qt::WA_TransparentForMouseEvents)) << "an empty layer lets everything through";

    auto* button = new QPushButton(QStringLiteral("Plan"), layer);
    layer->add(button);
    map.show();
    QApplication::processEvents();
    layer->layout()->activate();

    EXPECT_EQ(button->geometry().right(), 600 - 8 - 1) << "placed at the trailing edge, 8 pt in";
    EXPECT_EQ(button->geometry().top(), 8);
    EXPECT_FALSE(layer->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(layer->mask().contains(button->geometry().center()));
    EXPECT_FALSE(layer->mask().contains(QPoint(20, 300))) << "the map keeps the pointer elsewhere";
    EXPECT_EQ(map.childAt(20, 300), nullptr);
    EXPECT_EQ(map.childAt(button->geometry().center()), button);

    button->hide();
    EXPECT_TRUE(layer->testAttribute(Qt::WA_TransparentForMouseEvents));
}
