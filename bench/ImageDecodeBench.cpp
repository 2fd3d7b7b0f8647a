#include "platform/Image.h"

#include <benchmark/benchmark.h>
#include <webp/encode.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kTileSide = 256;

// Something like a map tile: smooth shading, sharp lines and a little noise, so that the
// codecs have the work of real imagery rather than of a flat colour.
platform::Image tileLikeImage()
{
    platform::Image image;
    image.width = kTileSide;
    image.height = kTileSide;
    std::mt19937 random(11);
    for (int y = 0; y < kTileSide; ++y)
        for (int x = 0; x < kTileSide; ++x) {
            const bool line = (x + 2 * y) % 37 < 2;
            const int shade = int(128 + 60 * std::sin(x / 17.0) * std::cos(y / 23.0));
            const int noise = int(random() % 9) - 4;
            for (int v : {line ? 40 : shade + noise, line ? 40 : shade - 20 + noise, line ? 40 : shade - 50 + noise, 255})
                image.pixels.push_back(std::byte(std::clamp(v, 0, 255)));
        }
    return image;
}

std::vector<std::byte> encodedTile(platform::ImageFormat format)
{
    const auto image = tileLikeImage();
    switch (format) {
    case platform::ImageFormat::jpeg:
        return platform::encodeJpeg(image, 0.85).value();
    case platform::ImageFormat::png:
        return platform::encodePng(image).value();
    case platform::ImageFormat::webp: {
        uint8_t* output = nullptr;
        const size_t size = WebPEncodeRGBA(reinterpret_cast<const uint8_t*>(image.pixels.data()), kTileSide, kTileSide,
            kTileSide * 4, 80, &output);
        std::vector<std::byte> bytes(reinterpret_cast<std::byte*>(output), reinterpret_cast<std::byte*>(output) + size);
        WebPFree(output);
        return bytes;
    }
    }
    throw std::logic_error("unknown format");
}

// One 256 × 256 tile decoded to RGBA8 on the calling thread; "Mpx" is megapixels a second on one core.
void decodeTile(benchmark::State& state, platform::ImageFormat format)
{
    const auto bytes = encodedTile(format);
    for (auto _ : state) {
        auto image = platform::decodeImage(bytes);
        if (!image)
            state.SkipWithError("the tile did not decode");
        benchmark::DoNotOptimize(image);
    }
    state.counters["Mpx"] = benchmark::Counter(double(kTileSide) * kTileSide / 1e6 * double(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["bytes"] = double(bytes.size());
}

} // namespace

BENCHMARK_CAPTURE(decodeTile, Jpeg256, platform::ImageFormat::jpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(decodeTile, Png256, platform::ImageFormat::png)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(decodeTile, Webp256, platform::ImageFormat::webp)->Unit(benchmark::kMicrosecond);
