#pragma once

#include "platform/Executor.h"
#include "platform/Folders.h"
#include "platform/MainQueue.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velorin {

// Adds a capture to the user's own folders: a still image to Pictures, a film to Videos,
// each made when missing. The copy is named after the capture ("/" and control characters
// made "-", cut to kMaxNameBytes) with the file's extension, and never replaces a file: a
// taken name becomes "name (2)", "name (3)"…, even when another program writes the same
// name meanwhile.
class PhotoLibraryExport {
public:
    static constexpr std::size_t kMaxNameBytes = 200;
    // Names tried before giving up.
    static constexpr int kMaxNameAttempts = 1000;

    // The copy's path, with the permissions the user's umask gives a new file, its name
    // flushed to disk; nothing when the file cannot be read or the folder written or
    // flushed. Any thread.
    static std::optional<std::filesystem::path> copy(const std::filesystem::path& file,
        const std::filesystem::path& folder, const std::string& name);
    // `name` as a file name, without extension.
    static std::string fileName(const std::string& name);
};

// Copies `file` on `worker` into Pictures (or Videos when `isVideo`) as `name`, then
// answers on `mainQueue` whether it was added; never throws. The caller's `done` holds the
// caller weakly. Called on the main thread.
void saveToPhotos(const std::filesystem::path& file, bool isVideo, const std::string& name,
    const platform::Folders& folders, platform::Executor& worker, std::shared_ptr<platform::MainQueue> mainQueue,
    std::function<void(bool)> done);

} // namespace velorin
