#pragma once

#include "platform/Image.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace platform {

// An H.264 film in an MP4 file, written one RGBA frame at a time: one yuv420p stream tagged
// BT.709 limited range, the frame rate as an exact fraction (29.97 is 2997/100) and frame i
// shown at i / rate. The file grows as a hidden ".part" file beside the target and takes the
// target's name only when `finish` succeeded; a writer dropped unfinished removes it, so a
// failed film never replaces what was there. One thread at a time (it may move between
// threads, as a film's encoding queue takes it over).
class VideoWriter {
public:
    // Why a writer could not be opened: the folder, the encoder or the container refused.
    class Error : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // A rate that a film can be written at: finite and at least one frame a second.
    static bool isUsableFrameRate(double framesPerSecond);

    // Opens the ".part" file of `target` for frames of `width` × `height` (both even and
    // positive: 4:2:0 halves each side) at `framesPerSecond`; throws Error.
    VideoWriter(const std::filesystem::path& target, int width, int height, double framesPerSecond);
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Converts and encodes the next frame, which must have the writer's size; nothing, or
    // the encoder's or the file's error as text. After an error the film cannot finish.
    std::optional<std::string> append(const Image& frame);
    // Drains the encoder, writes the trailer, closes the file and renames it over the
    // target; true only when every one of these succeeded. Without it, or when it fails,
    // the ".part" file is removed and the target stays as it was.
    bool finish();

    int width() const;
    int height() const;
    // Frames appended so far.
    long frames() const;
    // Where the film grows until it is finished.
    const std::filesystem::path& partPath() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace platform
