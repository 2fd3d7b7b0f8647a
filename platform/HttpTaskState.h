#pragma once

// What a transfer's handle, the session's worker and the deliveries posted to the caller's
// executor share. Thread-safe: the worker reports, the executor delivers, any thread cancels.

#include "platform/HttpSession.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace platform {

class HttpSessionInbox;

struct HttpTask::State : std::enable_shared_from_this<HttpTask::State> {
    State(Executor& deliverOn, HttpSession::Completion completion, HttpSession::ProgressHandler progress,
        std::weak_ptr<HttpSessionInbox> inbox);

    // Worker side: posts to the executor unless cancelled.
    void complete(HttpResult result);
    void reportProgress(HttpProgress progress);
    bool wantsProgress() const { return wantsProgress_; }
    bool isCancelled() const { return cancelled_.load(); }

    // Handle side: nothing starts after this returns; tells the worker to drop the transfer.
    void cancel();
    // The session is going away: the same without telling the worker.
    void cancelQuietly();

private:
    void runProgress();
    void runCompletion(HttpResult result);

    Executor& executor_;
    const bool wantsProgress_;
    const std::weak_ptr<HttpSessionInbox> inbox_;

    // Held while posting, so that after `cancel` nothing reaches the executor any more.
    std::mutex postMutex_;
    std::atomic<bool> cancelled_{false};

    // Held while a callback runs; recursive so that a callback may cancel its own task.
    std::recursive_mutex callbackMutex_;
    HttpSession::Completion completion_;
    HttpSession::ProgressHandler progress_;

    std::mutex progressMutex_;
    HttpProgress latestProgress_;
    bool progressPosted_ = false;
};

} // namespace platform
