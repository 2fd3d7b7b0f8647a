#pragma once

#include "platform/DispatchQueue.h"
#include "platform/MappedFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// Fetched and derived files (tiles, sheets, elevation grids, feature caches) under
// relative keys in two roots: a cache root that may be cleared at any time and an offline
// root holding what the walker prepared for use without a network; reads look in the
// offline root first. Thread-safe: reads, existence tests and `writeNow` run on the
// caller's thread; `write` runs on the store's serial queue.
class DiskStore {
public:
    // Roots default to the tiles cache ("VelorinTiles") and the offline maps folder
    // ("VelorinOffline") of the user's folders. Both are created; a failure to create
    // them does not stop construction (reads then miss and writes log their error).
    explicit DiskStore(std::optional<std::filesystem::path> cacheRoot = std::nullopt,
        std::optional<std::filesystem::path> offlineRoot = std::nullopt);
    // Finishes the writes already asked for.
    ~DiskStore();

    DiskStore(const DiskStore&) = delete;
    DiskStore& operator=(const DiskStore&) = delete;

    const std::filesystem::path& cacheRoot() const { return cacheRoot_; }
    const std::filesystem::path& offlineRoot() const { return offlineRoot_; }

    // A key is a relative path with "/" separators and no empty, "." or ".." component,
    // so that no key reaches outside its root.
    static bool isValidKey(std::string_view key);

    // The file under the offline root, else under the cache root; nothing when neither
    // can be read or the key is not valid. An empty file, the mark of a tile missing
    // upstream, reads as no bytes.
    std::optional<platform::MappedFile> read(std::string_view key) const;

    // Returns at once; the file is written on the store's queue, after the writes asked
    // for before it. A failure is logged ("écriture <key> : <reason>") and dropped.
    void write(std::vector<std::byte> data, std::string key, bool offline = false);

    // The same write done now; throws std::filesystem::filesystem_error on failure,
    // including for a key that is not valid.
    void writeNow(std::span<const std::byte> data, std::string_view key, bool offline = false);

    // Returns at once; the file under the cache root is removed on the store's queue, after
    // the writes asked for before it. The offline root is never touched. A failure is
    // logged ("suppression <key> : <reason>") and dropped.
    void removeCached(std::string key);

    // Whether a regular file exists at the key under the offline root or the cache root.
    bool exists(std::string_view key) const;
    // Whether the key names a directory under the offline root or the cache root.
    bool directoryExists(std::string_view key) const;

    // Removes the whole cache root after the writes already asked for, then creates both
    // roots again. The offline root is untouched. Throws std::filesystem::filesystem_error.
    // Waits for the store's queue and the disk: call it off the GUI thread.
    void clearCache();

    // Creates both roots with their parent folders; throws the first failure.
    void createRoots() const;

    // Bytes allocated on disk to the regular files below `folder`; a file that cannot be
    // examined counts 0, and a missing folder gives 0.
    static std::uintmax_t allocatedSize(const std::filesystem::path& folder);

private:
    const std::filesystem::path cacheRoot_;
    const std::filesystem::path offlineRoot_;
    // Last member: destroyed first, so queued writes finish while the store still stands.
    platform::DispatchQueue ioQueue_;
};

} // namespace velorin
