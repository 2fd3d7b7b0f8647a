#include "app/ui/OverlayTransition.h"

#include "widgets/ControlLook.h"
#include "widgets/FadingShadowEffect.h"
#include "app/ui/OverlayLayer.h"
#include "testing/TestApplication.h"

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QOpenGLWidget>
#include <QPainter>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <utility>

using velorin::FadingShadowEffect;
using velorin::OverlayLayer;
using velorin::OverlayTransition;

namespace {

constexpr double kSeconds = 0.25;
constexpr int kMilliseconds = 250;

// A floating control: an opaque dark panel with the controls' shadow.
class Panel : public QWidget {
public:
    explicit Panel(QWidget* parent, bool shadow = true)
        : QWidget(parent)
    {
        setFixedSize(120, 40);
        if (shadow)
            velorin::ControlLook::applyShadow(*this, velorin::ControlLook::kPanelShadow);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(40, 40, 40)); }
};

struct WithApplication {
    WithApplication() { testing_support::application(); }
};

// A plain white stand-in for the map.
struct WhiteMap : WithApplication {
    QWidget map;

    explicit WhiteMap(QSize size)
    {
        map.resize(size);
        map.setAutoFillBackground(true);
        QPalette palette = map.palette();
        palette.setColor(QPalette::Window, Qt::white);
        map.setPalette(palette);
    }
};

// A white map with one overlay layer holding one panel that comes from `edge`.
struct Scene : WhiteMap {
    OverlayLayer* layer;
    Panel* panel;
    OverlayTransition* transition;

    Scene(Qt::Alignment alignment, Qt::Edge edge)
        : WhiteMap(QSize(600, 400))
    {
        layer = new OverlayLayer(alignment, QMargins(8, 8, 8, 8), 0, &map);
        layer->setGeometry(map.rect());
        panel = new Panel(layer);
        layer->add(panel, alignment & Qt::AlignHorizontal_Mask);
        transition = new OverlayTransition(*panel, edge, kSeconds);
    }

    void show()
    {
        map.show();
        QApplication::processEvents();
        layer->layout()->activate();
    }

    double opacity() const { return dynamic_cast<FadingShadowEffect&>(*panel->graphicsEffect()).opacity(); }
    void at(int milliseconds) { transition->animation().setCurrentTime(milliseconds); }
    bool takesPointerAt(QPoint point) const
    {
        return !layer->testAttribute(Qt::WA_TransparentForMouseEvents) && layer->mask().contains(point);
    }
};

struct EdgeCase {
    const char* name;
    Qt::Alignment alignment;
    Qt::Edge edge;
    QPoint direction;
};

const EdgeCase kEdges[] {
    {"palette from the trailing edge", Qt::AlignTop | Qt::AlignRight, Qt::RightEdge, {1, 0}},
    {"toolbar from the bottom edge", Qt::AlignBottom | Qt::AlignHCenter, Qt::BottomEdge, {0, 1}},
    {"capsule from the top edge", Qt::AlignTop | Qt::AlignHCenter, Qt::TopEdge, {0, -1}},
};

} // namespace

TEST(OverlayTransition, AControlLeavesTowardsItsEdgeEndsHiddenAndComesBackToItsPlace)
{
    for (const EdgeCase& c : kEdges) {
        Scene scene(c.alignment, c.edge);
        scene.show();
        const QRect place = scene.panel->geometry();
        ASSERT_TRUE(scene.takesPointerAt(place.center())) << c.name;

        scene.transition->setShown(false);
        scene.at(kMilliseconds / 2);
        const QPoint moved = scene.panel->pos() - place.topLeft();
        EXPECT_GT(QPoint::dotProduct(moved, c.direction), 0) << c.name << ": half-way towards its edge";
        EXPECT_EQ(QPoint::dotProduct(moved, QPoint(c.direction.y(), c.direction.x())), 0) << c.name;
        EXPECT_TRUE(scene.panel->isVisible()) << c.name;
        EXPECT_GT(scene.opacity(), 0.3) << c.name;
        EXPECT_LT(scene.opacity(), 0.7) << c.name;
        EXPECT_TRUE(scene.takesPointerAt(scene.panel->geometry().center())) << c.name << ": the mask follows it";

        scene.at(kMilliseconds);
        EXPECT_TRUE(scene.panel->isHidden()) << c.name;
        EXPECT_FALSE(scene.takesPointerAt(place.center())) << c.name << ": the map gets the pointer back";
        EXPECT_EQ(scene.transition->progress(), 0) << c.name;

        scene.transition->setShown(true);
        scene.at(0);
        EXPECT_TRUE(scene.panel->isVisible()) << c.name;
        EXPECT_FALSE(scene.panel->geometry().intersects(scene.layer->rect())) << c.name << ": it starts beyond the edge";
        EXPECT_EQ(scene.opacity(), 0) << c.name;

        scene.at(kMilliseconds / 2);
        EXPECT_GT(scene.opacity(), 0.3) << c.name << ": half-way in";
        EXPECT_LT(scene.opacity(), 0.7) << c.name;
        EXPECT_NE(scene.panel->geometry(), place) << c.name;

        scene.at(kMilliseconds);
        EXPECT_EQ(scene.panel->geometry(), place) << c.name;
        EXPECT_EQ(scene.opacity(), 1) << c.name;
        EXPECT_TRUE(scene.takesPointerAt(place.center())) << c.name;
    }
}

