#include "features/ToponymService.h"

#include "features/PlaceStore.h"
#include "map-data/Hasher.h"

#include "platform/Log.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <utility>

namespace velorin {

namespace {

// The cell column or row of a world coordinate, clamped into the grid as a double so that
// an infinite or huge coordinate stays in range.
double gridIndex(double coordinate)
{
    return std::floor(coordinate * ToponymService::kCellsAcross);
}

// Label order: kind order, importance, id.
bool comesFirst(const Toponym& a, const Toponym& b)
{
    const int orderA = ToponymService::kindOrder(a.kind);
    const int orderB = ToponymService::kindOrder(b.kind);
    if (orderA != orderB)
        return orderA < orderB;
    if (a.importance != b.importance)
        return a.importance < b.importance;
    return a.id < b.id;
}

bool isVisible(const Toponym& toponym, double zoom)
{
    const double later = ToponymService::kZoomPerImportance * double(std::max<std::int64_t>(toponym.importance - 2, 0));
    return zoom >= ToponymService::baseZoom(toponym.kind) + later;
}

const PlaceStore::Country& france()
{
    return PlaceStore::countries.front();
}

} // namespace

WorldRect ToponymService::Cell::rect() const
{
    const double across = kCellsAcross;
    return {x / across, y / across, (x + 1) / across, (y + 1) / across};
}

std::size_t ToponymService::CellHash::operator()(const Cell& cell) const noexcept
{
    Hasher hasher;
    hasher.combine(std::int64_t(cell.x));
    hasher.combine(std::int64_t(cell.y));
    return hasher.finalize();
}

double ToponymService::baseZoom(Toponym::Kind kind)
{
    switch (kind) {
    case Toponym::Kind::summit:
    case Toponym::Kind::col:
        return 13;
    case Toponym::Kind::refuge:
        return 13.5;
    case Toponym::Kind::ridge:
    case Toponym::Kind::viewpoint:
        return 15;
    case Toponym::Kind::place:
        return 15.5;
    }
    return 15.5;
}

int ToponymService::kindOrder(Toponym::Kind kind)
{
    switch (kind) {
    case Toponym::Kind::summit:
    case Toponym::Kind::col:
        return 0;
    case Toponym::Kind::refuge:
        return 1;
    case Toponym::Kind::ridge:
    case Toponym::Kind::viewpoint:
        return 2;
    case Toponym::Kind::place:
        return 3;
    }
    return 3;
}

ToponymService::ToponymService(Dependencies dependencies)
    : store_(std::move(dependencies.store))
    , session_(std::move(dependencies.session))
    , hosts_(std::move(dependencies.hosts))
    , relay_(std::move(dependencies.relay))
    , places_(dependencies.places)
    , clock_(std::move(dependencies.clock))
    , mainQueue_(std::move(dependencies.mainQueue))
    , fetches_(*session_, *clock_)
    , spotHeights_(hosts_, relay_.get(), fetches_)
    , pool_("com.vask.velorin.toponyms", kMaxConcurrentLoads)
{
}

ToponymService::~ToponymService()
{
    stopping_ = true;
    // The loads waiting on a transfer return at once; the pool then waits for them.
    fetches_.stop();
    pool_.cancelAll();
}

void ToponymService::setOnChange(std::function<void()> callback)
{
    std::lock_guard guard(lock_);
    onChange_ = std::move(callback);
}

std::vector<ToponymService::Cell> ToponymService::cellsCovering(double minX, double minY, double maxX, double maxY)
{
    if (std::isnan(minX) || std::isnan(minY) || std::isnan(maxX) || std::isnan(maxY))
        return {};
    const double last = kCellsAcross - 1;
    const double x0 = std::max(gridIndex(minX), 0.0);
    const double x1 = std::min(gridIndex(maxX), last);
    const double y0 = std::max(gridIndex(minY), 0.0);
    const double y1 = std::min(gridIndex(maxY), last);
    if (x1 < x0 || y1 < y0)
        return {};
    std::vector<Cell> cells;
    cells.reserve(std::size_t(x1 - x0 + 1) * std::size_t(y1 - y0 + 1));
    for (int x = int(x0); x <= int(x1); ++x)
        for (int y = int(y0); y <= int(y1); ++y)
            cells.push_back({x, y});
    return cells;
}

std::vector<ToponymService::Cell> ToponymService::cellsMeeting(std::span<const WorldPoint> area, WorldPoint from)
{
    if (area.empty())
        return {};
    const WorldRect box = WorldRect::boundingRect(area);
    std::vector<Cell> cells = cellsCovering(box.minX, box.minY, box.maxX, box.maxY);
    // A cell misses the area when all its corners lie beyond one of the area's sides.
    double twiceArea = 0;
    for (std::size_t i = 0; i < area.size(); ++i) {
        const WorldPoint& a = area[i];
        const WorldPoint& b = area[(i + 1) % area.size()];
        twiceArea += a.x * b.y - b.x * a.y;
    }
    if (twiceArea != 0) {
        const double winding = twiceArea > 0 ? 1 : -1;
        std::erase_if(cells, [&](const Cell& cell) {
            const WorldRect r = cell.rect();
            const std::array<WorldPoint, 4> corners{WorldPoint{r.minX, r.minY}, WorldPoint{r.maxX, r.minY},
                WorldPoint{r.maxX, r.maxY}, WorldPoint{r.minX, r.maxY}};
            for (std::size_t i = 0; i < area.size(); ++i) {
                const WorldPoint& a = area[i];
                const WorldPoint& b = area[(i + 1) % area.size()];
                const bool allOutside = std::all_of(corners.begin(), corners.end(), [&](const WorldPoint& p) {
                    return winding * ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) < 0;
                });
                if (allOutside)
                    return true;
            }
            return false;
        });
    }
    const auto distance = [from](const Cell& cell) {
        const WorldRect r = cell.rect();
        return std::hypot(std::clamp(from.x, r.minX, r.maxX) - from.x, std::clamp(from.y, r.minY, r.maxY) - from.y);
    };
    std::stable_sort(
        cells.begin(), cells.end(), [&](const Cell& a, const Cell& b) { return distance(a) < distance(b); });
    return cells;
}

