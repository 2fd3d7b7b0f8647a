#pragma once

#include <functional>

namespace platform {

// Somewhere to run a block later: a serial queue, the main queue, a pool.
// Thread-safe: `post` may be called from any thread.
class Executor {
public:
    using Task = std::function<void()>;

    virtual ~Executor() = default;
    virtual void post(Task task) = 0;
};

} // namespace platform
