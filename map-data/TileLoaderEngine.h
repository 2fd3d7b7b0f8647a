#pragma once

#include "map-data/AerialMosaic.h"
#include "map-data/SubtileOrder.h"
#include "map-data/TileLoader.h"
#include "map-data/TileStatusPublisher.h"
#include "platform/BlockingFetches.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace velorin {

// The tile loader's scheduling state and passes, shared with the blocks it posts, which
// hold it weakly. The entry points (`setDesired`, `retryNow`, `status`, `stop`) may be
// called from any thread; the callbacks are set on the main thread; everything else runs
// on the loader's serial queue, except the decodes on the decode and mosaic queues.
class TileLoaderEngine : public std::enable_shared_from_this<TileLoaderEngine> {
public:
    struct Queues {
        platform::Executor& queue;
        platform::Executor& decode;
        platform::Executor& mosaic;
        platform::Executor& slice;
    };

    // A missing tile is counted as one 256 × 256 RGBA texture against the cache's budget.
    static constexpr std::int64_t kMissingTileBytes = 256 * 256 * 4;
    // A pass stops once more keys than this are in flight.
    static constexpr std::size_t kMaxKeysInFlight = 63;
    // A pass stops after deferring this many keys for lack of a transfer slot.
    static constexpr int kMaxDeferredKeys = 33;
    static constexpr double kRetryAfterRateLimitSeconds = 3;
    static constexpr double kRetryAfterFailureSeconds = 30;
    static constexpr double kRetryAfterMissingPhotoSeconds = 3600;
    static constexpr double kSheetRetryDelaySeconds = 30;
    // The share of a sheet's progress spent downloading its image; slicing fills the rest.
    static constexpr double kSheetDownloadShare = 0.55;
    static constexpr std::int64_t kThumbnailSizes[] = { 256, 1024 };
    // The share of an offline sheet's progress spent on its thumbnails.
    static constexpr double kThumbnailsShare = 0.1;
    // Written into a sheet's sub-tile folder after its last cell: the sheet is sliced.
    static constexpr std::string_view kSlicedMarkName = "sliced";
    // A transport failure older than this restarts the count at 1.
    static constexpr double kTransportFailureMemorySeconds = 60;
    // A success ends the count only once no transport failure came for longer than this:
    // failures scattered among successes (a provider refusing one answer in three) leave
    // holes in the map and must show, which a count reset by every success never would.
    static constexpr double kTransportQuietSeconds = 5;
    // Neighbouring countries' tiles from this level on have their flat areas repaired.
    static constexpr int64_t kFirstLevelWithFlatAreaRepair = 6;

    using FetchProgress = TileLoader::FetchProgress;
    using DataCompletion = TileLoader::DataCompletion;
    using KeysCancelled = TileLoader::KeysCancelled;
    using KeysProgress = TileLoader::KeysProgress;
    using KeysDone = TileLoader::KeysDone;

    // A blocking fetch gives up after this long and cancels its transfer.
    static constexpr double kBlockingWaitSeconds = 120;
    static constexpr std::size_t kMaxKeyDownloads = 8;

    static std::shared_ptr<TileLoaderEngine> make(const TileLoader::Dependencies& dependencies, Queues queues);

    void setDesired(std::vector<TileKey> keys);
    void retryNow();
    TileLoaderStatus status() const { return publisher_->current(); }
    // Nothing is posted to any queue once this returns, and blocking fetches stop waiting.
    void stop();

    void setOnTileReady(std::function<void()> callback) { onTileReady_ = std::move(callback); }
    void setOnStatusChange(std::function<void(const TileLoaderStatus&)> callback)
    {
        onStatusChange_ = std::move(callback);
    }

