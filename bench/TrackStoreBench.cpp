#include "BenchTracks.h"
#include "recordings/TrackStore.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

// A ten-hour track opened from disk on the GUI thread: the target is 40 ms.
void readPoints(benchmark::State& state)
{
    std::string folder = (std::filesystem::temp_directory_path() / "velorin-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    {
        velorin::TrackStore store(folder);
        const auto metadata = store.create("Dix heures", {});
        store.writePoints(bench_tracks::walk(std::size_t(state.range(0))).points, metadata.id);
        for (auto _ : state)
            benchmark::DoNotOptimize(store.readPoints(metadata.id));
        state.SetItemsProcessed(state.iterations() * state.range(0));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(readPoints)->Arg(36'000)->Unit(benchmark::kMillisecond);

} // namespace
