#pragma once

// An executor whose blocks run only when the test says so, so that the order of the
// loader's queued work is the test's to choose. `post` is thread-safe; run it from the
// test's thread.

#include "platform/Executor.h"

#include <cstddef>
#include <deque>
#include <mutex>

namespace testing_support {

class ManualExecutor final : public platform::Executor {
public:
    void post(Task task) override
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }

    // Runs blocks, oldest first, until none is left, including those posted meanwhile.
    std::size_t runAll()
    {
        std::size_t count = 0;
        while (runOne())
            ++count;
        return count;
    }

    bool runOne()
    {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty())
                return false;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }

    std::size_t pendingCount() const
    {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
};

} // namespace testing_support
