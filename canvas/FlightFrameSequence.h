#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <vector>

namespace velorin {

// The frames of a flight prepared ahead at a fixed rate, filled in order of time; a frame
// is shown once it is prepared, and playback waits while too few lie ahead of it. A frame
// type of the caller's; GUI thread only.
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
    // The flight time of the last frame prepared; below 0 while there is none.
    double preparedUntil() const
    {
        if (isComplete())
            return duration_;
        return (double(frames_.size()) - 1) / frameRate_;
    }

    // Whether playback at flight time `elapsed` may move: the sequence is complete, or the
    // frames ahead of it reach at least `minimumLeadSeconds` and far enough that, prepared
    // on at `pace` flight seconds per second, they stay ahead of it to the end.
    bool leads(double elapsed, double pace, double minimumLeadSeconds) const
    {
        return isComplete() || preparedUntil() - elapsed >= neededLead(elapsed, pace, minimumLeadSeconds);
    }
    // The share of that lead already prepared, from 0 to 1.
    double leadShare(double elapsed, double pace, double minimumLeadSeconds) const
    {
        if (isComplete())
            return 1;
        const double ahead = std::max(0.0, preparedUntil() - elapsed + 1 / frameRate_);
        return std::min(1.0, ahead / (neededLead(elapsed, pace, minimumLeadSeconds) + 1 / frameRate_));
    }

    // The frame to show at flight time `t`: the last from the duration on; else the nearest
    // in time, or nothing when it is not prepared yet.
    const Frame* frame(double t) const
    {
        if (frames_.empty())
            return nullptr;
        if (t >= duration_)
            return isComplete() ? &frames_.back() : nullptr;
        const double index = std::round(t * frameRate_);
        if (index >= double(frames_.size()))
            return nullptr;
        return &frames_[index <= 0 ? 0 : std::size_t(index)];
    }

private:
    double neededLead(double elapsed, double pace, double minimumLeadSeconds) const
    {
        const double remaining = std::max(0.0, duration_ - elapsed);
        const double slower = std::isfinite(pace) ? std::max(0.0, 1 - pace) : 0.0;
        return std::min(remaining, std::max(minimumLeadSeconds, remaining * slower));
    }

    double duration_ = 0;
    double frameRate_ = 0;
    std::size_t frameCount_ = 0;
    std::vector<Frame> frames_;
};

} // namespace velorin
