#pragma once

#include "platform/Clock.h"
#include "platform/Executor.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

enum class HttpPriority { normal, high };

// One request: GET, or a form-encoded POST.
struct HttpRequest {
    std::string url;
    std::string method = "GET";
    HttpHeaders headers;
    std::string body;
    HttpPriority priority = HttpPriority::normal;
    // No byte for this long fails the transfer; 0 takes the session's.
    double idleTimeoutSeconds = 0;
    // A cap on the whole transfer; 0 for none.
    double overallTimeoutSeconds = 0;
    // When set, the body (of any status) is written to this file as it arrives, created or
    // emptied first, and the response's body stays empty: large downloads never sit in
    // memory. The file is closed before the completion runs; the caller removes it.
    std::optional<std::filesystem::path> destination;
    // A longer body fails the transfer (`badResponse`); 0 for no cap.
    int64_t maxBodyBytes = 0;

    static HttpRequest get(std::string url);
    // Fields are form-encoded into the body, with the matching Content-Type.
    static HttpRequest formPost(std::string url, const std::vector<std::pair<std::string, std::string>>& fields);
};

struct HttpResponse {
    int status = 0;
    HttpHeaders headers; // names in lower case, in the order received
    std::string body;    // raw bytes; empty when the request named a destination

    // The first header of that name, compared without case.
    std::optional<std::string> header(std::string_view name) const;
};

enum class HttpErrorKind { timedOut, cannotConnect, hostNotFound, connectionLost, badResponse, other };

struct HttpError {
    HttpErrorKind kind = HttpErrorKind::other;
    std::string message;
};

// A response (any status) or a transport error.
struct HttpResult {
    std::optional<HttpResponse> response;
    std::optional<HttpError> error;

    bool isSuccess() const { return response && response->status >= 200 && response->status < 300; }
};

struct HttpProgress {
    int64_t received = 0;
    int64_t expected = -1; // -1 while the length is unknown
};

struct HttpCookie {
    std::string domain;
    std::string path;
    std::string name;
    std::string value;
    bool secure = false;
    int64_t expires = 0; // seconds since 1970; 0 for a session cookie

    bool operator==(const HttpCookie&) const = default;
};

struct HttpSessionOptions {
    int maxConnectionsPerHost = 16;
    int maxTransfers = 16;
    double idleTimeoutSeconds = 20; // 0 for none
    std::string userAgent{}; // empty: "Velorin/<version> (Linux)"
    std::shared_ptr<Clock> clock{}; // measures the timeouts; null: the steady clock
};

// Handle of a started transfer. Cancelling it, or destroying it, means its completion and
// progress callbacks are never called from then on: a cancelled transfer does not
// complete. Once `cancel` returns, no callback of it starts; if one is running on another
// thread, `cancel` waits for it to return. Move-only; any thread, including the task's own
// callbacks.
class HttpTask {
public:
    struct State;

    HttpTask() = default;
    explicit HttpTask(std::shared_ptr<State> state);
    HttpTask(HttpTask&&) noexcept = default;
    HttpTask& operator=(HttpTask&& other) noexcept;
    HttpTask(const HttpTask&) = delete;
    HttpTask& operator=(const HttpTask&) = delete;
    ~HttpTask();

    void cancel();
    bool isActive() const { return state_ != nullptr; }

private:
    std::shared_ptr<State> state_;
};

// HTTP over libcurl's multi interface on one worker thread: per-host and total caps on
// connections, high-priority requests started first, no cache, a fixed User-Agent, an
// idle timeout that a slow but flowing download never hits, and a cookie store.
// Thread-safe. Destroying the session cancels everything and calls nobody afterwards.
class HttpSession {
public:
    using Completion = std::function<void(HttpResult)>;
    using ProgressHandler = std::function<void(HttpProgress)>;

    static std::string defaultUserAgent();

    explicit HttpSession(HttpSessionOptions options = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Starts `request`; `completion` (and `progress`, if given) run on `deliverOn`, which
    // must be serial and outlive the returned handle. Progress reports are coalesced: a
    // slow receiver sees the latest figures, never a backlog. Every transfer ends with
    // exactly one completion unless it is cancelled.
    [[nodiscard]] HttpTask start(HttpRequest request, Executor& deliverOn, Completion completion,
        ProgressHandler progress = {});

    std::vector<HttpCookie> cookies() const;
    void clearCookies();

    const HttpSessionOptions& options() const { return options_; }

private:
    class Worker;

    HttpSessionOptions options_;
    std::unique_ptr<Worker> worker_;
};

} // namespace platform
