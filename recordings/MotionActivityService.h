#pragma once

#include "platform/MotionActivitySource.h"
#include "recordings/TravelMode.h"

#include <functional>
#include <memory>
#include <optional>

namespace velorin {

// How the walker moves, for the points of a recording: the latest confident report of the
// device's motion activity. Started and stopped with the recording; `mode` keeps its last
// value in between. Main thread only; reports reach it from the main queue and hold it
// weakly.
class MotionActivityService {
public:
    explicit MotionActivityService(std::shared_ptr<platform::MotionActivitySource> source);
    ~MotionActivityService();

    MotionActivityService(const MotionActivityService&) = delete;
    MotionActivityService& operator=(const MotionActivityService&) = delete;

    // Nothing until a confident report arrives; never reset.
    const std::optional<TravelMode>& mode() const { return mode_; }
    // True from the first report that carries an activity.
    bool isAuthorized() const { return isAuthorized_; }
    bool isRunning() const { return isRunning_; }

    // Asks for reports, once, where the machine can tell how it moves.
    void start();
    void stop();

    // After `mode` or `isAuthorized` changed.
    std::function<void()> onChange;

private:
    void activityDidUpdate(const std::optional<platform::MotionActivity>& activity);

    std::optional<TravelMode> mode_;
    bool isAuthorized_ = false;
    const std::shared_ptr<platform::MotionActivitySource> source_;
    bool isRunning_ = false;
    // What the report handler holds, weakly, to reach the service.
    std::shared_ptr<MotionActivityService*> lifetime_ = std::make_shared<MotionActivityService*>(this);
};

// The mode an activity stands for, by the first flag set among automotive, cycling,
// running, walking and stationary; nothing for an unknown activity.
std::optional<TravelMode> travelMode(const platform::MotionActivity& activity);

} // namespace velorin
