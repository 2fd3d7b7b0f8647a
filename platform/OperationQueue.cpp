#include "platform/OperationQueue.h"

#include "platform/ThreadName.h"

#include <algorithm>
#include <cassert>

namespace platform {

int OperationQueue::hardwareWidth()
{
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

OperationQueue::OperationQueue(std::string name, int maxConcurrent)
    : name_(std::move(name))
    , maxConcurrent_(std::max(1, maxConcurrent))
{
}

OperationQueue::~OperationQueue()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    for (auto& worker : workers_)
        worker.join();
}

void OperationQueue::add(Task task)
{
    std::lock_guard lock(mutex_);
    assert(!stopping_);
    tasks_.push_back(std::move(task));
    // Workers are started lazily and kept: a tile burst reuses them.
    if (idleWorkers_ == 0 && static_cast<int>(workers_.size()) < maxConcurrent_)
        workers_.emplace_back([this] { work(); });
    else
        wake_.notify_one();
}

void OperationQueue::cancelAll()
{
    std::lock_guard lock(mutex_);
    tasks_.clear();
    if (running_ == 0)
        idle_.notify_all();
}

void OperationQueue::waitUntilAllFinished()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && running_ == 0; });
}

std::size_t OperationQueue::operationCount() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size() + static_cast<std::size_t>(running_);
}

void OperationQueue::work()
{
    setCurrentThreadName(name_);
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleWorkers_;
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        --idleWorkers_;
        if (stopping_)
            return;
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        ++running_;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        --running_;
        if (running_ == 0 && tasks_.empty())
            idle_.notify_all();
    }
}

} // namespace platform
