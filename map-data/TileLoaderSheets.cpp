#include "map-data/TileLoaderEngine.h"

#include "map-data/MediaURLs.h"
#include "map-data/SheetSlicer.h"
#include "platform/Log.h"

#include <filesystem>
#include <set>

namespace velorin {

namespace {

bool coversWholeGrid(const Sheet& sheet, const std::vector<SubtileCell>& cells)
{
    std::set<std::pair<int64_t, int64_t>> covered;
    for (auto cell : cells) {
        if (sheet.hasCell(cell.column, cell.row))
            covered.emplace(cell.column, cell.row);
    }
    return std::int64_t(covered.size()) == sheet.columns * sheet.rows;
}

} // namespace

std::string TileLoaderEngine::slicedMarkKey(const Sheet& sheet)
{
    return "sub/" + sheet.name + "/" + std::string(kSlicedMarkName);
}

void TileLoaderEngine::startSheet(int64_t sheetPosition, const std::vector<SubtileCell>& wanted)
{
    // One sheet at a time; a sheet being prepared is left alone.
    if (slicedSheets_.contains(sheetPosition) || !slicingSheets_.empty())
        return;
    const auto& sheet = catalog_.sheets().at(std::size_t(sheetPosition));
    if (!staleSheets_.contains(sheetPosition) && store_->exists(slicedMarkKey(sheet))) {
        slicedSheets_.insert(sheetPosition);
        schedulePump();
        return;
    }
    staleSheets_.erase(sheetPosition);
    slicingSheets_.insert(sheetPosition);
    post(queues_.slice, [sheet, order = subtileOrder(sheet, wanted)](TileLoaderEngine& engine) {
        engine.sliceSheet(sheet, order, false, {});
    });
}

void TileLoaderEngine::sheetSlicingEnded(int64_t sheetPosition)
{
    slicingSheets_.erase(sheetPosition);
    schedulePump();
}

void TileLoaderEngine::sliceSheet(const Sheet& sheet, const std::vector<SubtileCell>& cells, bool offline,
    const std::function<void(double)>& progress)
{
    publisher_->change(true, [&](TileLoaderStatus& status) {
        status.loadingSheet = sheet.name;
        status.sheetProgress = 0;
        status.phase = TileLoaderPhase::downloading(0, 0);
    });

    bool sliced = false;
    std::optional<FetchResult> fetched;
    if (auto url = sheetMediaURL(hosts_, sheet)) {
        fetched = fetchSync(*url, [this](double fraction, std::int64_t received, std::int64_t expected) {
            publisher_->change(false, [&](TileLoaderStatus& status) {
                status.sheetProgress = fraction * kSheetDownloadShare;
                status.phase = TileLoaderPhase::downloading(received, expected);
            });
        });
    }
    if (!fetched || !fetched->data) {
        // A loader on its way out gave the download up: nothing failed.
        if (!isStopped())
            platform::Log::error(platform::logcat::tileLoader, "téléchargement de {} impossible", sheet.name);
    } else {
        publisher_->change(true, [](TileLoaderStatus& status) {
            status.sheetProgress = kSheetDownloadShare;
            status.phase = TileLoaderPhase::preparing();
        });
        SheetSlicer::Loader services {
            .catalog = catalog_,
            .store = *store_,
            .cache = *cache_,
            .decode = decode_,
            .isWanted = [this](const TileKey& key) { return isWanted(key); },
            .setSheetProgress =
                [this](double value) {
                    publisher_->change(false, [value](TileLoaderStatus& status) { status.sheetProgress = value; });
                },
            .tileReady =
                [this] {
                    postToMain([](TileLoaderEngine& engine) {
                        if (auto callback = engine.onTileReady_)
                            callback();
                    });
                },
        };
        std::int64_t finished = 0;
        try {
            SheetSlicer::slice(*fetched->data, sheet, cells, services, kSheetDownloadShare, offline, finished,
                std::int64_t(cells.size()), progress);
            // Only a sheet cut whole counts as sliced; the mark goes after its last cell.
            if (coversWholeGrid(sheet, cells))
                store_->writeNow({}, slicedMarkKey(sheet), offline);
            sliced = true;
            platform::Log::info(platform::logcat::tileLoader, "découpage terminé : {} ({} sous-tuiles)", sheet.name,
                finished);
        } catch (const SheetSlicer::Error& error) {
            platform::Log::error(platform::logcat::tileLoader, "découpage de {} : {}", sheet.name, error.what());
        } catch (const std::filesystem::filesystem_error& error) {
            platform::Log::error(platform::logcat::tileLoader, "découpage de {} : {}", sheet.name, error.what());
        }
    }

    publisher_->change(true, [](TileLoaderStatus& status) {
        status.loadingSheet.reset();
        status.sheetProgress = 0;
        status.phase = TileLoaderPhase::idle();
    });
    // A failed slice waits like a failed download: the next pass would otherwise fetch the
    // whole sheet again at once, and again after that. A sliced sheet is cut again at once
    // when it loses a sub-tile.
    post(queues_.queue, [position = sheet.id, sliced](TileLoaderEngine& engine) {
        if (sliced)
            engine.slicedSheets_.insert(position);
        else
            engine.sheetRetryAfter_[position] = engine.clock_->now() + kSheetRetryDelaySeconds;
        engine.sheetSlicingEnded(position);
    });
}

} // namespace velorin
