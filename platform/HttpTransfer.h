#pragma once

// One request on one libcurl easy handle: its options, the response as it arrives, its
// deadlines and its outcome. Created on any thread, then owned by the session's worker.

#include "platform/HttpSession.h"
#include "platform/HttpTaskState.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class HttpTransfer {
public:
    struct Settings {
        std::string userAgent;
        double idleTimeoutSeconds = 0;
        CURLSH* share = nullptr; // the session's cookies
        const Clock* clock = nullptr;
    };

    HttpTransfer(HttpRequest request, std::shared_ptr<HttpTask::State> state);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Nothing when the URL is not an absolute http or https one.
    const std::optional<std::string>& hostKey() const { return hostKey_; }
    HttpPriority priority() const { return request_.priority; }
    HttpTask::State& state() { return *state_; }
    const std::shared_ptr<HttpTask::State>& sharedState() const { return state_; }

    // Makes the easy handle and opens the destination file, if any; nothing when either
    // fails, and `setupError` says why.
    CURL* begin(const Settings& settings);
    CURL* easy() const { return easy_; }
    const HttpError& setupError() const { return setupError_; }

    // The outcome once libcurl reports the transfer done; closes the destination file.
    HttpResult finish(CURLcode code);
    // Closes the destination file of a transfer that ends without `finish`.
    void closeDestination();
    // A timeout error when no byte came for the idle timeout or the overall cap passed.
    std::optional<HttpError> checkDeadlines(double now) const;
    // When `checkDeadlines` will next have something to say; infinity when never.
    double nextDeadline() const;

private:
    static size_t receiveBody(char* data, size_t size, size_t count, void* self);
    static size_t receiveHeader(char* data, size_t size, size_t count, void* self);
    void noteActivity();
    bool setOptions();
    bool openDestination();
    // Appends body bytes to memory or to the destination; false stops the transfer, with
    // `bodyError_` saying why.
    bool keepBody(const char* data, size_t bytes);

    HttpRequest request_;
    std::shared_ptr<HttpTask::State> state_;
    std::optional<std::string> hostKey_;

    Settings settings_;
    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::array<char, CURL_ERROR_SIZE> errorBuffer_{};

    HttpHeaders headers_;
    std::string body_;
    int64_t bodyBytes_ = 0;
    int destinationFd_ = -1;
    HttpError setupError_{HttpErrorKind::other, "the transfer cannot be set up"};
    std::optional<HttpError> bodyError_;
    double startedAt_ = 0;
    double lastActivityAt_ = 0;
    double idleTimeoutSeconds_ = 0;
};

} // namespace platform
