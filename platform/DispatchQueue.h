#pragma once

#include "platform/Executor.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

// A named serial queue on its own thread: blocks run one at a time, in the order posted.
// Thread-safe. Destruction runs every block already posted (and those they post), then
// joins the thread; owners must not post to a queue that is being destroyed.
class DispatchQueue final : public Executor {
public:
    explicit DispatchQueue(std::string name);
    ~DispatchQueue() override;

    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    void post(Task task) override { async(std::move(task)); }
    void async(Task task);
    // Runs `task` on the queue and waits for it. Called from the queue itself, it runs
    // the task at once instead of deadlocking.
    void sync(const Task& task);
    bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
    const std::string& name() const { return name_; }

private:
    void run();

    const std::string name_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace platform
