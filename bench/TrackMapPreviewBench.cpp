#include "BenchTracks.h"
#include "library/TrackMapPreview.h"
#include "library/TrackPreviewFrame.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr std::size_t kPoints = 100'000;

// Every tile of the frame, already decoded: a flat 256 × 256 picture.
std::vector<velorin::TrackMapPreview::TileResult> givenTiles(const velorin::TrackPreviewFrame& frame)
{
    platform::Image image { 256, 256, std::vector<std::byte>(256 * 256 * 4, std::byte(180)) };
    std::vector<velorin::TrackMapPreview::TileResult> tiles;
    for (const auto& tile : frame.tiles())
        tiles.push_back({ tile, image });
    return tiles;
}

// The picture of a 100 000-point walk, from its frame and its tiles: what the preview's
// worker does once the tiles are in.
void drawPreview(benchmark::State& state)
{
    const velorin::Track track = bench_tracks::walk(kPoints);
    const auto frame = velorin::TrackPreviewFrame::make(track.points);
    const auto tiles = givenTiles(*frame);
    for (auto _ : state) {
        QImage picture = velorin::TrackMapPreview::render(*frame, tiles);
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.counters["tiles"] = double(tiles.size());
}
BENCHMARK(drawPreview)->Unit(benchmark::kMillisecond);

// Projecting and framing the same walk, on the GUI thread when the preview is built.
void frameTrack(benchmark::State& state)
{
    const velorin::Track track = bench_tracks::walk(kPoints);
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::TrackPreviewFrame::make(track.points));
}
BENCHMARK(frameTrack)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
