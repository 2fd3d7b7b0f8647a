#pragma once

#include "platform/MotionActivity.h"

#include <functional>
#include <optional>

namespace platform {

// The device's motion-activity reports. Main thread only: started, stopped and destroyed
// there, and it calls its handler there, from the main queue, never from inside one of its
// own operations or of the calls that feed it.
class MotionActivitySource {
public:
    // Nothing in an update means the report carried no activity.
    using Handler = std::function<void(const std::optional<MotionActivity>&)>;

    virtual ~MotionActivitySource() = default;

    // Whether this machine can tell how it moves at all.
    virtual bool isActivityAvailable() const = 0;
    // Reports reach `handler` until the next stop; a start while started replaces it.
    virtual void startActivityUpdates(Handler handler) = 0;
    virtual void stopActivityUpdates() = 0;
};

} // namespace platform
