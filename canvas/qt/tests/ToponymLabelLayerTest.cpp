#include "canvas/qt/ToponymLabelLayer.h"

#include "testing/TestApplication.h"

#include <QPainter>

#include <gtest/gtest.h>

using velorin::Toponym;
using velorin::ToponymLabelLayer;
using velorin::ToponymLabelView;

namespace {

velorin::ToponymLabelStyle refuge(bool inverted = false)
{
    return {"Refuge du Promontoire", Toponym::Kind::refuge, false, inverted, 160, 15};
}

} // namespace

TEST(ToponymLabelLayer, ASlotIsDrawnAgainOnlyWhenRestyledAndPaintsOnDevicePixelsWhereItWasPlaced)
{
    testing_support::application(true);
    QWidget map;
    map.resize(400, 300);
    ToponymLabelLayer layer(&map);
    map.show();
    EXPECT_TRUE(layer.testAttribute(Qt::WA_TransparentForMouseEvents)) << "the map takes the pointer";
    EXPECT_EQ(layer.geometry(), map.rect());
    map.resize(500, 320);
    EXPECT_EQ(layer.geometry(), map.rect()) << "the layer covers the map as it resizes";

    layer.configure(1, refuge());
    EXPECT_EQ(layer.slotCount(), 2u);
    EXPECT_FALSE(layer.isShown(0));
    layer.configure(0, refuge());
    layer.place(0, QRectF(40.3, 50.6, 160, 15));
    layer.place(1, QRectF(40, 120, 160, 15));
    layer.place(0, QRectF(60.3, 70.6, 160, 15));
    EXPECT_EQ(layer.renders(), 2) << "moves keep the images";
    layer.configure(0, refuge(true));
    EXPECT_EQ(layer.renders(), 3);
    layer.hideFrom(1);
    EXPECT_TRUE(layer.isShown(0));
    EXPECT_FALSE(layer.isShown(1));

    QImage picture(500, 320, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(layer.devicePixelRatioF());
    picture.fill(Qt::black);
    QPainter painter(&picture);
    layer.paintLabels(painter);
    painter.end();
    const double ratio = layer.devicePixelRatioF();
    // The marker's middle, 4.5 points into the label, its corner on a device pixel.
    const double x = std::round((60.3 - ToponymLabelView::kImageMarginPoints) * ratio) / ratio
        + ToponymLabelView::kImageMarginPoints + 4.5;
    const double y = std::round((70.6 - ToponymLabelView::kImageMarginPoints) * ratio) / ratio
        + ToponymLabelView::kImageMarginPoints + 7.5;
    EXPECT_EQ(picture.pixelColor(QPointF(QPointF(x, y) * ratio).toPoint()).rgb(),
        ToponymLabelView::markerColor(Toponym::Kind::refuge).rgb());
    EXPECT_EQ(picture.pixelColor(QPointF(QPointF(44.5, 127.5) * ratio).toPoint()), QColor(Qt::black))
        << "a hidden slot paints nothing";
}
