#include "platform/AtomicWrite.h"
#include "platform/Image.h"
#include "platform/qt/QtTileMapView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

// A world map of 1280 × 800 points, pitched at its 60° ceiling and turned, over the Alps,
// with a track, every tile it shows already in its cache: what one picture costs while the
// user drags it. Qt's raster engine spreads the fill over its own threads, so the wall
// time is the figure.
void paintPitchedWorldMap(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / ("velorin-world-map-bench-" + std::to_string(::getpid()));
    platform::QtTileMapView view({folder, nullptr});
    view.resize(1280, 800);
    const auto source = [](std::string name, int maxLevel) {
        platform::MapTileSource tiles;
        tiles.name = std::move(name);
        tiles.url = [](int z, int64_t x, int64_t y) {
            return std::optional("http://127.0.0.1:9/" + std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y));
        };
        tiles.maxLevel = maxLevel;
        return tiles;
    };
    view.setTileSource(source("plan", 19));
    view.setPolylines({{{{45.90, 6.86}, {45.92, 6.87}, {45.93, 6.89}, {45.95, 6.90}}, {0.16, 0.78, 0.35, 0.95}, false}});
    view.setCamera({45.92, 6.87, 4000, 60, 35}, false);

    // Every tile of the picture, in the disk cache, then loaded by the view.
    platform::Image pixels {256, 256, std::vector<std::byte>(256 * 256 * 4, std::byte {180})};
    const auto png = *platform::encodePng(pixels);
    const std::string expiry = "expires " + std::to_string(std::time(nullptr) + 86400) + "\n";
    std::string file = expiry + std::string(reinterpret_cast<const char*>(png.data()), png.size());
    for (const auto& tile : view.projection().tiles(19))
        platform::atomicWrite(
            folder / "plan" / std::to_string(tile.z) / std::to_string(tile.x) / std::to_string(tile.y), std::string_view(file));
    QImage frame(view.size() * view.devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(view.devicePixelRatioF());
    const std::size_t wanted = view.projection().tiles(19).size();
    QElapsedTimer waited;
    waited.start();
    while (view.loadedTileCount() < wanted && waited.elapsed() < 20000) {
        view.render(&frame);
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (view.loadedTileCount() < wanted)
        state.SkipWithError("the cached tiles did not load");
    for (auto _ : state)
        view.render(&frame);
    state.counters["tiles"] = double(view.shownTiles().size());
    std::filesystem::remove_all(folder);
}
BENCHMARK(paintPitchedWorldMap)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
