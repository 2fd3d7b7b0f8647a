#include "features/PlaceStore.h"
#include "features/ToponymService.h"

#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"
#include "testing/TemporaryFolder.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kCellColumns = 20;
constexpr int kCellRows = 10;
constexpr int kNamesPerCell = 500;
// Alpine cells, all inside the French box, so that each comes from its cache file.
constexpr int kFirstColumn = 1050;
constexpr int kFirstRow = 720;

// A cell of names as the feature service and the place databases fill one: every kind, a
// few important places and many minor ones, ids as the feature service writes them.
std::vector<velorin::Toponym> cellNames(int x, int y, std::mt19937& random)
{
    static const std::array<int64_t, 10> importances = {1, 2, 3, 3, 4, 5, 5, 6, 6, 6};
    const velorin::WorldRect rect = velorin::ToponymService::Cell{x, y}.rect();
    std::vector<velorin::Toponym> names;
    for (int i = 0; i < kNamesPerCell; ++i) {
        velorin::Toponym toponym;
        toponym.kind = velorin::Toponym::kinds[random() % velorin::Toponym::kinds.size()];
        toponym.id = "ZONE_D_HABITATION.LIEU" + std::to_string(x * 1'000'000 + y * 1000 + i);
        toponym.name = "Lieu-dit " + std::to_string(i);
        toponym.importance = importances[random() % importances.size()];
        const velorin::WorldPoint world{rect.minX + (rect.maxX - rect.minX) * double(random() % 1000) / 1000,
            rect.minY + (rect.maxY - rect.minY) * double(random() % 1000) / 1000};
        toponym.latitude = world.latitude();
        toponym.longitude = world.longitude();
        if (random() % 2 == 0)
            toponym.altitude = double(random() % 4000);
        names.push_back(std::move(toponym));
    }
    return names;
}

class Service {
public:
    // `withPlaces`: a place store without any database or media host, which each request
    // asks to prepare the countries in view.
    explicit Service(bool filled, bool withPlaces = false)
    {
        if (withPlaces)
            places_ = std::make_unique<velorin::PlaceStore>(placeSession_, velorin::ServiceHosts(), folder_ / "Places",
                *clock_, *mainQueue_);
        velorin::ToponymService::Dependencies dependencies;
        dependencies.store = store_;
        dependencies.session = std::make_shared<platform::HttpSession>();
        dependencies.hosts.scheme = "http";
        dependencies.hosts.ignHost = "127.0.0.1:1";
        dependencies.clock = clock_;
        dependencies.mainQueue = mainQueue_;
        dependencies.places = places_.get();
        if (filled) {
            std::mt19937 random(7);
            for (int x = kFirstColumn; x < kFirstColumn + kCellColumns; ++x) {
                for (int y = kFirstRow; y < kFirstRow + kCellRows; ++y) {
                    const std::string text = nlohmann::ordered_json(cellNames(x, y, random)).dump();
                    store_->writeNow(std::as_bytes(std::span(text.data(), text.size())),
                        velorin::ToponymService::cacheKey(x, y));
                }
            }
        }
        service = std::make_unique<velorin::ToponymService>(std::move(dependencies));
        if (filled) {
            service->request(area(kCellColumns, kCellRows), 13);
            service->waitForLoads();
            mainQueue_->drain();
        }
    }

    // The rectangle of the first columns and rows of the bench's cells.
    static velorin::WorldRect area(int columns, int rows)
    {
        const double cell = 1.0 / velorin::ToponymService::kCellsAcross;
        const double margin = cell / 10;
        return {kFirstColumn * cell + margin, kFirstRow * cell + margin, (kFirstColumn + columns) * cell - margin,
            (kFirstRow + rows) * cell - margin};
    }

    testing_support::TemporaryFolder folder_;
    std::shared_ptr<velorin::DiskStore> store_
        = std::make_shared<velorin::DiskStore>(folder_ / "cache", folder_ / "offline");
    std::shared_ptr<platform::ManualClock> clock_ = std::make_shared<platform::ManualClock>();
    std::shared_ptr<platform::DrainableMainQueue> mainQueue_ = std::make_shared<platform::DrainableMainQueue>();
    platform::HttpSession placeSession_;
    std::unique_ptr<velorin::PlaceStore> places_;
    std::unique_ptr<velorin::ToponymService> service;
};

// The labels' candidates after a zoom change over 200 loaded cells of 500 names: from the
// first summits at 13 to every name at 17.5.
void visibleToponyms(benchmark::State& state)
{
    static Service loaded(true);
    const double zoom = double(state.range(0)) / 10;
    std::size_t count = 0;
    for (auto _ : state) {
        auto visible = loaded.service->visibleToponyms(zoom);
        count = visible.size();
        benchmark::DoNotOptimize(visible);
    }
    state.counters["names"] = double(count);
}
BENCHMARK(visibleToponyms)->Arg(130)->Arg(150)->Arg(175)->Unit(benchmark::kMillisecond);

// The same right after another cell arrived, when the order of all names is merged again.
void visibleToponymsAfterACellArrived(benchmark::State& state)
{
    static Service loaded(true);
    constexpr double kCell = 1.0 / velorin::ToponymService::kCellsAcross;
    int column = 700;
    for (auto _ : state) {
        state.PauseTiming();
        loaded.service->request({column * kCell + kCell / 2, 700.5 * kCell, column * kCell + kCell / 2, 700.5 * kCell}, 13);
        loaded.service->waitForLoads();
        ++column;
        state.ResumeTiming();
        auto visible = loaded.service->visibleToponyms(17.5);
        benchmark::DoNotOptimize(visible);
    }
}
BENCHMARK(visibleToponymsAfterACellArrived)->Unit(benchmark::kMillisecond);

// A first request of a 4 × 3 cell view on the GUI thread: the lock step and the hand-over
// of each cell to the pool, whose workers are running already; the loads themselves run
// there. Without places the cells lie in the Atlantic; with them, in Portugal, beyond the
// French box, so that each request also asks the place store (without any database or
// media host) to prepare Spain's. Neither needs the network.
void coldRequest(benchmark::State& state)
{
    const bool withPlaces = state.range(0) != 0;
    constexpr double kCell = 1.0 / velorin::ToponymService::kCellsAcross;
    const int firstColumn = withPlaces ? 975 : 700;
    const int lastColumn = withPlaces ? 990 : 900;
    const int firstRow = withPlaces ? 765 : 700;
    const int lastRow = withPlaces ? 790 : 900;
    std::unique_ptr<Service> service;
    int column = lastColumn;
    int row = lastRow;
    for (auto _ : state) {
        column += 4;
        if (column + 4 > lastColumn) {
            column = firstColumn;
            row += 3;
        }
        if (row + 3 > lastRow) {
            // Every view was asked for: a new service, its pool's workers started.
            row = firstRow;
            service = std::make_unique<Service>(false, withPlaces);
            service->service->request({0.3, 0.3, 0.3 + 3 * kCell, 0.3 + 2 * kCell}, 13);
            service->service->waitForLoads();
        }
        const velorin::WorldRect view{column * kCell + kCell / 10, row * kCell + kCell / 10,
            (column + 4) * kCell - kCell / 10, (row + 3) * kCell - kCell / 10};
        const auto start = std::chrono::steady_clock::now();
        service->service->request(view, 13);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        service->service->waitForLoads();
    }
}
BENCHMARK(coldRequest)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
