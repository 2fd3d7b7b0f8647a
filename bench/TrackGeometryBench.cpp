#include "BenchTracks.h"
#include "recordings/TrackSmoothing.h"

#include <benchmark/benchmark.h>

namespace {

// The line drawn for a recording is smoothed again at every kept point: 10,000 points
// must take under 16 ms, one frame.
void smoothTwoPasses(benchmark::State& state)
{
    const auto points = bench_tracks::walk(std::size_t(state.range(0))).displayPoints();
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::smoothed(points, 2));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(smoothTwoPasses)->Arg(10'000)->Arg(50'000)->Unit(benchmark::kMillisecond);

// The pause scan's worst case: every point within 30 m of every other, each one an anchor
// whose stay runs to the end of the crowd and never lasts long enough, and a last point
// later and farther away.
void pausesInACrowd(benchmark::State& state)
{
    velorin::Track crowd = bench_tracks::walk(0);
    const std::size_t count = std::size_t(state.range(0));
    for (std::size_t i = 0; i < count; ++i) {
        const double angle = double(i) * 0.7;
        crowd.points.push_back({45 + 1e-4 * std::cos(angle), 6 + 1e-4 * std::sin(angle), std::nullopt,
            crowd.metadata.startedAt + std::chrono::milliseconds(50 * i), 4.0, std::nullopt});
    }
    crowd.points.push_back({45.01, 6, std::nullopt, crowd.metadata.startedAt + std::chrono::hours(1), 4.0, std::nullopt});
    for (auto _ : state)
        benchmark::DoNotOptimize(crowd.pauses(velorin::Track::kPauseMinimumDurationSeconds, velorin::Track::kPauseRadiusMeters));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(pausesInACrowd)->Arg(3'600)->Unit(benchmark::kMillisecond);

// The same crowd spread over an hour: one pause, found in one scan.
void pausesOfOneLongStay(benchmark::State& state)
{
    velorin::Track stay = bench_tracks::walk(0);
    for (std::size_t i = 0; i < std::size_t(state.range(0)); ++i) {
        const double angle = double(i) * 0.7;
        stay.points.push_back({45 + 1e-4 * std::cos(angle), 6 + 1e-4 * std::sin(angle), std::nullopt,
            stay.metadata.startedAt + std::chrono::seconds(i), 4.0, std::nullopt});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(stay.pauses(velorin::Track::kPauseMinimumDurationSeconds, velorin::Track::kPauseRadiusMeters));
}
BENCHMARK(pausesOfOneLongStay)->Arg(3'600)->Unit(benchmark::kMillisecond);

} // namespace
