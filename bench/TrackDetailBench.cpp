#include "BenchTracks.h"
#include "library/ProfileSeries.h"
#include "library/TrackDetailValues.h"

#include <benchmark/benchmark.h>

namespace {

// Opening a track's detail, or editing it, works out every figure, the pauses, both edits'
// counts and the altitude chart's domain and series at once: a walk of 100,000 points (a
// day and more at one fix a second) must take under 100 ms.
void detailValues(benchmark::State& state)
{
    const velorin::Track track = bench_tracks::walk(std::size_t(state.range(0)));
    // A chart as wide as the library sheet.
    constexpr int kChartColumns = 440;
    for (auto _ : state) {
        const velorin::TrackDetailValues values(track);
        benchmark::DoNotOptimize(values.altitudeDomain());
        benchmark::DoNotOptimize(velorin::profileSeries(values.profile, kChartColumns));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(detailValues)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