    // Slice or mosaic queue, never the loader's queue or the main thread: downloads `url`,
    // waiting at most kBlockingWaitSeconds on the loader's clock. `progress` runs on the
    // session's thread.
    FetchResult fetchSync(const std::string& url, const FetchProgress& progress = {});
    // Slice or mosaic queue: `url`'s bytes through the cache root under "fetch/…", where an
    // empty file marks an upstream file known to be missing (after a 400 or 404).
    std::optional<std::vector<std::byte>> fetchCached(const std::string& url);
    // The disk key of an upstream file fetched through `fetchCached`.
    static std::string fetchCacheKey(std::string_view url);
    // Any thread. `completion` runs on the decode queue with the body of a 2xx answer, or
    // nothing; it is not called once the loader is gone.
    void fetchData(const std::string& url, DataCompletion completion);
    // Any thread. Downloads the keys' files missing from the offline root into it, eight at
    // a time (a file found in the cache root alone is copied over). `isCancelled` and
    // `progress` (keys ended ÷ keys) run on the loader's queue after each key ends; `done`
    // runs there once the started keys have ended, with how many of them the server does not
    // have. Nothing is called once the loader is gone.
    void downloadKeys(std::vector<TileKey> keys, KeysCancelled isCancelled, KeysProgress progress, KeysDone done);

    // Slice queue. Downloads the sheet image, reporting in the status, and cuts `cells`
    // into the offline root or the cache root; returns when the job is over. `progress`
    // gets the share of the cells cut.
    void sliceSheet(const Sheet& sheet, const std::vector<SubtileCell>& cells, bool offline,
        const std::function<void(double)>& progress);
    // The disk key of the mark of a sheet sliced whole.
    static std::string slicedMarkKey(const Sheet& sheet);

    // Any thread. Puts the sheet's thumbnails and sub-tiles into the offline root;
    // `progress` (0…1) and `isCancelled` run on the loader's worker queues, `done` once on
    // one of them when it is over. Nothing is called once the loader is gone.
    void prepareOffline(const Sheet& sheet, std::function<void(double)> progress, KeysCancelled isCancelled,
        std::function<void()> done);

    const SheetCatalog& catalog() const { return catalog_; }
    const ServiceHosts& hosts() const { return hosts_; }
    const RelayMapping& relayed() const { return relayed_; }

private:
    struct Transfer {
        // Tells a transfer's completion from that of a cancelled transfer of the same key.
        std::uint64_t id = 0;
        platform::HttpTask task;
    };

    // Where the session delivers transfer results: the loader's queue, until the loader
    // stops. The loader's own queue may be gone before the last transfer is cancelled.
    class TransferInbox final : public platform::Executor {
    public:
        explicit TransferInbox(TileLoaderEngine& engine)
            : engine_(engine)
        {
        }
        void post(Task task) override;

    private:
        TileLoaderEngine& engine_;
    };

    struct KeyDownload;
    bool isStopped();

    TileLoaderEngine(const TileLoader::Dependencies& dependencies, Queues queues);

    // Posts `step` to `executor` holding the engine weakly, unless stopped.
    void post(platform::Executor& executor, std::function<void(TileLoaderEngine&)> step);
    void postToMain(std::function<void(TileLoaderEngine&)> step);

    // Loader queue.
    void applyDesired(std::vector<TileKey> keys);
    void resetRetries();
    void runPump();
    void schedulePump();
    // A pass runs when the earliest hold-off that the last pass waited on ends, so that a
    // still map fills once its provider answers again.
    void wakeAt(double time);
    void wakeUp(double time);
    void startFetch(const TileKey& key, const std::string& path);
    void handleFetchResult(const TileKey& key, std::uint64_t transferId, const std::string& path,
        platform::HttpResult result);
    void noteTransport(bool success, const platform::HttpResult& result);
    void finishKey(const TileKey& key, std::optional<double> holdOffSeconds);
    void startSheet(int64_t sheet, const std::vector<SubtileCell>& wanted);
    void sheetSlicingEnded(int64_t sheet);

