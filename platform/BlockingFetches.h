#pragma once

#include "platform/Clock.h"
#include "platform/HttpSession.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

// The downloads that one owner's worker threads wait for: each call blocks its caller
// until the answer arrives, a time limit on the clock passes or the owner stops them all,
// and cancels its transfer before it returns. Never call `fetch` on the GUI thread.
// Thread-safe; the session and the clock outlive it.
class BlockingFetches {
public:
    BlockingFetches(HttpSession& session, Clock& clock);
    // Stops, so that no caller is left waiting.
    ~BlockingFetches();
    BlockingFetches(const BlockingFetches&) = delete;
    BlockingFetches& operator=(const BlockingFetches&) = delete;

    // The answer, or nothing when the wait was given up: `giveUpAfterSeconds` passed on
    // the clock (no limit when it is not above 0), or `stop` came before or during the
    // wait. `progress` runs on the session's thread.
    std::optional<HttpResult> fetch(HttpRequest request, double giveUpAfterSeconds = 0,
        HttpSession::ProgressHandler progress = {});
    // Ends the waits under way at once, and every later one before it starts.
    void stop();
    bool isStopped() const;

private:
    struct Wait;
    // Where the session delivers: on its own thread, since the thread that waits may be
    // the one that would have run the answer.
    struct InlineExecutor final : Executor {
        void post(Task task) override { task(); }
    };

    HttpSession& session_;
    Clock& clock_;
    InlineExecutor inline_;
    mutable std::mutex mutex_;
    bool stopped_ = false;
    // The waits under way, which `stop` ends; under `mutex_`.
    std::vector<std::weak_ptr<Wait>> waits_;
};

} // namespace platform
