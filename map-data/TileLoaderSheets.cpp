#include "map-data/TileLoaderEngine.h"

#include "platform/Log.h"

namespace velorin {

void TileLoaderEngine::startSheet(int64_t sheetPosition, const std::vector<SubtileCell>& wanted)
{
    // One sheet at a time; a sheet being prepared is left alone.
    if (slicedSheets_.contains(sheetPosition) || !slicingSheets_.empty())
        return;
    const auto& sheet = catalog_.sheets().at(std::size_t(sheetPosition));
    auto firstSubtile = TileKey::subtile(sheetPosition, 0, 0).relativePath(catalog_.sheets());
    if (store_->directoryExists("sub/" + sheet.name) && firstSubtile && store_->exists(*firstSubtile)) {
        slicedSheets_.insert(sheetPosition);
        schedulePump();
        return;
    }
    slicingSheets_.insert(sheetPosition);
    post(queues_.slice, [sheet, order = subtileOrder(sheet, wanted)](TileLoaderEngine& engine) {
        engine.prepareSheet(sheet, order);
    });
}

void TileLoaderEngine::sheetSlicingEnded(int64_t sheetPosition)
{
    slicingSheets_.erase(sheetPosition);
    schedulePump();
}

void TileLoaderEngine::prepareSheet(const Sheet& sheet, const std::vector<SubtileCell>&)
{
    // Downloading and slicing sheets is not available in this build: the sheet is held off
    // like a failed preparation, so that passes do not ask for it again at once.
    platform::Log::info(platform::logcat::tileLoader, "feuille {} : préparation indisponible", sheet.name);
    post(queues_.queue, [position = sheet.id](TileLoaderEngine& engine) {
        engine.sheetRetryAfter_[position] = engine.clock_->now() + kSheetRetryDelaySeconds;
        engine.sheetSlicingEnded(position);
    });
}

} // namespace velorin
