#pragma once

#include "platform/DispatchQueue.h"
#include "platform/Image.h"
#include "platform/MainQueue.h"
#include "platform/VideoWriter.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velorin {

// The encoding half of a film: converts and encodes its frames on a serial queue of its
// own, so that the main thread only renders. The writer opens with the first frame. At
// most kMaxQueuedFrames frames wait at a time; each frame's answer, and the finish's,
// comes back on the main queue. Main thread only; dropping it cancels the film, waits for
// the frame being encoded and removes the unfinished file.
class FilmEncoder {
public:
    static constexpr int kMaxQueuedFrames = 3;

    // What became of a frame: encoded, or the film failed, with the reason as text.
    struct FrameResult {
        enum class Failure { none, cannotOpen, cannotEncode };
        Failure failure = Failure::none;
        std::string text;
    };

    FilmEncoder(std::filesystem::path target, int width, int height, double framesPerSecond,
        std::shared_ptr<platform::MainQueue> mainQueue);
    ~FilmEncoder();
    FilmEncoder(const FilmEncoder&) = delete;
    FilmEncoder& operator=(const FilmEncoder&) = delete;

    // Whether another frame may be queued now.
    bool canTake() const { return shared_->queued < kMaxQueuedFrames; }
    int queued() const { return shared_->queued; }
    // Queues a frame of the film's size; `done` runs on the main queue once it is encoded or
    // has failed. Frames after a failure are dropped and answer with that failure.
    void append(platform::Image frame, std::function<void(const FrameResult&)> done);
    // Once every frame is answered: ends the film; `done` runs on the main queue with
    // whether the file is complete under its name.
    void finish(std::function<void(bool)> done);

private:
    struct Shared {
        std::filesystem::path target;
        int width = 0;
        int height = 0;
        double framesPerSecond = 0;
        std::unique_ptr<platform::VideoWriter> writer;
        std::optional<FrameResult> failure;
        std::atomic<bool> cancelled = false;
        // Frames queued and not yet answered; main thread only.
        int queued = 0;
    };

    std::shared_ptr<Shared> shared_;
    std::shared_ptr<platform::MainQueue> mainQueue_;
    // Last, so that it is joined before the writer goes.
    std::unique_ptr<platform::DispatchQueue> queue_;
};

} // namespace velorin
