#pragma once

#include "recordings/PhotoExif.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// The user's Pictures folder read as a photo library: every JPEG, PNG, TIFF and WebP file
// below it (links not followed, hidden entries skipped, at most kMaxDepth folders deep)
// with an EXIF date. A photo's id is its path relative to the folder. What was read of a
// file is remembered by path, size and modification time, so that a later scan costs a
// `stat` per unchanged file. Thread-safe; scans run on a worker, never on the GUI thread.
class PhotoLibrary {
public:
    static constexpr int kMaxDepth = 16;

    struct Asset {
        std::string id;
        platform::SystemTime date;
        std::optional<PhotoExif::Location> location;
        // In a screenshots folder, or named as a screenshot.
        bool screenshot = false;
        bool operator==(const Asset&) const = default;
    };

    explicit PhotoLibrary(std::filesystem::path pictures);

    const std::filesystem::path& pictures() const { return pictures_; }
    // Readable means allowed: nobody is asked on the desktop.
    bool isReadable() const;
    // Every photo with a date, oldest first (equal dates by id); stops early, with what it
    // has, once `cancelled` is set.
    std::vector<Asset> assets(const std::atomic<bool>* cancelled = nullptr) const;

    static bool isScreenshot(const std::filesystem::path& relative);

private:
    struct Memo {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified;
        std::optional<PhotoExif> exif;
    };

    std::filesystem::path pictures_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Memo> memo_;
};

} // namespace velorin