TEST(OverlayTransition, AReversalMidWayRunsBackFromWhereTheControlStands)
{
    Scene scene(Qt::AlignTop | Qt::AlignRight, Qt::RightEdge);
    scene.show();
    const QRect place = scene.panel->geometry();

    scene.transition->setShown(false);
    scene.at(kMilliseconds / 2);
    const QPoint halfWay = scene.panel->pos();
    const double opacity = scene.opacity();
    EXPECT_EQ(halfWay.x(), place.x() + (scene.layer->width() - place.x()) / 2) << "the ease is even about its middle";

    scene.transition->setShown(true);
    EXPECT_EQ(scene.panel->pos(), halfWay) << "no jump on turning back";
    EXPECT_DOUBLE_EQ(scene.opacity(), opacity);
    EXPECT_LT(scene.transition->animation().duration(), kMilliseconds) << "only the way back is left";

    scene.at(scene.transition->animation().duration());
    EXPECT_EQ(scene.panel->geometry(), place);
    EXPECT_EQ(scene.opacity(), 1);
    EXPECT_TRUE(scene.panel->isVisible());
    EXPECT_TRUE(scene.transition->isShown());
}

TEST(OverlayTransition, ALayoutChangeMidWayMovesTheSlideToTheNewPlace)
{
    Scene scene(Qt::AlignTop | Qt::AlignRight, Qt::RightEdge);
    scene.show();
    scene.transition->setShown(false);
    scene.at(kMilliseconds);
    scene.transition->setShown(true);
    scene.at(kMilliseconds / 2);

    scene.map.resize(800, 400);
    scene.layer->setGeometry(scene.map.rect());
    scene.layer->layout()->activate();
    const int newPlaceX = 800 - 8 - scene.panel->width();
    EXPECT_EQ(scene.panel->x(), newPlaceX + (800 - newPlaceX) / 2) << "still half-way, towards the wider map's edge";

    scene.at(kMilliseconds);
    EXPECT_EQ(scene.panel->x(), newPlaceX);
    EXPECT_EQ(scene.panel->y(), 8);
}

TEST(OverlayTransition, ItsNeighboursCloseUpGlidingAsItLeavesAndMakeRoomAsItComesBack)
{
    WhiteMap white(QSize(600, 400));
    auto* layer = new OverlayLayer(Qt::AlignBottom, QMargins(8, 0, 8, 8), 10, &white.map);
    layer->setGeometry(white.map.rect());
    auto* above = new Panel(layer, false);
    auto* leaving = new Panel(layer);
    layer->add(above, Qt::AlignLeft);
    layer->add(leaving, Qt::AlignHCenter);
    OverlayTransition transition(*leaving, Qt::BottomEdge, kSeconds);
    white.map.show();
    QApplication::processEvents();
    layer->layout()->activate();
    const QPoint before = above->pos();
    const int closedUp = 400 - 8 - above->height();
    ASSERT_EQ(before.y(), closedUp - 10 - leaving->height());

    const auto at = [&](int milliseconds) {
        transition.animation().setCurrentTime(milliseconds);
        layer->glide().setCurrentTime(milliseconds);
    };
    transition.setShown(false);
    EXPECT_EQ(above->pos(), before) << "it sets off from where it stood";
    at(kMilliseconds / 2);
    EXPECT_NEAR(above->y(), (before.y() + closedUp) / 2.0, 1) << "half-way down with the leaving control";
    EXPECT_EQ(above->x(), before.x());
    EXPECT_GT(leaving->y(), 400 - 8 - leaving->height()) << "which slides out meanwhile";
    at(kMilliseconds);
    EXPECT_EQ(above->y(), closedUp);
    EXPECT_TRUE(leaving->isHidden());

    layer->layout()->invalidate();
    layer->layout()->activate();
    EXPECT_EQ(above->y(), closedUp) << "a later layout keeps it in its new place";

    transition.setShown(true);
    EXPECT_EQ(above->y(), closedUp);
    at(kMilliseconds / 2);
    EXPECT_NEAR(above->y(), (before.y() + closedUp) / 2.0, 1);
    at(kMilliseconds);
    EXPECT_EQ(above->pos(), before);
    EXPECT_EQ(leaving->y(), 400 - 8 - leaving->height());
}

