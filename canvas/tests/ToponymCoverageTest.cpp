#include "CanvasTestSupport.h"
#include "FakeCanvasOverlays.h"

#include "features/ToponymService.h"
#include "testing/LoopbackServer.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

namespace velorin {
namespace {

using testing_support::CanvasTest;
using testing_support::LoopbackServer;

// The README's view of the Mont Blanc massif in a window of the app's size, with a feature
// service that knows no place and counts what it is asked.
class ToponymCoverage : public CanvasTest {
protected:
    LoopbackServer server;
    testing_support::FakeCanvasOverlays overlays;

    void SetUp() override
    {
        server.route("/wfs/ows", LoopbackServer::reply(200, R"({"features":[]})"));
        window.bounds = {1280, 800};
        window.scale = 1;
        window.overlayHost = &overlays;
    }

    // The cells asked of the feature service, with an empty cache, when the start view at
    // `zoom` lays its labels out; and the cells under the whole view.
    std::pair<int, std::size_t> cellsAskedAt(double zoom)
    {
        const int before = server.requestCount("/wfs/ows");
        ToponymService::Dependencies dependencies;
        dependencies.store = std::make_shared<DiskStore>(folder / fmt::format("tiles-{}", zoom), folder / "offline");
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = "127.0.0.1:" + std::to_string(server.port());
        dependencies.clock = clock;
        dependencies.mainQueue = mainQueue;
        auto toponyms = std::make_shared<ToponymService>(std::move(dependencies));
        auto canvas = makeCanvas({"velorin", "-startAt", fmt::format("45.8326,6.8652,{},30,60", zoom)},
            {SheetCatalog{}, {}, {}, {}, {}, {}, toponyms});
        canvas->layout();
        EXPECT_NEAR(canvas->camera().pitch, 60 * std::numbers::pi / 180, 1e-9) << "the tilted start view";
        clock->advance(MapCanvasView::kToponymCoverageSeconds + 0.01);
        canvas->applyToponymPlacements(canvas->layoutToponyms());
        toponyms->waitForLoads();
        mainQueue->drain();
        const WorldRect seen = canvas->camera().visibleRect();
        const auto wholeView = ToponymService::cellsCovering(seen.minX, seen.minY, seen.maxX, seen.maxY).size();
        return {(server.requestCount("/wfs/ows") - before) / int(ToponymService::layers().size()), wholeView};
    }
};

TEST_F(ToponymCoverage, TheStartViewAsksOnlyForTheCellsWhoseNamesItCanShow)
{
    // The view as it starts writes no name (zoom 12.5); a step closer it does.
    struct Case {
        double zoom;
        int mostCells;
    };
    for (const Case c : {Case{12.5, 0}, Case{13.5, 9}, Case{14.5, 9}}) {
        const auto [cells, wholeView] = cellsAskedAt(c.zoom);
        std::printf("zoom %.1f: %d cells asked, %zu under the whole view\n", c.zoom, cells, wholeView);
        EXPECT_LE(cells, c.mostCells) << "zoom " << c.zoom;
        if (c.zoom >= ToponymService::kMinZoom) {
            EXPECT_GT(cells, 0) << "zoom " << c.zoom;
            EXPECT_LT(std::size_t(cells) * 10, wholeView) << "zoom " << c.zoom;
        }
    }
}

} // namespace
} // namespace velorin