    // Decode or mosaic queue.
    void decodeFromDisk(const TileKey& key, const std::string& path);
    void deliverTile(const TileKey& key, std::optional<std::span<const std::byte>> data, bool storeBytes,
        bool fromDisk, const std::string& path);
    void composeAfterMiss(const TileKey& key, const std::string& path);
    // The aerial mosaic's repair of a photo tile's bytes, as JPEG; nothing when the key is
    // no photo tile it repairs or nothing could be repaired.
    std::optional<std::vector<std::byte>> repairedPhoto(const TileKey& key, std::span<const std::byte> data) const;
    // Enters a decoded tile into the cache and announces it.
    void deliverTexture(const TileKey& key, std::shared_ptr<gpu::Texture> texture);

    // Loader queue, then the decode queue for each key.
    void startNextKeys(const std::shared_ptr<KeyDownload>& download);
    void downloadKey(const std::shared_ptr<KeyDownload>& download, const TileKey& key);
    void keyEnded(const std::shared_ptr<KeyDownload>& download, bool unavailable);
    // `fetchData`, telling as well whether the server answered it has no such file.
    using AnswerCompletion = std::function<void(std::optional<std::vector<std::byte>> body, bool unavailable)>;
    void fetchAnswer(const std::string& url, AnswerCompletion completion);

    // Decode queue, holding the engine: the thumbnails from `sizeIndex` on, then the slicing.
    struct OfflineSheet;
    void prepareThumbnails(const std::shared_ptr<OfflineSheet>& job, std::size_t sizeIndex);
    void sliceOfflineSheet(const std::shared_ptr<OfflineSheet>& job);
    // Decode queue: copies a file found in the cache root alone into the offline root.
    bool copyIntoOfflineRoot(const std::string& path);

    bool isWanted(const TileKey& key) const;
    bool goesToMosaic(const TileKey& key) const;
    platform::Executor& workQueue(const TileKey& key) const;

    const SheetCatalog catalog_;
    const std::shared_ptr<DiskStore> store_;
    const std::shared_ptr<TextureCache> cache_;
    const std::shared_ptr<platform::HttpSession> session_;
    const ServiceHosts hosts_;
    const std::shared_ptr<platform::Clock> clock_;
    const std::shared_ptr<platform::Executor> mainQueue_;
    const TileLoader::Decoder decode_;
    const RelayMapping relayed_;
    const Queues queues_;
    // Fetches through `fetchCached`, on the mosaic queue, inside blocks that hold the engine.
    const AerialMosaic mosaic_;

    // Held while posting, so that once `stop` returns no block reaches a queue.
    std::mutex postMutex_;
    bool stopped_ = false;
    // The fetches that the slice and mosaic queues wait for, which `stop` ends.
    platform::BlockingFetches blocking_ { *session_, *clock_ };

    std::unique_ptr<TileStatusPublisher> publisher_;
    // Declared before `networkTasks_`, whose transfers deliver to it.
    TransferInbox transferInbox_ { *this };

    // Transfers of `fetchData`, declared after the inbox they deliver to, by their own number, until they answer.
    std::mutex dataTasksMutex_;
    std::unordered_map<std::uint64_t, platform::HttpTask> dataTasks_;
    std::uint64_t lastDataTaskId_ = 0;

    // Main thread.
    std::function<void()> onTileReady_;
    std::function<void(const TileLoaderStatus&)> onStatusChange_;

    mutable std::mutex desiredMutex_;
    std::unordered_set<TileKey> desiredSnapshot_;

    // Loader queue.
    std::vector<TileKey> desired_;
    std::unordered_set<TileKey> desiredSet_;
    std::unordered_set<TileKey> loading_;
    std::unordered_map<TileKey, Transfer> networkTasks_;
    std::unordered_map<TileKey, double> retryAfter_;
    std::unordered_set<int64_t> slicedSheets_;
    std::unordered_set<int64_t> slicingSheets_;
    std::unordered_map<int64_t, double> sheetRetryAfter_;
    // Sheets marked sliced that lack a wanted sub-tile: cut again whatever the mark says.
    std::unordered_set<int64_t> staleSheets_;
    std::optional<double> lastTransportFailure_;
    std::uint64_t lastTransferId_ = 0;
    bool pumpScheduled_ = false;
    // The pass asked of the clock, if any.
    std::optional<double> wakeAt_;
};

} // namespace velorin
