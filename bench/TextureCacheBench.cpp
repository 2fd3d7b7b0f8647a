#include "map-data/TextureCache.h"
#include "platform/SteadyClock.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kEntries = 5000;
// Small textures keep the benchmark's memory low; the cache only counts their bytes.
constexpr int kSide = 16;
constexpr std::int64_t kTextureBytes = kSide * kSide * 4;

velorin::TileKey key(int i) { return velorin::TileKey::pyramid(15, i % 4096, i / 4096); }

std::shared_ptr<gpu::Texture> texture()
{
    return gpu::Texture::make(gpu::PixelFormat::rgba8, kSide, kSide, std::vector<std::byte>(kTextureBytes));
}

// A cache holding kEntries textures, exactly at its limit, in a fresh generation whose
// frame has already looked up the given share of the entries (the most recent ones).
struct FullCache {
    explicit FullCache(double markedShare)
    {
        for (int i = 0; i < kEntries; ++i)
            cache.insert(shared, key(i));
        cache.advanceGeneration();
        for (int i = kEntries - int(markedShare * kEntries); i < kEntries; ++i)
            cache.entry(key(i));
    }

    std::shared_ptr<platform::SteadyClock> clock = std::make_shared<platform::SteadyClock>();
    std::shared_ptr<gpu::Texture> shared = texture();
    velorin::TextureCache cache{clock, kEntries * kTextureBytes};
};

} // namespace

// Each new tile into a full cache evicts one: the loader's steady state while panning.
// The argument is the percentage of entries already marked by the frame being prepared.
static void BM_InsertIntoFullCache(benchmark::State& state)
{
    FullCache full(double(state.range(0)) / 100.0);
    int next = kEntries;
    for (auto _ : state)
        full.cache.insert(full.shared, key(next++));
    state.SetItemsProcessed(state.iterations());
    state.counters["evictions"] = double(full.cache.usage().evictionCount);
}
BENCHMARK(BM_InsertIntoFullCache)->Arg(0)->Arg(50)->Arg(90);

// What the renderer does for every drawn tile each frame: a test, then a marked look-up.
static void BM_ContainsThenEntry(benchmark::State& state)
{
    FullCache full(0.0);
    int i = 0;
    for (auto _ : state) {
        auto k = key(i);
        if (full.cache.contains(k))
            benchmark::DoNotOptimize(full.cache.entry(k));
        i = (i + 7) % kEntries;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ContainsThenEntry);

static void BM_ContainsMiss(benchmark::State& state)
{
    FullCache full(0.0);
    int i = kEntries;
    for (auto _ : state)
        benchmark::DoNotOptimize(full.cache.contains(key(i++)));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ContainsMiss);
