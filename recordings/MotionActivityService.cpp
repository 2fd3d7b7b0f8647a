#include "recordings/MotionActivityService.h"

#include <utility>

namespace velorin {

MotionActivityService::MotionActivityService(std::shared_ptr<platform::MotionActivitySource> source)
    : source_(std::move(source))
{
}

MotionActivityService::~MotionActivityService()
{
    stop();
}

void MotionActivityService::start()
{
    if (isRunning_ || !source_->isActivityAvailable())
        return;
    isRunning_ = true;
    source_->startActivityUpdates([weak = std::weak_ptr(lifetime_)](const std::optional<platform::MotionActivity>& activity) {
        if (auto service = weak.lock())
            (*service)->activityDidUpdate(activity);
    });
}

void MotionActivityService::stop()
{
    if (!isRunning_)
        return;
    isRunning_ = false;
    source_->stopActivityUpdates();
}

void MotionActivityService::activityDidUpdate(const std::optional<platform::MotionActivity>& activity)
{
    if (!activity)
        return;
    bool changed = !std::exchange(isAuthorized_, true);
    if (activity->confidence != platform::MotionActivity::Confidence::low) {
        if (auto mode = travelMode(*activity); mode && mode != mode_) {
            mode_ = mode;
            changed = true;
        }
    }
    if (changed && onChange)
        onChange();
}

std::optional<TravelMode> travelMode(const platform::MotionActivity& activity)
{
    if (activity.automotive)
        return TravelMode::automotive;
    if (activity.cycling)
        return TravelMode::cycling;
    if (activity.running)
        return TravelMode::running;
    if (activity.walking)
        return TravelMode::walking;
    if (activity.stationary)
        return TravelMode::stationary;
    return std::nullopt;
}

} // namespace velorin
