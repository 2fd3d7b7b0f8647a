#include "BenchTracks.h"
#include "recordings/GPXImporter.h"
#include "recordings/GPXWriter.h"

#include <benchmark/benchmark.h>

namespace {

// Importing a GPX file of a long walk, as our own export writes it.
void importGpx(benchmark::State& state)
{
    const std::string document = velorin::GPXWriter::document(bench_tracks::walk(std::size_t(state.range(0))));
    const auto bytes = std::as_bytes(std::span(document.data(), document.size()));
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::GPXImporter::parse(bytes, {}));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(document.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(importGpx)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Writing the same file.
void exportGpx(benchmark::State& state)
{
    const auto track = bench_tracks::walk(std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(velorin::GPXWriter::document(track));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(exportGpx)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
