#pragma once

#include "platform/LocationFix.h"

#include <optional>

namespace platform {

// Which fixes a location source hands on: one that moved at least the distance filter from
// the last one delivered, the first one, and the one that answers a one-shot request,
// whatever its distance. Owned by one source, on its thread.
class DeliveredFixes {
public:
    // Metres; zero, negative or not a number delivers every fix.
    void setDistanceFilter(double meters);
    void expectRequested() { isRequestPending_ = true; }
    void cancelRequest() { isRequestPending_ = false; }

    // Whether `fix` goes out; it becomes the last delivered when it does.
    bool admit(const LocationFix& fix);
    const std::optional<LocationFix>& last() const { return last_; }

private:
    double distanceFilterMeters_ = 0;
    bool isRequestPending_ = false;
    std::optional<LocationFix> last_;
};

} // namespace platform
