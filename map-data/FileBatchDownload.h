#pragma once

#include "map-data/DiskStore.h"
#include "platform/Clock.h"
#include "platform/DispatchQueue.h"
#include "platform/Executor.h"
#include "platform/HttpSession.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velorin {

// Downloads a list of files that are not yet on disk into the disk store's cache root,
// twelve at a time, each with up to five attempts, reporting how far the leading run of
// finished items reaches; used to prepare the ground ahead of a camera flight. Starts at
// construction; destroying it cancels what is left. Construct, cancel and destroy on one
// thread (the GUI thread); the work runs on a serial queue of its own. An object rather than
// a function that fetches the files, since whoever starts the download cancels it by dropping
// it.
class FileBatchDownload {
public:
    struct Item {
        // Where the file goes, relative to the store's roots.
        std::string diskKey;
        std::string url;

        bool operator==(const Item&) const = default;
    };

    struct Services {
        std::shared_ptr<DiskStore> store;
        std::shared_ptr<platform::HttpSession> session;
        // Measures the pauses between attempts.
        std::shared_ptr<platform::Clock> clock;
        // Where `progress` runs.
        std::shared_ptr<platform::Executor> mainQueue;
    };

    // (items done, items in all). Done counts only the leading run of items that are on
    // disk or whose download ended, successful or not.
    using Progress = std::function<void(int64_t done, int64_t total)>;

    static constexpr int kMaxConcurrentDownloads = 12;
    static constexpr int kMaxAttempts = 5;
    // The pause after failed attempt n (from 0) is kFirstRetryPauseSeconds · 2^n; an item
    // ends after the pause that follows its last attempt.
    static constexpr double kFirstRetryPauseSeconds = 1;

    FileBatchDownload(std::vector<Item> items, Services services, Progress progress);
    ~FileBatchDownload();

    FileBatchDownload(const FileBatchDownload&) = delete;
    FileBatchDownload& operator=(const FileBatchDownload&) = delete;

    // Stops starting downloads and reporting progress; transfers in flight are dropped.
    void cancel();

private:
    struct Work;

    // Declared first so it is destroyed last, once nothing runs on it any more.
    std::unique_ptr<platform::DispatchQueue> queue_;
    std::shared_ptr<Work> work_;
};

} // namespace velorin
