#pragma once

#include "canvas/CanvasWindow.h"
#include "canvas/MapCanvasView.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/UserDefaults.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/ShaderLibrary.h"
#include "testing/FakeMapView.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A window that only counts: frames drawn and whether its display link runs; with
// `hostsMaps`, it makes fake world maps of its own size and keeps the last one.
class FakeCanvasWindow final : public velorin::CanvasWindow {
public:
    velorin::Camera::Size bounds {500, 400};
    double scale = 2;
    int draws = 0;
    bool linkRunning = false;
    int linkStarts = 0;
    std::optional<double> preferredFrameRate;
    velorin::CanvasOverlays* overlayHost = nullptr;
    // The scale of each frame the overlays were drawn into.
    std::vector<double> overlayScales;

    velorin::Camera::Size boundsInPoints() const override { return bounds; }
    double screenScale() const override { return scale; }
    void draw() override { ++draws; }
    void startDisplayLink() override
    {
        linkRunning = true;
        ++linkStarts;
    }
    void stopDisplayLink() override { linkRunning = false; }
    void setPreferredFrameRate(std::optional<double> hertz) override { preferredFrameRate = hertz; }
    velorin::CanvasOverlays* overlays() override { return overlayHost; }

    bool hostsMaps = false;
    std::shared_ptr<FakeMapView> map;
    int grabs = 0;
    std::shared_ptr<platform::MapView> makeMapView(const platform::MapViewSetup&) override
    {
        if (!hostsMaps)
            return nullptr;
        map = std::make_shared<FakeMapView>();
        map->width = bounds.width;
        map->height = bounds.height;
        return map;
    }
    std::optional<platform::Image> grabView(double scale) override
    {
        ++grabs;
        const int width = int(bounds.width * this->scale * scale);
        const int height = int(bounds.height * this->scale * scale);
        return platform::Image {width, height, std::vector<std::byte>(std::size_t(width) * height * 4)};
    }
    void drawOverlays(platform::Image&, double scale) override { overlayScales.push_back(scale); }
};

// A canvas over an offscreen context, a manual clock and a fake window; frames are run by
// hand at 60 Hz, the clock moving with them.
class CanvasTest : public ::testing::Test {
protected:
    static constexpr double kFrameSeconds = 1.0 / 60;

    TemporaryFolder folder;
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library {gpu::ShaderLibrary::defaultFolder()};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(10.0);
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<platform::UserDefaults> defaults
        = std::make_shared<platform::UserDefaults>(folder / "defaults.json");
    FakeCanvasWindow window;

    std::shared_ptr<velorin::MapCanvasView> makeCanvas(std::vector<std::string> arguments = {"velorin"},
        velorin::MapCanvasView::Services services = {velorin::SheetCatalog{}, {}, {}, {}, {}, {}, {}})
    {
        velorin::MapCanvasView::Environment environment {
            clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log", std::move(arguments), {}};
        auto canvas = velorin::MapCanvasView::make(window, *context, library, std::move(services), std::move(environment));
        EXPECT_TRUE(canvas);
        return canvas;
    }

    // Runs frames while the display link runs, at most `limit`; returns how many ran.
    int runFrames(velorin::MapCanvasView& canvas, int limit = 1000)
    {
        int frames = 0;
        while (window.linkRunning && frames < limit) {
            clock->advance(kFrameSeconds);
            canvas.step(clock->now(), clock->now() + kFrameSeconds);
            ++frames;
        }
        return frames;
    }

    // Runs frames of `canvas` for `seconds`, whether its display link runs or not.
    void runFor(velorin::MapCanvasView& canvas, double seconds)
    {
        for (double elapsed = 0; elapsed < seconds - 1e-9; elapsed += kFrameSeconds) {
            clock->advance(kFrameSeconds);
            canvas.step(clock->now(), clock->now() + kFrameSeconds);
        }
    }

    // Puts `canvas` back where a drag started: still, at zoom 13 and the default focal length
    // (drags that change the focal length or climb leave them elsewhere).
    void restoreAfterDrag(velorin::MapCanvasView& canvas, velorin::Camera before)
    {
        canvas.setInertia({});
        before.focalLength = velorin::MapCanvasView::kDefaultFocalLength;
        before.zoom = 13;
        canvas.applyCamera(before, true);
        runFrames(canvas);
    }

    // Tilts `canvas` to `pitch` at once and lets it settle; its camera afterwards.
    velorin::Camera pitched(velorin::MapCanvasView& canvas, double pitch)
    {
        velorin::Camera camera = canvas.camera();
        camera.pitch = pitch;
        canvas.applyCamera(camera, true);
        runFrames(canvas);
        return canvas.camera();
    }
};

} // namespace testing_support