void ToponymService::request(std::span<const WorldPoint> area, double zoom, WorldPoint from)
{
    if (!(zoom >= kMinZoom) || area.empty())
        return;
    if (places_)
        places_->prefetchCountries(WorldRect::boundingRect(area));
    for (const Cell& cell : cellsMeeting(area, from))
        load(cell);
}

void ToponymService::request(const WorldRect& rect, double zoom)
{
    const std::array<WorldPoint, 4> corners{WorldPoint{rect.minX, rect.minY}, WorldPoint{rect.maxX, rect.minY},
        WorldPoint{rect.maxX, rect.maxY}, WorldPoint{rect.minX, rect.maxY}};
    request(corners, zoom, WorldPoint{(rect.minX + rect.maxX) / 2, (rect.minY + rect.maxY) / 2});
}

void ToponymService::load(const Cell& cell)
{
    std::uint64_t generation = 0;
    {
        std::lock_guard guard(lock_);
        if (loading_.contains(cell))
            return;
        if (cells_.contains(cell)) {
            const auto due = heightsDueAt_.find(cell);
            if (due == heightsDueAt_.end() || clock_->now() < due->second)
                return;
            heightsDueAt_.erase(due);
        } else if (auto failed = failedAt_.find(cell);
                   failed != failedAt_.end() && clock_->now() - failed->second < kRetryDelaySeconds) {
            return;
        }
        loading_.insert(cell);
        generation = generation_;
    }
    pool_.add([this, cell, generation] { loadOnPool(cell, generation); });
}

void ToponymService::loadOnPool(const Cell& cell, std::uint64_t generation)
{
    if (stopping_)
        return;
    std::vector<Toponym> placeLabels = labels(cell);
    if (!france().intersects(cell.rect())) {
        storeCell(cell, {}, std::move(placeLabels), true, generation);
        return;
    }
    if (auto cached = cachedToponyms(cell.x, cell.y)) {
        if (store_->exists(heightsPendingKey(cell.x, cell.y))) {
            SpotHeights::Result completed = completeHeights(cell, std::move(*cached));
            if (stopping_)
                return;
            if (!completed.complete)
                heightsDueLater(cell);
            cached = std::move(completed.toponyms);
        }
        storeCell(cell, std::move(*cached), std::move(placeLabels), true, generation);
        return;
    }
    Fetched fetched = fetch(cell);
    if (stopping_)
        return;
    if (fetched.error) {
        markFailed(cell, *fetched.error);
        return;
    }
    cacheFetched(cell, fetched);
    if (fetched.complete && !fetched.heightsComplete)
        heightsDueLater(cell);
    storeCell(cell, std::move(fetched.toponyms), std::move(placeLabels), false, generation);
}

std::vector<Toponym> ToponymService::labels(const Cell& cell) const
{
    return places_ ? places_->labelsInCell(cell.x, cell.y) : std::vector<Toponym>{};
}

void ToponymService::storeCell(const Cell& cell, std::vector<Toponym> found, std::vector<Toponym> placeLabels,
    bool fromDisk, std::uint64_t generation)
{
    std::function<void()> callback;
    std::size_t count = 0;
    for (;;) {
        std::vector<Toponym> list = found;
        list.insert(list.end(), std::make_move_iterator(placeLabels.begin()), std::make_move_iterator(placeLabels.end()));
        std::stable_sort(list.begin(), list.end(), comesFirst);
        count = list.size();
        auto names = std::make_shared<const std::vector<Toponym>>(std::move(list));
        {
            std::lock_guard guard(lock_);
            if (generation == generation_) {
                cells_.insert_or_assign(cell, std::move(names));
                cellsVersion_ += 1;
                loading_.erase(cell);
                failedAt_.erase(cell);
                callback = onChange_;
                break;
            }
            generation = generation_;
        }
        // A database became available while the cell loaded: its labels belong in the cell.
        placeLabels = labels(cell);
    }
    platform::Log::debug(platform::logcat::toponyms, "cellule {}/{} : {} toponymes{}", cell.x, cell.y, count,
        fromDisk ? " (disque)" : "");
    postChange(std::move(callback));
}

