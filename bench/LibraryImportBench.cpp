#include "BenchTracks.h"
#include "library/GPXImport.h"
#include "recordings/GPXWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace {

// The library's import of ten GPX files of three-hour walks (10,800 points each): reading,
// parsing and storing each as a finished track, as the worker does after "Importer".
void importTenFiles(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "velorin-library-import-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "gpx");
    const std::string document = velorin::GPXWriter::document(bench_tracks::walk(10'800));
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 10; ++i) {
        files.push_back(folder / "gpx" / ("walk-" + std::to_string(i) + ".gpx"));
        std::ofstream(files.back(), std::ios::binary) << document;
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder / "tracks");
        state.ResumeTiming();
        const auto result = velorin::importGPXFiles(folder / "tracks", files, platform::SystemTime {});
        if (result.imported != 10)
            state.SkipWithError("an import failed");
    }
    state.SetItemsProcessed(state.iterations() * 10);
    std::filesystem::remove_all(folder);
}
BENCHMARK(importTenFiles)->Unit(benchmark::kMillisecond);

} // namespace
