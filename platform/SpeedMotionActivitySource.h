#pragma once

#include "platform/LocationFix.h"
#include "platform/MainQueue.h"
#include "platform/MotionActivitySource.h"

#include <deque>
#include <functional>
#include <memory>

namespace platform {

// Motion activity for a machine without motion sensors: it reads how the walker moves from
// the ground speed of the last minute of position fixes known to 50 m or better, the median
// of their speeds (the fix's own when it has one, else the distance from the fix before over
// the time between). The more fixes over the longer time, the surer the report; a minute
// without a usable fix reports an unknown activity. Available wherever positioning is. The
// owner feeds it every fix; while started, each fed fix is followed by a report posted to
// the main queue. Main thread only.
class SpeedMotionActivitySource final : public MotionActivitySource {
public:
    static constexpr double kWindowSeconds = 60;
    static constexpr double kMaximumAccuracyMeters = 50;
    // Upper bounds of the median speed of each activity, in metres per second; faster than
    // cycling is automotive.
    static constexpr double kStationaryBelowMetersPerSecond = 0.5;
    static constexpr double kWalkingBelowMetersPerSecond = 2.5;
    static constexpr double kRunningBelowMetersPerSecond = 4.5;
    static constexpr double kCyclingBelowMetersPerSecond = 8.5;
    // Speeds needed, and the seconds they must span, for a high or a medium confidence.
    static constexpr int kHighConfidenceSpeeds = 5;
    static constexpr double kHighConfidenceSeconds = 30;
    static constexpr int kMediumConfidenceSpeeds = 3;
    static constexpr double kMediumConfidenceSeconds = 15;

    // `positioningAvailable` tells whether the machine can locate itself at all.
    SpeedMotionActivitySource(std::shared_ptr<MainQueue> mainQueue, std::function<bool()> positioningAvailable);
    ~SpeedMotionActivitySource() override;

    SpeedMotionActivitySource(const SpeedMotionActivitySource&) = delete;
    SpeedMotionActivitySource& operator=(const SpeedMotionActivitySource&) = delete;

    bool isActivityAvailable() const override;
    void startActivityUpdates(Handler handler) override;
    void stopActivityUpdates() override;

    // Every fix of the device, as it arrives, whether or not updates run.
    void addFix(const LocationFix& fix);

private:
    struct Sample {
        double timestamp;
        double latitude;
        double longitude;
        // Metres per second; negative when neither the fix nor its predecessor tells.
        double speed;
    };

    // The activity the fixes of the last minute stand for; an unknown one without any.
    MotionActivity currentActivity() const;

    const std::shared_ptr<MainQueue> mainQueue_;
    const std::function<bool()> positioningAvailable_;
    // Usable fixes of the last minute, oldest first.
    std::deque<Sample> samples_;
    // What the posted reports hold, weakly; reset at every stop, so that a report posted
    // before it is dropped.
    std::shared_ptr<Handler> handler_;
};

} // namespace platform
