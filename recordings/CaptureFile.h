#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

namespace velorin {

// A view's JPEG or a video's MP4 film handed to a file exporter. It is only ever written
// out, never opened as a document: its bytes are read at once when the exporter asks.
// Any thread.
struct CaptureFile {
    static constexpr std::string_view kUnreadableMessage = "Fichier illisible";

    std::filesystem::path url;

    // The file's bytes; throws std::runtime_error with kUnreadableMessage when it cannot be
    // read.
    std::vector<std::byte> contents() const;

    bool operator==(const CaptureFile&) const = default;
};

} // namespace velorin
