#pragma once

#include "platform/NetworkPath.h"

#include <functional>

namespace platform {

// Where reports of the network path come from: the system's network information in the
// application (platform/qt), a fake in tests. `start` runs on the main thread, once; the
// handler may be called on any thread, one report at a time, in the order of the changes.
// Once the source is destroyed its handler is never called again.
class NetworkPathSource {
public:
    using Handler = std::function<void(NetworkPath)>;

    virtual ~NetworkPathSource() = default;

    // Reports the current path when the system knows it, then every change.
    virtual void start(Handler handler) = 0;
};

} // namespace platform
