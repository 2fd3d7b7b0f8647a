#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <vector>

namespace velorin {

// The frames of a flight prepared ahead at a fixed rate, filled in order of time and shown
// only once complete. A frame type of the caller's; GUI thread only.
template <typename Frame>
class FlightFrameSequence {
public:
    // Throws std::invalid_argument for a duration that is negative or not finite, or a rate
    // that is not above 0.
    FlightFrameSequence(double durationSeconds, double frameRate)
        : duration_(durationSeconds)
        , frameRate_(frameRate)
    {
        if (!(std::isfinite(durationSeconds) && durationSeconds >= 0) || !(std::isfinite(frameRate) && frameRate > 0))
            throw std::invalid_argument("séquence de vol impossible");
        frameCount_ = std::size_t(std::ceil(duration_ * frameRate_)) + 1;
    }

    double duration() const { return duration_; }
    double frameRate() const { return frameRate_; }
    std::size_t frameCount() const { return frameCount_; }
    const std::vector<Frame>& frames() const { return frames_; }
    bool isComplete() const { return frames_.size() >= frameCount_; }
    // The flight time of the next frame to prepare.
    double nextTime() const { return std::min(duration_, double(frames_.size()) / frameRate_); }
    void append(Frame frame) { frames_.push_back(std::move(frame)); }

    // The frame to show at flight time `t`: nothing until complete; the last from the
    // duration on; else the nearest in time.
    const Frame* frame(double t) const
    {
        if (!isComplete() || frames_.empty())
            return nullptr;
        if (t >= duration_)
            return &frames_.back();
        const double index = std::round(t * frameRate_);
        const std::size_t at = index <= 0 ? 0 : std::min(std::size_t(index), frames_.size() - 1);
        return &frames_[at];
    }

private:
    double duration_ = 0;
    double frameRate_ = 0;
    std::size_t frameCount_ = 0;
    std::vector<Frame> frames_;
};

} // namespace velorin
