// What the aerial mosaic costs per 256 × 256 orthophoto tile at level 13 and beyond, with
// its upstream files already in memory: the decode, masks, copy and JPEG encode alone.

#include "map-data/AerialMosaic.h"
#include "map-data/TileSources.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>

namespace {

constexpr int kSide = 256;
// Near Geneva, where the Swiss photos reach.
constexpr int64_t kZ = 13, kX = 4235, kY = 2907;

// Photo-like noise, with columns from `whiteFrom` on white (none by default).
platform::Image photo(unsigned seed, int whiteFrom = kSide)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(30, 200);
    platform::Image image { kSide, kSide, std::vector<std::byte>(std::size_t(kSide) * kSide * 4) };
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            auto* pixel = &image.pixels[(std::size_t(y) * kSide + x) * 4];
            for (int channel = 0; channel < 3; ++channel)
                pixel[channel] = std::byte(x >= whiteFrom ? 255 : level(random));
            pixel[3] = std::byte(255);
        }
    }
    return image;
}

struct Mosaic {
    std::map<std::string, std::vector<std::byte>> files;
    velorin::AerialMosaic mosaic { velorin::ServiceHosts {}, {},
        [this](const std::string& url) -> std::optional<std::vector<std::byte>> {
            auto file = files.find(url);
            return file == files.end() ? std::nullopt : std::optional(file->second);
        } };

    Mosaic()
    {
        velorin::ServiceHosts hosts;
        files[*velorin::basemapTileURL(hosts, velorin::Basemap::swissImage, kZ, kX, kY)]
            = *velorin::encodeJPEG(photo(2));
        files[*velorin::basemapTileURL(hosts, velorin::Basemap::orthophoto, kZ, kX, kY)]
            = *velorin::encodeJPEG(photo(3));
    }
};

// A tile half white, filled from the Swiss neighbour.
void BM_FillWhiteHalfFromNeighbour(benchmark::State& state)
{
    Mosaic mosaic;
    auto tile = *velorin::encodeJPEG(photo(1, kSide / 2));
    for (auto _ : state)
        benchmark::DoNotOptimize(mosaic.mosaic.fillFromNeighbours(tile, kZ, kX, kY));
}
BENCHMARK(BM_FillWhiteHalfFromNeighbour)->Unit(benchmark::kMillisecond);

// The common case inside France: a whole photo, decoded and found to need nothing.
void BM_WholeTileNeedsNothing(benchmark::State& state)
{
    Mosaic mosaic;
    auto tile = *velorin::encodeJPEG(photo(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(mosaic.mosaic.fillFromNeighbours(tile, kZ, kX, kY));
}
BENCHMARK(BM_WholeTileNeedsNothing)->Unit(benchmark::kMillisecond);

// A Swiss tile with a flat white band filled from the orthophoto.
void BM_FillFlatAreasFromOrthophoto(benchmark::State& state)
{
    Mosaic mosaic;
    auto tile = *velorin::encodeJPEG(photo(4, kSide - 64));
    for (auto _ : state)
        benchmark::DoNotOptimize(mosaic.mosaic.fillFlatAreas(tile, kZ, kX, kY));
}
BENCHMARK(BM_FillFlatAreasFromOrthophoto)->Unit(benchmark::kMillisecond);

} // namespace
