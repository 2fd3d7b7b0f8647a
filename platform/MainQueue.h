#pragma once

#include "platform/Executor.h"

namespace platform {

// The queue of the GUI thread, where published state and screens live. Any thread may
// post; the blocks run one at a time on the main thread. The application binds it to
// Qt's event loop; tests use `DrainableMainQueue`.
class MainQueue : public Executor {
public:
    // True on the thread that runs the posted blocks.
    virtual bool isMainThread() const = 0;
};

} // namespace platform