TEST(OverlayTransition, AControlOffScreenComesAndGoesAtOnce)
{
    Scene scene(Qt::AlignBottom | Qt::AlignHCenter, Qt::BottomEdge);
    scene.transition->setShown(false);
    EXPECT_TRUE(scene.panel->isHidden());
    EXPECT_EQ(scene.transition->progress(), 0);
    scene.transition->setShown(true);
    EXPECT_FALSE(scene.panel->isHidden());
    EXPECT_EQ(scene.transition->progress(), 1);
    EXPECT_EQ(scene.opacity(), 1);
}

TEST(OverlayTransition, TheControlFadesWithItsShadowOrWithoutOne)
{
    for (const bool shadow : {true, false}) {
        WhiteMap white(QSize(400, 200));
        auto* panel = new Panel(&white.map, shadow);
        panel->move(100, 60);
        OverlayTransition transition(*panel, Qt::TopEdge, kSeconds);
        white.map.show();
        QApplication::processEvents();

        // The gray of the panel's middle and of the map just below it, where a shadow falls.
        const auto grays = [&] {
            const QImage shot = white.map.grab().toImage();
            const QRect at = panel->geometry();
            return std::pair(qGray(shot.pixel(at.center())), qGray(shot.pixel(at.center().x(), at.bottom() + 2)));
        };
        const auto [panelShown, belowShown] = grays();
        EXPECT_LT(panelShown, 60) << shadow;
        EXPECT_EQ(belowShown < 230, shadow) << "only a shadow darkens the map below the control";

        transition.setShown(false);
        transition.animation().setCurrentTime(kMilliseconds / 2);
        const auto [panelFading, belowFading] = grays();
        EXPECT_GT(panelFading, 90) << shadow << ": the white map shows through the fading control";
        EXPECT_LT(panelFading, 200) << shadow;
        if (shadow) {
            EXPECT_GT(belowFading, belowShown) << "the shadow fades with it";
            EXPECT_LT(belowFading, 255);
        }
    }
}

namespace {

// An OpenGL map that counts its frames.
class CountingMap : public QOpenGLWidget {
public:
    using QOpenGLWidget::QOpenGLWidget;
    int frames = 0;

protected:
    void paintGL() override { ++frames; }
};

// Runs Qt's events until `done` holds or half a minute passes; whether it held.
bool processUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Counts the times the X server asks a window to redraw itself: other tests' windows on
// the same server come and go over ours, and each such exposure rightly repaints the map.
class ExposureCounter : public QObject {
public:
    int exposures = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Expose)
            ++exposures;
        return false;
    }
};

} // namespace

TEST(OverlayTransition, OnlyTheOverlayRepaintsNeverTheMapBelow)
{
    if (!testing_support::hasDisplay())
        GTEST_SKIP() << "no display: the OpenGL map needs an X11 or Wayland display (run under xvfb-run)";
    testing_support::application(true);
    QWidget window;
    window.resize(600, 400);
    auto* map = new CountingMap(&window);
    map->setGeometry(window.rect());
    auto* layer = new OverlayLayer(Qt::AlignTop | Qt::AlignRight, QMargins(8, 8, 8, 8), 0, &window);
    layer->setGeometry(window.rect());
    auto* panel = new Panel(layer);
    layer->add(panel, Qt::AlignRight);
    OverlayTransition transition(*panel, Qt::RightEdge, kSeconds);
    window.show();
    ASSERT_TRUE(processUntil([&] { return map->frames > 0; })) << "the map draws its first frame";
    ExposureCounter exposure;
    window.windowHandle()->installEventFilter(&exposure);

    // A run that the server exposed from outside proves nothing either way: run it again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QApplication::processEvents();
        const int frames = map->frames;
        const int exposures = exposure.exposures;

        transition.setShown(false);
        for (int time = 0; time <= kMilliseconds; time += kMilliseconds / 10) {
            transition.animation().setCurrentTime(time);
            QApplication::processEvents();
        }
        transition.setShown(true);
        transition.animation().setCurrentTime(kMilliseconds / 2);
        QApplication::processEvents();
        transition.animation().setCurrentTime(kMilliseconds);
        QApplication::processEvents();
        if (exposure.exposures == exposures) {
            EXPECT_EQ(map->frames, frames);
            return;
        }
    }
    GTEST_SKIP() << "other windows kept exposing the test window";
}
