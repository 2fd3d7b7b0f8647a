#include "canvas/qt/ToponymLabelLayer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A map of 1280 × 800 points on a screen of scale 2, showing 28 labels: what the label
// layer paints over a 2560 × 1600 frame each time the map moves.
struct ShownLabels {
    QWidget map;
    velorin::ToponymLabelLayer layer{&map};

    ShownLabels()
    {
        map.resize(1280, 800);
        for (std::size_t i = 0; i < 28; ++i) {
            const auto kind = velorin::Toponym::kinds[i % velorin::Toponym::kinds.size()];
            layer.configure(i, {"Aiguille du Plat de la Selle " + std::to_string(3000 + i) + " m", kind, i % 2 == 1, false,
                                   210, 15});
            layer.place(i, QRectF(20.3 + 300 * double(i % 4), 30.7 + 105 * double(i / 4), 210, 15));
        }
    }
};

void paintTwentyEightLabels(benchmark::State& state)
{
    ShownLabels shown;
    QImage frame(2560, 1600, QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(shown.layer.devicePixelRatioF());
    frame.fill(QColor(200, 120, 40));
    for (auto _ : state) {
        QPainter painter(&frame);
        shown.layer.paintLabels(painter);
    }
    state.counters["pixelRatio"] = shown.layer.devicePixelRatioF();
    if (shown.layer.renders() != 28)
        state.SkipWithError("a label was drawn again while painting");
}
BENCHMARK(paintTwentyEightLabels)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
