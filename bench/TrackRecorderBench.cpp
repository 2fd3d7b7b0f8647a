#include "BenchTracks.h"
#include "recordings/TrackRecorder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

constexpr int kTrackCount = 300;
constexpr std::size_t kPointsPerTrack = 3'000;

class IdleLocation final : public velorin::RecordingLocation {
public:
    void applyRecordingSettings(bool) override { }
    void startLocating() override { }
};

// A library of 300 finished tracks of 3,000 points each, in a temporary folder.
class Library {
public:
    Library()
    {
        std::string made = (std::filesystem::temp_directory_path() / "velorin-bench-XXXXXX").string();
        if (!::mkdtemp(made.data()))
            return;
        folder_ = made;
        velorin::TrackStore store(*folder_);
        const velorin::Track walk = bench_tracks::walk(kPointsPerTrack);
        for (int i = 0; i < kTrackCount; ++i) {
            const auto metadata = store.create("Sortie", walk.metadata.startedAt + std::chrono::hours(24 * i));
            store.writePoints(walk.points, metadata.id);
            store.finish(metadata.id, walk.points.back().timestamp);
        }
    }
    ~Library()
    {
        if (folder_)
            std::filesystem::remove_all(*folder_);
    }

    const std::optional<std::filesystem::path>& folder() const { return folder_; }

private:
    std::optional<std::filesystem::path> folder_;
};

// The application starting: every track's figures are read.
void reloadCold(benchmark::State& state)
{
    Library library;
    if (!library.folder()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    IdleLocation location;
    for (auto _ : state) {
        velorin::TrackRecorder recorder(std::make_unique<velorin::TrackStore>(*library.folder()), location, {});
        benchmark::DoNotOptimize(recorder.savedStatistics());
    }
}
BENCHMARK(reloadCold)->Unit(benchmark::kMillisecond);

// A recording stops, on the GUI thread: only its own track is read again. The target is
// 50 ms.
void reloadAfterStop(benchmark::State& state)
{
    Library library;
    if (!library.folder()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    IdleLocation location;
    velorin::TrackRecorder recorder(std::make_unique<velorin::TrackStore>(*library.folder()), location, {});
    const velorin::Track walk = bench_tracks::walk(kPointsPerTrack);
    for (auto _ : state) {
        state.PauseTiming();
        recorder.start();
        const std::string id = recorder.current()->metadata.id;
        recorder.store().writePoints(walk.points, id);
        state.ResumeTiming();
        recorder.stop();
        state.PauseTiming();
        recorder.deleteTrack(id);
        state.ResumeTiming();
    }
}
BENCHMARK(reloadAfterStop)->Unit(benchmark::kMillisecond);

} // namespace
