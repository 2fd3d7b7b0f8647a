#include "platform/BlockingFetches.h"

#include <algorithm>
#include <condition_variable>

namespace platform {

// What one wait has heard so far. It lives on the heap, shared with the transfer's
// completion and the time limit, so that an answer arriving after the caller gave up
// writes into live memory.
struct BlockingFetches::Wait {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<HttpResult> result;
    bool givenUp = false;

    void giveUp()
    {
        std::lock_guard lock(mutex);
        givenUp = true;
        changed.notify_all();
    }
};

BlockingFetches::BlockingFetches(HttpSession& session, Clock& clock)
    : session_(session)
    , clock_(clock)
{
}

BlockingFetches::~BlockingFetches()
{
    stop();
}

std::optional<HttpResult> BlockingFetches::fetch(
    HttpRequest request, double giveUpAfterSeconds, HttpSession::ProgressHandler progress)
{
    auto wait = std::make_shared<Wait>();
    {
        std::lock_guard lock(mutex_);
        if (stopped_)
            return std::nullopt;
        std::erase_if(waits_, [](const auto& other) { return other.expired(); });
        waits_.push_back(wait);
    }
    auto task = session_.start(
        std::move(request), inline_,
        [wait](HttpResult result) {
            std::lock_guard lock(wait->mutex);
            wait->result = std::move(result);
            wait->changed.notify_all();
        },
        std::move(progress));
    if (giveUpAfterSeconds > 0) {
        clock_.after(giveUpAfterSeconds, [weak = std::weak_ptr(wait)] {
            if (auto wait = weak.lock())
                wait->giveUp();
        });
    }
    {
        std::unique_lock lock(wait->mutex);
        wait->changed.wait(lock, [&] { return wait->result || wait->givenUp; });
    }
    // Once `cancel` returns, none of the transfer's callbacks runs any more.
    task.cancel();
    std::lock_guard lock(wait->mutex);
    return std::move(wait->result);
}

void BlockingFetches::stop()
{
    std::vector<std::weak_ptr<Wait>> waiting;
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        waiting.swap(waits_);
    }
    for (const auto& weak : waiting)
        if (auto wait = weak.lock())
            wait->giveUp();
}

bool BlockingFetches::isStopped() const
{
    std::lock_guard lock(mutex_);
    return stopped_;
}

} // namespace platform
