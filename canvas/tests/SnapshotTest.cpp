#include "CanvasTestSupport.h"

#include "canvas/SnapshotSize.h"
#include "platform/Image.h"

#include <fstream>
#include <iterator>

namespace velorin {
namespace {

using testing_support::CanvasTest;

TEST(SnapshotSize, ScalesDownToTheMaximumButNeverUpAndKeepsTwoPixelsASide)
{
    struct Case {
        Camera::Size pixels;
        std::optional<double> maxDimension;
        SnapshotSize size;
    };
    for (auto c : {Case{{2000, 1600}, 480, {480, 384, 0.24}}, Case{{2000, 1600}, std::nullopt, {2000, 1600, 1}},
             Case{{2000, 1600}, 5000, {2000, 1600, 1}}, Case{{2000, 1}, 480, {480, 2, 0.24}}}) {
        SCOPED_TRACE(c.pixels.width);
        EXPECT_EQ(SnapshotSize::of(c.pixels, c.maxDimension), c.size);
    }
}

class SnapshotTo : public CanvasTest {
protected:
    std::optional<int> status;

    std::shared_ptr<MapCanvasView> canvasWritingTo(const std::filesystem::path& path)
    {
        MapCanvasView::Environment environment {clock, mainQueue, defaults, folder / "cache" / "VelorinGestes.log",
            {"velorin", "-startAt", "45.92,6.87,14,0,60", "-snapshotTo", path.string()},
            [this](int code) { status = code; }};
        auto canvas = MapCanvasView::make(window, *context, library,
            MapCanvasView::Services{SheetCatalog{}, {}, {}, {}, {}, {}}, std::move(environment));
        canvas->layout();
        return canvas;
    }

    void waitForTheSnapshot()
    {
        clock->advance(MapCanvasView::kSnapshotDelaySeconds - 0.01);
        mainQueue->drain();
        EXPECT_EQ(status, std::nullopt);
        clock->advance(0.02);
        mainQueue->drain();
    }
};

TEST_F(SnapshotTo, WritesAJpegOfTheViewThirtySecondsAfterTheFirstFit)
{
    const auto path = folder / "out.jpg";
    auto canvas = canvasWritingTo(path);
    waitForTheSnapshot();
    EXPECT_EQ(status, MapCanvasView::kSnapshotWithoutMapStatus) << "without a loader, no tile ever comes";
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes {std::istreambuf_iterator<char>(file), {}};
    const auto info = platform::probeImage(std::as_bytes(std::span(bytes)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, platform::ImageFormat::jpeg);
    EXPECT_EQ(info->width, 1000);
    EXPECT_EQ(info->height, 800);
}

TEST_F(SnapshotTo, AnUnwritablePathOrAGoneCanvasExitsWithOne)
{
    std::ofstream(folder / "file") << "x";
    auto canvas = canvasWritingTo(folder / "file" / "out.jpg");
    waitForTheSnapshot();
    EXPECT_EQ(status, 1);

    status.reset();
    canvas = canvasWritingTo(folder / "out.jpg");
    canvas.reset();
    waitForTheSnapshot();
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.jpg"));
}

TEST_F(SnapshotTo, NothingIsScheduledWithoutAStartView)
{
    auto canvas = makeCanvas({"velorin", "-snapshotTo", (folder / "out.jpg").string()});
    canvas->layout();
    EXPECT_EQ(clock->pendingTimers(), 0u);
}

} // namespace
} // namespace velorin
