#include "map-data/TerrainService.h"

#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>

using velorin::TerrainService;

namespace {

std::vector<std::byte> bilBytes()
{
    std::vector<float> heights(velorin::kElevationGridCells);
    for (std::size_t i = 0; i < heights.size(); ++i)
        heights[i] = float(i % 997);
    std::vector<std::byte> bytes(heights.size() * sizeof(float));
    std::memcpy(bytes.data(), heights.data(), bytes.size());
    return bytes;
}

std::vector<std::byte> fixture(const char* name)
{
    std::ifstream file(std::string(VELORIN_FIXTURES) + "/" + name, std::ios::binary);
    std::vector<char> chars { std::istreambuf_iterator<char>(file), {} };
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

} // namespace

// `load` of a grid already on disk, as the main thread runs it inside a frame: reading,
// decoding, masking with the France outline and storing. Two keys alternate in a
// one-grid cache, so that every call reads the disk again.
static void BM_LoadFromDisk(benchmark::State& state, TerrainService::Key first, TerrainService::Key second,
    const std::vector<std::byte>& bytes)
{
    testing_support::TemporaryFolder folder;
    velorin::DiskStore store(folder / "cache", folder / "offline");
    for (const auto& key : { first, second })
        store.writeNow(bytes, TerrainService::diskKey(key.z, key.x, key.y));
    platform::HttpSession session;
    platform::DrainableMainQueue mainQueue;
    platform::ManualClock clock;
    // Nothing listens there: a grid that missed the disk could not reach a real server.
    velorin::ServiceHosts hosts;
    hosts.scheme = "http";
    hosts.ignHost = hosts.terrariumHost = "127.0.0.1:9";
    TerrainService service(store, session, hosts, mainQueue, clock, nullptr, 1);

    bool odd = false;
    for (auto _ : state) {
        service.load(odd ? first : second);
        odd = !odd;
    }
    const auto last = odd ? second : first;
    const double n = 1 << last.z;
    if (service.elevationAt((last.x + 0.5) / n, (last.y + 0.5) / n, last.z) == 0)
        state.SkipWithError("the grid was not taken from disk");
    state.SetItemsProcessed(state.iterations());
}
// IGN grids around Paris, deep inside France.
BENCHMARK_CAPTURE(BM_LoadFromDisk, ignBIL, TerrainService::Key { 12, 2074, 1409 }, TerrainService::Key { 12, 2075, 1409 }, bilBytes())
    ->Unit(benchmark::kMicrosecond);
// Terrarium PNG tiles around Madrid.
BENCHMARK_CAPTURE(BM_LoadFromDisk, terrariumPNG, TerrainService::Key { 12, 2005, 1544 }, TerrainService::Key { 12, 2006, 1544 },
    fixture("terrarium-gradient.png"))
    ->Unit(benchmark::kMicrosecond);
