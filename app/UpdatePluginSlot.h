#pragma once

#include "app/UpdatePlugin.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace velorin {

// Holds the process's update plug-in: loaded on the first read, from whichever thread comes
// first, exactly once; a failed load is not retried. `get` may be called from any thread;
// `release` only on the GUI thread, once nothing will send the plug-in messages.
class UpdatePluginSlot {
public:
    using Loader = std::function<std::unique_ptr<UpdatePlugin>()>;

    explicit UpdatePluginSlot(Loader load);

    // The plug-in, or nothing when none loaded or it was released.
    UpdatePlugin* get();
    // Destroys the plug-in's object, so that none of its work outlives the application.
    void release();

private:
    Loader load_;
    std::once_flag once_;
    std::unique_ptr<UpdatePlugin> plugin_;
    std::atomic<bool> released_ { false };
};

// The program's plug-in, from `updatePluginFolder()`, told the program's version, User-Agent
// and update feed.
UpdatePlugin* updatePlugin();
// Releases the program's plug-in; the application calls it as it quits, before Qt goes.
void releaseUpdatePlugin();

} // namespace velorin
