#include "app/ui/OverlayLayer.h"

#include "widgets/ControlLook.h"
#include "testing/TestApplication.h"

#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using velorin::ControlLook;
using velorin::OverlayLayer;

namespace {

// A stand-in for the map that keeps the pointer events it gets, where it got them.
class PointerLog : public QWidget {
public:
    using QWidget::QWidget;
    std::vector<std::pair<QEvent::Type, QPoint>> events;

protected:
    bool event(QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
            events.emplace_back(event->type(), static_cast<QSinglePointEvent*>(event)->position().toPoint());
            return true;
        default:
            return QWidget::event(event);
        }
    }
};

} // namespace

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

TEST(OverlayLayer, AControlsShadowIsDrawnAndTheMapBelowItGetsThePointer)
{
    testing_support::application();
    QWidget window;
    window.resize(600, 400);
    auto* map = new PointerLog(&window);
    map->setGeometry(window.rect());
    auto* layer = new OverlayLayer(Qt::AlignTop | Qt::AlignRight, QMargins(0, 8, 8, 0), 0, &window);
    layer->setGeometry(window.rect());
    // A panel that takes no pointer events of its own, like a control's background.
    auto* panel = new QWidget(layer);
    panel->setFixedSize(120, 40);
    ControlLook::applyShadow(*panel, ControlLook::kPanelShadow);
    layer->add(panel);
    window.show();
    QApplication::processEvents();
    layer->layout()->activate();

    const QRect control = panel->geometry();
    const QPoint shadow(control.center().x(), control.bottom() + 6);
    EXPECT_TRUE(layer->mask().contains(shadow)) << "the shadow below the control is painted";
    EXPECT_FALSE(layer->mask().contains(QPoint(20, 300)));

    // Through the window, as the pointer comes: a drag from the shadow over the control.
    QWindow* screen = window.windowHandle();
    QTest::mousePress(screen, Qt::LeftButton, {}, shadow);
    QTest::mouseMove(screen, control.center());
    QTest::mouseRelease(screen, Qt::LeftButton, {}, control.center());
    QWheelEvent wheel(shadow, layer->mapToGlobal(QPointF(shadow)), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(layer, &wheel);
    const std::vector<std::pair<QEvent::Type, QPoint>> drag {{QEvent::MouseButtonPress, shadow},
        {QEvent::MouseMove, control.center()}, {QEvent::MouseButtonRelease, control.center()},
        {QEvent::Wheel, shadow}};
    EXPECT_EQ(map->events, drag) << "the drag stays the map's over the control";

    map->events.clear();
    QTest::mouseClick(screen, Qt::LeftButton, {}, control.center());
    EXPECT_TRUE(map->events.empty()) << "a press on the control is never the map's, even one it ignores";
}
