#pragma once

#include "map-data/DiskStore.h"
#include "map-data/SheetCatalog.h"
#include "map-data/SubtileOrder.h"
#include "map-data/TextureCache.h"
#include "map-data/TileKey.h"
#include "map-data/TileLoader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

namespace velorin {

// Cuts one downloaded TOP25 sheet image into JPEG sub-tiles in the disk store, and hands
// those the map wants now straight to the texture cache. Runs on the loader's slice
// queue, one sheet at a time.
struct SheetSlicer {
    enum class Failure { decodeFailed, contextFailed, encodeFailed };

    // Thrown by `slice`; `what()` says what went wrong.
    class Error : public std::runtime_error {
    public:
        explicit Error(Failure failure);
        Failure failure() const { return failure_; }

    private:
        Failure failure_;
    };

    // What the slicer uses of the loader that owns the job.
    struct Loader {
        const SheetCatalog& catalog;
        DiskStore& store;
        TextureCache& cache;
        const TileLoader::Decoder& decode;
        // Takes the loader's wish-list lock.
        std::function<bool(const TileKey&)> isWanted;
        // Publishes the sheet progress, throttled.
        std::function<void(double)> setSheetProgress;
        // Announces a texture on the main queue.
        std::function<void()> tileReady;
    };

    static constexpr double kJpegQuality = 0.85;

    // Writes the cells in the order given (empty cells are skipped) under
    // "sub/<name>/<column>_<row>.jpg" in the offline root or the cache root, adds one to
    // `finished` per cell written, and reports `finished` ÷ `total` both as the loader's
    // sheet progress (from `progressBase` to 1) and to `progress`. Throws `Error`; cells
    // written before a failure stay on disk.
    static void slice(std::span<const std::byte> data, const Sheet& sheet, const std::vector<SubtileCell>& cells,
        const Loader& loader, double progressBase, bool offline, std::int64_t& finished, std::int64_t total,
        const std::function<void(double)>& progress);
};

} // namespace velorin
