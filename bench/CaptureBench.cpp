#include "recordings/CaptureStore.h"
#include "recordings/PhotoLibrary.h"
#include "recordings/TrackPhoto.h"
#include "testing/ExifPhotoFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A temporary folder for one benchmark, removed after it.
class BenchFolder {
public:
    BenchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velorin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path = pattern;
    }
    ~BenchFolder()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
    std::filesystem::path path;
};

// Start-up lists every saved video while the GUI thread waits: 50 five-minute flights of 9,000
// poses; the target is 250 ms.
void listVideos(benchmark::State& state)
{
    BenchFolder folder;
    if (folder.path.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const auto root = folder.path / "VelorinCaptures";
    {
        velorin::CaptureStore store(root);
        std::vector<velorin::CameraPose> poses;
        for (int i = 0; i < 9000; ++i)
            poses.push_back({ 0.52 + i * 1e-7, 0.36 - i * 1e-7, 14.25, 0.001 * i, 1.1, 1.5, 1920, 1080 });
        for (int i = 0; i < 50; ++i)
            store.saveVideo("Survol · " + std::to_string(i), velorin::Basemap::planIGN, poses, 30, std::nullopt);
    }
    for (auto _ : state) {
        velorin::CaptureStore store(root);
        benchmark::DoNotOptimize(store.videos().size());
    }
    state.SetItemsProcessed(state.iterations() * 50 * 9000);
}
// The folders are decoded on a pool: the time that counts is the wall clock's.
BENCHMARK(listVideos)->UseRealTime()->Unit(benchmark::kMillisecond);

// The library pins read 2,000 photos: first with nothing remembered (every EXIF read), then
// again, when an unchanged file costs a `stat`.
void scanPhotos(benchmark::State& state)
{
    BenchFolder folder;
    if (folder.path.empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    for (int i = 0; i < 2000; ++i) {
        testing_support::ExifPhotoFile photo;
        photo.date = testing_support::exifTimeOnFirstOfMay2024(8 + i / 3600, (i / 60) % 60, i % 60);
        photo.latitude = "45/1 " + std::to_string(i % 60) + "/1 0/1";
        photo.longitude = "6/1 30/1 0/1";
        photo.write(folder.path / ("Sortie " + std::to_string(i / 100)) / ("IMG_" + std::to_string(i) + ".jpg"));
    }
    const bool memoised = state.range(0) != 0;
    velorin::PhotoLibrary remembered(folder.path);
    if (memoised)
        velorin::TrackPhoto::libraryPhotos(false, remembered);
    for (auto _ : state) {
        if (memoised) {
            benchmark::DoNotOptimize(velorin::TrackPhoto::libraryPhotos(false, remembered).size());
        } else {
            velorin::PhotoLibrary library(folder.path);
            benchmark::DoNotOptimize(velorin::TrackPhoto::libraryPhotos(false, library).size());
        }
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(scanPhotos)->ArgName("memoised")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
