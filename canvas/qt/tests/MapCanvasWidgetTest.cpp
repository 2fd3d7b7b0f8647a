#include "canvas/qt/MapCanvasWidget.h"

#include "canvas/MapCanvasView.h"
#include "platform/DrainableMainQueue.h"
#include "platform/SteadyClock.h"
#include "platform/UserDefaults.h"
#include "platform/gpu/ShaderLibrary.h"
#include "renderer/MapRenderer.h"
#include "renderer/Sky.h"
#include "testing/TemporaryFolder.h"
#include "testing/TestApplication.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>

using velorin::MapCanvasView;
using velorin::MapCanvasWidget;

namespace {

// Runs the event loop until `done` holds or `seconds` pass; whether it held.
bool runUntil(const std::function<bool()>& done, double seconds = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class MapCanvasWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::hasDisplay())
            GTEST_SKIP() << "no display: the map widget needs an X11 or Wayland display (run under xvfb-run)";
        testing_support::application(true);
    }

    MapCanvasWidget::CanvasFactory factory()
    {
        return [this](velorin::CanvasWindow& window, gpu::Context& context) {
            MapCanvasView::Environment environment {clock, mainQueue, defaults,
                folder / "VelorinGestes.log", {"velorin"}, {}};
            return MapCanvasView::make(window, context, shaders, MapCanvasView::Services {velorin::SheetCatalog {}, {}, {}, {}, {}, {}}, std::move(environment));
        };
    }

    testing_support::TemporaryFolder folder;
    std::shared_ptr<platform::SteadyClock> clock = std::make_shared<platform::SteadyClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::UserDefaults> defaults
        = std::make_shared<platform::UserDefaults>(folder / "defaults.json");
    gpu::ShaderLibrary shaders {gpu::ShaderLibrary::defaultFolder()};
};

} // namespace

TEST_F(MapCanvasWidgetTest, TheCanvasDrawsIntoTheWidgetSizedInPointsAndItsFramesStopWhenIdle)
{
    MapCanvasWidget widget(clock, factory());
    widget.resize(320, 240);
    widget.show();
    ASSERT_TRUE(runUntil([&] { return widget.canvas() != nullptr; })) << "the canvas is built with the context";

    EXPECT_EQ(widget.boundsInPoints().width, 320);
    EXPECT_EQ(widget.boundsInPoints().height, 240);
    EXPECT_DOUBLE_EQ(widget.screenScale(), widget.devicePixelRatioF());
    const auto pixels = widget.canvas()->camera().viewSize;
    EXPECT_DOUBLE_EQ(pixels.width, 320 * widget.devicePixelRatioF()) << "the camera is laid out in pixels";

    EXPECT_TRUE(runUntil([&] { return !widget.isDisplayLinkRunning(); }))
        << "a still map stops asking for frames";
    const QImage frame = widget.grabFramebuffer();
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    const auto clear = velorin::Sky::kFlatClearColor;
    EXPECT_NEAR(centre.redF(), clear[0], 0.02);
    EXPECT_NEAR(centre.greenF(), clear[1], 0.02);
    EXPECT_NEAR(centre.blueF(), clear[2], 0.02) << "an empty map is the flat view's clear colour";

    widget.canvas()->ensureDisplayLink();
    EXPECT_TRUE(widget.isDisplayLinkRunning()) << "a redraw starts the frames again";
}

TEST_F(MapCanvasWidgetTest, AWindowWithoutACanvasReportsTheEngineFailureOnce)
{
    std::optional<std::string> failure;
    int failures = 0;
    MapCanvasWidget widget(clock, [](velorin::CanvasWindow&, gpu::Context&) { return std::shared_ptr<MapCanvasView>(); });
    widget.onFailure = [&](const std::string& message) {
        failure = message;
        ++failures;
    };
    widget.resize(200, 200);
    widget.show();
    ASSERT_TRUE(runUntil([&] { return failure.has_value(); }));
    EXPECT_EQ(*failure, velorin::MapRenderer::kStartFailureMessage);
    widget.repaint();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(widget.canvas(), nullptr);
}

TEST_F(MapCanvasWidgetTest, HidingTheWindowStoresTheViewAtOnceAndShowingItDrawsAgain)
{
    MapCanvasWidget widget(clock, factory());
    widget.resize(320, 240);
    widget.show();
    ASSERT_TRUE(runUntil([&] { return widget.canvas() != nullptr; }));
    MapCanvasView& canvas = *widget.canvas();
    velorin::Camera camera = canvas.camera();
    camera.zoom = 8;
    canvas.applyCamera(camera, true);
    // Within a second of the last stored view: the throttle keeps this one back.
    camera.zoom = 8.5;
    canvas.applyCamera(camera, true);
    ASSERT_NE(defaults->array("Velorin.lastCamera").value().at(2), 8.5);

    widget.hide();
    EXPECT_EQ(defaults->array("Velorin.lastCamera").value().at(2), 8.5);
    EXPECT_FALSE(widget.isDisplayLinkRunning());
    canvas.ensureDisplayLink();
    EXPECT_FALSE(widget.isDisplayLinkRunning()) << "a hidden window draws nothing";

    widget.show();
    EXPECT_TRUE(widget.isDisplayLinkRunning());
}