void ToponymService::heightsDueLater(const Cell& cell)
{
    std::lock_guard guard(lock_);
    heightsDueAt_.insert_or_assign(cell, clock_->now() + kRetryDelaySeconds);
}

void ToponymService::markFailed(const Cell& cell, const platform::HttpError& error)
{
    platform::Log::error(platform::logcat::toponyms, "cellule {}/{} : {}", cell.x, cell.y, error.message);
    std::lock_guard guard(lock_);
    loading_.erase(cell);
    failedAt_.insert_or_assign(cell, clock_->now());
}

void ToponymService::postChange(std::function<void()> callback)
{
    if (!callback)
        return;
    mainQueue_->post([alive = std::weak_ptr(lifetime_), callback = std::move(callback)] {
        if (!alive.expired())
            callback();
    });
}

std::shared_ptr<const ToponymService::Ordered> ToponymService::ordered(
    const std::shared_ptr<const Ordered>& base, CellMap cells, std::uint64_t version)
{
    const bool keepsBase = base && std::all_of(base->cells.begin(), base->cells.end(), [&](const auto& entry) {
        const auto found = cells.find(entry.first);
        return found != cells.end() && found->second == entry.second;
    });
    // Each cell is sorted already: the runs are merged as pointers, two at a time, the base
    // order counting as one run.
    std::vector<std::vector<const Toponym*>> runs;
    if (keepsBase)
        runs.push_back(base->names);
    for (const auto& [cell, names] : cells) {
        if (keepsBase && base->cells.contains(cell))
            continue;
        std::vector<const Toponym*> run;
        run.reserve(names->size());
        for (const Toponym& toponym : *names)
            run.push_back(&toponym);
        runs.push_back(std::move(run));
    }
    const auto byPointer = [](const Toponym* a, const Toponym* b) { return comesFirst(*a, *b); };
    while (runs.size() > 1) {
        std::vector<std::vector<const Toponym*>> next;
        next.reserve((runs.size() + 1) / 2);
        for (std::size_t i = 0; i + 1 < runs.size(); i += 2) {
            std::vector<const Toponym*> both;
            both.reserve(runs[i].size() + runs[i + 1].size());
            std::merge(runs[i].begin(), runs[i].end(), runs[i + 1].begin(), runs[i + 1].end(),
                std::back_inserter(both), byPointer);
            next.push_back(std::move(both));
        }
        if (runs.size() % 2 == 1)
            next.push_back(std::move(runs.back()));
        runs = std::move(next);
    }
    auto made = std::make_shared<Ordered>();
    made->version = version;
    made->cells = std::move(cells);
    if (!runs.empty())
        made->names = std::move(runs.front());
    return made;
}

std::vector<Toponym> ToponymService::visibleToponyms(double zoom) const
{
    if (!(zoom >= kMinZoom))
        return {};
    std::shared_ptr<const Ordered> order;
    CellMap cells;
    std::uint64_t version = 0;
    {
        std::lock_guard guard(lock_);
        order = ordered_;
        version = cellsVersion_;
        if (!order || order->version != version)
            cells = cells_;
    }
    if (!order || order->version != version) {
        order = ordered(order, std::move(cells), version);
        std::lock_guard guard(lock_);
        if (!ordered_ || ordered_->version < version)
            ordered_ = order;
    }
    // Within a kind order the base zoom is the same and the importance ascends: the names
    // shown are a first run of each kind order's run.
    const auto& names = order->names;
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    std::size_t count = 0;
    auto begin = names.begin();
    while (begin != names.end()) {
        const int kind = kindOrder((*begin)->kind);
        const auto end = std::partition_point(begin, names.end(), [kind](const Toponym* t) { return kindOrder(t->kind) == kind; });
        const auto shown = std::partition_point(begin, end, [zoom](const Toponym* t) { return isVisible(*t, zoom); });
        runs.emplace_back(std::size_t(begin - names.begin()), std::size_t(shown - names.begin()));
        count += std::size_t(shown - begin);
        begin = end;
    }
    std::vector<Toponym> visible;
    visible.reserve(count);
    for (const auto& [first, last] : runs)
        for (std::size_t i = first; i < last; ++i)
            visible.push_back(*names[i]);
    return visible;
}

void ToponymService::reload()
{
    std::function<void()> callback;
    {
        std::lock_guard guard(lock_);
        cells_.clear();
        cellsVersion_ += 1;
        ordered_.reset();
        generation_ += 1;
        callback = onChange_;
    }
    postChange(std::move(callback));
}

void ToponymService::waitForLoads()
{
    pool_.waitUntilAllFinished();
}

} // namespace velorin
