// The "meta.json" of a saved view and of a saved video, read by the streaming parser: a
// record that reads holds only finite poses (and a frame rate above 0), and encodes and
// reads again to the same value.

#include "fuzz/FuzzCheck.h"
#include "recordings/CaptureMetadata.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velorin;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto view = capture_metadata::decodeView(text)) {
        FUZZ_CHECK(view->pose.isFinite());
        const auto encoded = capture_metadata::encode(*view);
        FUZZ_CHECK(encoded.has_value());
        FUZZ_CHECK(capture_metadata::decodeView(*encoded) == view);
    }
    if (const auto video = capture_metadata::decodeVideo(text)) {
        FUZZ_CHECK(std::isfinite(video->frameRate) && video->frameRate > 0);
        for (const CameraPose& pose : video->poses)
            FUZZ_CHECK(pose.isFinite());
        const auto encoded = capture_metadata::encode(*video);
        FUZZ_CHECK(encoded.has_value());
        FUZZ_CHECK(capture_metadata::decodeVideo(*encoded) == video);
    }
    return 0;
}
