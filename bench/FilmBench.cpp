#include "StillWindow.h"

#include "canvas/MapCanvasView.h"
#include "map-data/TextureCache.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "platform/VideoWriter.h"
#include "platform/gpu/Context.h"
#include "platform/gpu/RenderTarget.h"
#include "platform/gpu/ShaderLibrary.h"
#include "renderer/TextureImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace {

using velorin::Camera;
using velorin::CameraPose;
using velorin::MapCanvasView;
using velorin::WorldPoint;

constexpr int kPoses = 90;
constexpr int kFilmHeight = 1080;

// A canvas over the Mont Blanc massif on Plan IGN, pitched, with 90 poses of a 1920 × 1080
// view turning about it, and a texture cache that already holds every tile they show.
struct FilmScene {
    std::unique_ptr<gpu::Context> context = gpu::Context::headless();
    gpu::ShaderLibrary library {gpu::ShaderLibrary::defaultFolder()};
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<velorin::TextureCache> cache = std::make_shared<velorin::TextureCache>(clock);
    std::shared_ptr<gpu::Texture> tile = gpu::Texture::make(gpu::PixelFormat::rgba8, 256, 256,
        std::vector<std::byte>(256 * 256 * 4, std::byte(0x90)));
    bench_canvas::StillWindow window;
    std::shared_ptr<MapCanvasView> canvas;
    velorin::SavedVideo video {"BENCH", {}, "Survol", "planIGN", 30, {}};
    std::filesystem::path path = std::filesystem::temp_directory_path() / "velorin-film-bench.mp4";

    FilmScene()
    {
        canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services {velorin::SheetCatalog {}, {}, {}, {}, {}, {}}, {clock, mainQueue, nullptr, {}, {"velorin"}, {}});
        canvas->layout();
        canvas->setBasemap(velorin::Basemap::planIGN);
        canvas->renderer().textures = cache;
        const WorldPoint centre = WorldPoint::fromLatitudeLongitude(45.83, 6.86);
        for (int i = 0; i < kPoses; ++i)
            video.poses.push_back({centre.x, centre.y, 13, i * 0.01, 1.1, 1.5, 1920, 1080});
        // Warm: every tile each pose asks for goes into the cache.
        for (int pass = 0; pass < 3; ++pass) {
            for (const CameraPose& pose : video.poses) {
                show(pose);
                canvas->renderer().updateFrame(clock->now());
                for (const auto& key : canvas->renderer().desired) {
                    if (!cache->contains(key))
                        cache->insert(tile, key);
                }
            }
        }
    }
    ~FilmScene() { std::filesystem::remove(path); }

    void show(const CameraPose& pose)
    {
        Camera& camera = canvas->renderer().camera;
        camera.center = {pose.x, pose.y};
        camera.zoom = pose.zoom;
        camera.viewSize = {pose.width, pose.height};
        camera.bearing = pose.bearing;
        camera.pitch = pose.pitch;
        camera.focalLength = pose.focal;
    }

    // One pose's frame prepared and rendered, as the film does it.
    std::unique_ptr<gpu::RenderTarget> render(const CameraPose& pose)
    {
        show(pose);
        if (auto scene = canvas->renderer().flightScene(canvas->renderer().camera))
            scene->restore(canvas->renderer());
        else
            canvas->renderer().updateFrame(clock->now());
        return canvas->renderer().renderOffscreen(1920, kFilmHeight);
    }
};

// The whole path: 90 poses rendered, read back, converted and encoded into an MP4.
void wholeFilm(benchmark::State& state)
{
    FilmScene scene;
    for (auto _ : state) {
        std::optional<bool> done;
        scene.canvas->exportVideo(scene.video, velorin::Basemap::planIGN, kFilmHeight, scene.path, false, {},
            [&](bool finished) { done = finished; });
        while (!done) {
            if (scene.mainQueue->drain() == 0 && !done)
                scene.mainQueue->runOneWaiting(10);
        }
        if (!*done)
            state.SkipWithError("the film failed");
    }
    state.counters["fps"] = benchmark::Counter(double(kPoses), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(wholeFilm)->Unit(benchmark::kMillisecond)->UseRealTime();

void renderStage(benchmark::State& state)
{
    FilmScene scene;
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.render(scene.video.poses[i++ % kPoses]));
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(renderStage)->Unit(benchmark::kMillisecond)->UseRealTime();

void readBackStage(benchmark::State& state)
{
    FilmScene scene;
    const auto target = scene.render(scene.video.poses.front());
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::textureImage(*target));
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(readBackStage)->Unit(benchmark::kMillisecond)->UseRealTime();

// Conversion to 4:2:0 and H.264 encoding of one read-back frame, as the film's queue runs them.
void convertAndEncodeStage(benchmark::State& state)
{
    FilmScene scene;
    const auto frames = [&] {
        std::vector<platform::Image> images;
        for (int i = 0; i < 8; ++i)
            images.push_back(velorin::textureImage(*scene.render(scene.video.poses[std::size_t(i) * 10])));
        return images;
    }();
    platform::VideoWriter writer(scene.path, 1920, kFilmHeight, 30);
    std::size_t i = 0;
    for (auto _ : state) {
        if (writer.append(frames[i++ % frames.size()]))
            state.SkipWithError("the encoder failed");
    }
    state.counters["fps"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(convertAndEncodeStage)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
