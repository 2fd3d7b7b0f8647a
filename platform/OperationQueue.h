#pragma once

#include "platform/Executor.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

// A pool that runs at most `maxConcurrent` blocks at once, in the order they were added.
// Thread-safe. Blocks not yet started can be cancelled; destruction cancels them and
// waits for the running ones.
class OperationQueue final : public Executor {
public:
    // One worker per hardware thread, at least one.
    static int hardwareWidth();

    explicit OperationQueue(std::string name, int maxConcurrent = hardwareWidth());
    ~OperationQueue() override;

    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void post(Task task) override { add(std::move(task)); }
    void add(Task task);
    // Drops every block that has not started; running blocks finish.
    void cancelAll();
    // Blocks until nothing is queued or running, including blocks added meanwhile.
    void waitUntilAllFinished();
    // Queued plus running blocks.
    std::size_t operationCount() const;
    int maxConcurrent() const { return maxConcurrent_; }

private:
    void work();

    const std::string name_;
    const int maxConcurrent_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> tasks_;
    std::vector<std::thread> workers_;
    int idleWorkers_ = 0;
    int running_ = 0;
    bool stopping_ = false;
};

} // namespace platform
