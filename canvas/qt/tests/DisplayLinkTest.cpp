#include "canvas/qt/DisplayLink.h"

#include "canvas/tests/CanvasTestSupport.h"
#include "testing/TestApplication.h"

#include <cmath>

namespace velorin {
namespace {

using testing_support::CanvasTest;

// A held "q" driven by the link, its clock moving by hand between ticks.
class DisplayLinkTest : public CanvasTest {
protected:
    void SetUp() override { testing_support::application(); }

    // Radians turned by "q" held over `ticks` ticks `seconds` apart, after the first tick.
    double turnOver(DisplayLink& link, MapCanvasView& canvas, int ticks, double seconds)
    {
        const double before = canvas.camera().bearing;
        canvas.keysPressed("q", {"q"});
        link.start();
        link.tick();
        for (int i = 0; i < ticks; ++i) {
            clock->advance(seconds);
            link.tick();
        }
        canvas.keysReleased({"q"}, false);
        link.stop();
        return -Camera::wrapAngle(canvas.camera().bearing - before);
    }
};

TEST_F(DisplayLinkTest, HeldKeysTurnAtTheirRateWhateverTheFramesTheRendererDrops)
{
    auto canvas = makeCanvas();
    canvas->layout();
    runFrames(*canvas);
    DisplayLink link(clock);
    link.setCanvas(canvas);
    const double firstFrame = link.frameSeconds();
    // A screen at 60 Hz, a renderer that draws 33 or 20 frames a second.
    for (int hertz : {60, 33, 20}) {
        const double turned = turnOver(link, *canvas, hertz, 1.0 / hertz);
        EXPECT_NEAR(turned, MapCanvasView::kHeldKeyTurnRadiansPerSecond * (1 + firstFrame), 1e-6) << hertz << " Hz";
    }

    // A two-second stall moves the map by one frame's longest step, not by two seconds.
    const double stalled = turnOver(link, *canvas, 1, 2.0);
    EXPECT_NEAR(stalled, MapCanvasView::kHeldKeyTurnRadiansPerSecond * (firstFrame + DisplayLink::kMaxFrameSeconds), 1e-6);
}

} // namespace
} // namespace velorin
