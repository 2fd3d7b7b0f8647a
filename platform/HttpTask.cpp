#include "platform/HttpSessionInbox.h"
#include "platform/HttpTaskState.h"

namespace platform {

HttpTask::HttpTask(std::shared_ptr<State> state)
    : state_(std::move(state))
{
}

HttpTask& HttpTask::operator=(HttpTask&& other) noexcept
{
    if (this != &other) {
        cancel();
        state_ = std::move(other.state_);
    }
    return *this;
}

HttpTask::~HttpTask()
{
    cancel();
}

void HttpTask::cancel()
{
    if (state_) {
        state_->cancel();
        state_.reset();
    }
}

HttpTask::State::State(Executor& deliverOn, HttpSession::Completion completion,
    HttpSession::ProgressHandler progress, std::weak_ptr<HttpSessionInbox> inbox)
    : executor_(deliverOn)
    , wantsProgress_(progress != nullptr)
    , inbox_(std::move(inbox))
    , completion_(std::move(completion))
    , progress_(std::move(progress))
{
}

void HttpTask::State::complete(HttpResult result)
{
    std::lock_guard lock(postMutex_);
    if (cancelled_)
        return;
    executor_.post([self = shared_from_this(), result = std::move(result)]() mutable {
        self->runCompletion(std::move(result));
    });
}

void HttpTask::State::reportProgress(HttpProgress progress)
{
    {
        std::lock_guard lock(progressMutex_);
        latestProgress_ = progress;
        if (progressPosted_)
            return;
        progressPosted_ = true;
    }
    std::lock_guard lock(postMutex_);
    if (cancelled_)
        return;
    executor_.post([self = shared_from_this()] { self->runProgress(); });
}

void HttpTask::State::runProgress()
{
    HttpProgress progress;
    {
        std::lock_guard lock(progressMutex_);
        progress = latestProgress_;
        progressPosted_ = false;
    }
    std::lock_guard lock(callbackMutex_);
    if (cancelled_ || !progress_)
        return;
    // A copy, because the handler may cancel its own task and so release the original.
    auto handler = progress_;
    handler(progress);
}

void HttpTask::State::runCompletion(HttpResult result)
{
    std::lock_guard lock(callbackMutex_);
    if (cancelled_ || !completion_)
        return;
    auto completion = std::move(completion_);
    completion_ = nullptr;
    progress_ = nullptr;
    completion(std::move(result));
}

void HttpTask::State::cancel()
{
    cancelQuietly();
    if (auto inbox = inbox_.lock())
        inbox->noteCancellation();
}

void HttpTask::State::cancelQuietly()
{
    {
        std::lock_guard lock(postMutex_);
        cancelled_ = true;
    }
    // Waits for a callback running on another thread; releases what the callbacks hold.
    std::lock_guard lock(callbackMutex_);
    completion_ = nullptr;
    progress_ = nullptr;
}

} // namespace platform
