#include "platform/DispatchQueue.h"

#include "platform/ThreadName.h"

#include <future>

namespace platform {

DispatchQueue::DispatchQueue(std::string name)
    : name_(std::move(name))
    , thread_([this] { run(); })
{
}

DispatchQueue::~DispatchQueue()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void DispatchQueue::async(Task task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void DispatchQueue::sync(const Task& task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    async([&] {
        try {
            task();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
}

void DispatchQueue::run()
{
    setCurrentThreadName(name_);
    for (;;) {
        Task task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

} // namespace platform
