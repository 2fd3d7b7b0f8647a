#pragma once

#include "recordings/SavedVideo.h"
#include "recordings/SavedView.h"

#include <optional>
#include <string>
#include <string_view>

// The "meta.json" of a capture folder: one compact JSON object whose keys are the record's
// fields, dates as seconds since 2001-01-01 UTC. A video holds thousands of poses and every
// one is read at start-up, so reading goes through a streaming parser that builds the
// record directly. Any thread.
namespace velorin::capture_metadata {

// Nothing when a pose, the frame rate or the date is not a finite number, or the frame
// rate is not above 0: such a record could not be read back.
std::optional<std::string> encode(const SavedView& view);
std::optional<std::string> encode(const SavedVideo& video);

// Nothing for text that is not JSON, misses a key, holds a value of the wrong type or a
// record that `encode` would refuse. Unknown keys are ignored.
std::optional<SavedView> decodeView(std::string_view text);
std::optional<SavedVideo> decodeVideo(std::string_view text);

} // namespace velorin::capture_metadata
