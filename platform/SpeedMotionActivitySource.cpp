#include "platform/SpeedMotionActivitySource.h"

#include "platform/GroundDistance.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace platform {

namespace {

bool isUsable(const LocationFix& fix)
{
    return std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::isfinite(fix.timestamp)
        && fix.horizontalAccuracy >= 0 && fix.horizontalAccuracy <= SpeedMotionActivitySource::kMaximumAccuracyMeters;
}

MotionActivity activityFor(double speed)
{
    MotionActivity activity;
    if (speed < SpeedMotionActivitySource::kStationaryBelowMetersPerSecond)
        activity.stationary = true;
    else if (speed < SpeedMotionActivitySource::kWalkingBelowMetersPerSecond)
        activity.walking = true;
    else if (speed < SpeedMotionActivitySource::kRunningBelowMetersPerSecond)
        activity.running = true;
    else if (speed < SpeedMotionActivitySource::kCyclingBelowMetersPerSecond)
        activity.cycling = true;
    else
        activity.automotive = true;
    return activity;
}

} // namespace

SpeedMotionActivitySource::SpeedMotionActivitySource(std::shared_ptr<MainQueue> mainQueue,
    std::function<bool()> positioningAvailable)
    : mainQueue_(std::move(mainQueue))
    , positioningAvailable_(std::move(positioningAvailable))
{
}

SpeedMotionActivitySource::~SpeedMotionActivitySource() = default;

bool SpeedMotionActivitySource::isActivityAvailable() const
{
    return positioningAvailable_ && positioningAvailable_();
}

void SpeedMotionActivitySource::startActivityUpdates(Handler handler)
{
    handler_ = std::make_shared<Handler>(std::move(handler));
}

void SpeedMotionActivitySource::stopActivityUpdates()
{
    handler_.reset();
}

void SpeedMotionActivitySource::addFix(const LocationFix& fix)
{
    if (std::isfinite(fix.timestamp)) {
        while (!samples_.empty() && samples_.front().timestamp <= fix.timestamp - kWindowSeconds)
            samples_.pop_front();
    }
    // A fix older than the newest one kept says nothing about the walker now.
    if (isUsable(fix) && (samples_.empty() || fix.timestamp > samples_.back().timestamp)) {
        double speed = std::isfinite(fix.speed) && fix.speed >= 0 ? fix.speed : -1;
        if (speed < 0 && !samples_.empty()) {
            const Sample& previous = samples_.back();
            speed = groundDistance(previous.latitude, previous.longitude, fix.latitude, fix.longitude)
                / (fix.timestamp - previous.timestamp);
        }
        samples_.push_back({fix.timestamp, fix.latitude, fix.longitude, speed});
    }
    if (!handler_)
        return;
    mainQueue_->post([weak = std::weak_ptr(handler_), activity = currentActivity()] {
        if (auto handler = weak.lock(); handler && *handler)
            (*handler)(activity);
    });
}

MotionActivity SpeedMotionActivitySource::currentActivity() const
{
    std::vector<double> speeds;
    double first = 0;
    double last = 0;
    for (const Sample& sample : samples_) {
        if (sample.speed < 0)
            continue;
        if (speeds.empty())
            first = sample.timestamp;
        last = sample.timestamp;
        speeds.push_back(sample.speed);
    }
    if (speeds.empty())
        return {};
    const auto middle = speeds.begin() + static_cast<std::ptrdiff_t>(speeds.size() / 2);
    std::nth_element(speeds.begin(), middle, speeds.end());
    double median = *middle;
    if (speeds.size() % 2 == 0)
        median = (median + *std::max_element(speeds.begin(), middle)) / 2;
    MotionActivity activity = activityFor(median);
    const int count = static_cast<int>(speeds.size());
    const double span = last - first;
    if (count >= kHighConfidenceSpeeds && span >= kHighConfidenceSeconds)
        activity.confidence = MotionActivity::Confidence::high;
    else if (count >= kMediumConfidenceSpeeds && span >= kMediumConfidenceSeconds)
        activity.confidence = MotionActivity::Confidence::medium;
    return activity;
}

} // namespace platform
