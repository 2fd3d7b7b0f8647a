#pragma once

// Hands new transfers, cancellations and cookie clearing to a session's worker thread and
// wakes it. Thread-safe; handles keep it weakly, so a handle outliving its session is harmless.

#include <curl/curl.h>

#include <deque>
#include <memory>
#include <mutex>

namespace platform {

class HttpTransfer;

class HttpSessionInbox {
public:
    struct Batch {
        std::deque<std::unique_ptr<HttpTransfer>> arrivals;
        bool cancellations = false;
        bool clearCookies = false;
        bool stopping = false;
    };

    explicit HttpSessionInbox(CURLM* multi);
    ~HttpSessionInbox();

    void add(std::unique_ptr<HttpTransfer> transfer);
    void noteCancellation();
    void requestCookieClearing();
    // Stops waking the worker; its multi handle may be freed once this returns.
    void stop();
    // Worker side: everything that arrived since the last call.
    Batch take();

private:
    void wakeLocked();

    std::mutex mutex_;
    CURLM* multi_;
    Batch batch_;
};

} // namespace platform
