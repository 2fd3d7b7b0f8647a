#include "platform/HttpTransfer.h"

#include <fmt/format.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace platform {

namespace {

constexpr long kMaxRedirects = 10;

std::string toLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// "scheme://host:port", the unit the per-host cap counts.
std::optional<std::string> hostKeyOf(const std::string& url)
{
    CURLU* parsed = curl_url();
    std::optional<std::string> key;
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
        std::string lowerScheme = toLower(scheme);
        if (lowerScheme == "http" || lowerScheme == "https")
            key = lowerScheme + "://" + toLower(host) + ":" + port;
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(parsed);
    return key;
}

HttpErrorKind kindOf(CURLcode code)
{
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return HttpErrorKind::timedOut;
    case CURLE_COULDNT_CONNECT:
        return HttpErrorKind::cannotConnect;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return HttpErrorKind::hostNotFound;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2_STREAM:
        return HttpErrorKind::connectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_HTTP2:
        return HttpErrorKind::badResponse;
    default:
        return HttpErrorKind::other;
    }
}

} // namespace

HttpTransfer::HttpTransfer(HttpRequest request, std::shared_ptr<HttpTask::State> state)
    : request_(std::move(request))
    , state_(std::move(state))
    , hostKey_(hostKeyOf(request_.url))
{
}

HttpTransfer::~HttpTransfer()
{
    closeDestination();
    if (easy_)
        curl_easy_cleanup(easy_);
    curl_slist_free_all(headerList_);
}

CURL* HttpTransfer::begin(const Settings& settings)
{
    settings_ = settings;
    easy_ = curl_easy_init();
    if (!easy_ || !setOptions() || !openDestination())
        return nullptr;
    idleTimeoutSeconds_ = request_.idleTimeoutSeconds > 0 ? request_.idleTimeoutSeconds : settings.idleTimeoutSeconds;
    startedAt_ = lastActivityAt_ = settings_.clock->now();
    return easy_;
}

bool HttpTransfer::setOptions()
{
    bool ok = true;
    auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(easy_, option, value) == CURLE_OK; };

    set(CURLOPT_URL, request_.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_USERAGENT, settings_.userAgent.c_str());
    set(CURLOPT_SHARE, settings_.share);
    set(CURLOPT_COOKIEFILE, ""); // the cookie engine, without a file
    set(CURLOPT_ERRORBUFFER, errorBuffer_.data());
    set(CURLOPT_WRITEFUNCTION, &HttpTransfer::receiveBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, &HttpTransfer::receiveHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_PRIVATE, this);

    for (const auto& [name, value] : request_.headers)
        headerList_ = curl_slist_append(headerList_, (name + ": " + value).c_str());
    // No "100-continue" round trip before a form body.
    headerList_ = curl_slist_append(headerList_, "Expect:");
    set(CURLOPT_HTTPHEADER, headerList_);

    if (request_.method == "GET") {
        set(CURLOPT_HTTPGET, 1L);
    } else if (request_.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else {
        if (request_.method == "POST") {
            set(CURLOPT_POST, 1L);
        } else {
            set(CURLOPT_CUSTOMREQUEST, request_.method.c_str());
        }
        if (request_.method == "POST" || !request_.body.empty()) {
            set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request_.body.size()));
            set(CURLOPT_POSTFIELDS, request_.body.data());
        }
    }
    return ok;
}

bool HttpTransfer::openDestination()
{
    if (!request_.destination)
        return true;
    destinationFd_ = ::open(request_.destination->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (destinationFd_ < 0) {
        setupError_ = {HttpErrorKind::other,
            fmt::format("cannot create {}: {}", request_.destination->string(), std::strerror(errno))};
        return false;
    }
    return true;
}

void HttpTransfer::closeDestination()
{
    if (destinationFd_ < 0)
        return;
    if (::close(destinationFd_) != 0 && !bodyError_)
        bodyError_ = HttpError{HttpErrorKind::other,
            fmt::format("cannot write {}: {}", request_.destination->string(), std::strerror(errno))};
    destinationFd_ = -1;
}

void HttpTransfer::noteActivity()
{
    lastActivityAt_ = settings_.clock->now();
}

bool HttpTransfer::keepBody(const char* data, size_t bytes)
{
    if (request_.maxBodyBytes > 0 && bodyBytes_ + int64_t(bytes) > request_.maxBodyBytes) {
        bodyError_ = HttpError{HttpErrorKind::badResponse, fmt::format("body over {} bytes", request_.maxBodyBytes)};
        return false;
    }
    bodyBytes_ += int64_t(bytes);
    if (destinationFd_ < 0) {
        body_.append(data, bytes);
        return true;
    }
    while (bytes > 0) {
        const ssize_t written = ::write(destinationFd_, data, bytes);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            bodyError_ = HttpError{HttpErrorKind::other,
                fmt::format("cannot write {}: {}", request_.destination->string(), std::strerror(errno))};
            return false;
        }
        data += written;
        bytes -= size_t(written);
    }
    return true;
}

size_t HttpTransfer::receiveBody(char* data, size_t size, size_t count, void* self)
{
    auto& transfer = *static_cast<HttpTransfer*>(self);
    const size_t bytes = size * count;
    if (!transfer.keepBody(data, bytes))
        return 0; // libcurl stops the transfer with a write error
    transfer.noteActivity();
    if (transfer.state_->wantsProgress()) {
        curl_off_t expected = -1;
        curl_easy_getinfo(transfer.easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        transfer.state_->reportProgress({transfer.bodyBytes_, expected >= 0 ? int64_t(expected) : -1});
    }
    return bytes;
}

size_t HttpTransfer::receiveHeader(char* data, size_t size, size_t count, void* self)
{
    auto& transfer = *static_cast<HttpTransfer*>(self);
    const size_t bytes = size * count;
    transfer.noteActivity();
    std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        // A new response: a redirect's or an interim one's headers are not the final ones.
        transfer.headers_.clear();
    } else if (auto colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
        transfer.headers_.emplace_back(toLower(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
    }
    return bytes;
}

HttpResult HttpTransfer::finish(CURLcode code)
{
    closeDestination();
    HttpResult result;
    if (bodyError_) {
        result.error = bodyError_;
        return result;
    }
    if (code != CURLE_OK) {
        std::string message = errorBuffer_[0] != '\0' ? std::string(errorBuffer_.data()) : curl_easy_strerror(code);
        result.error = HttpError{kindOf(code), std::move(message)};
        return result;
    }
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    result.response = HttpResponse{int(status), headers_, body_};
    return result;
}

std::optional<HttpError> HttpTransfer::checkDeadlines(double now) const
{
    if (idleTimeoutSeconds_ > 0 && now - lastActivityAt_ >= idleTimeoutSeconds_)
        return HttpError{HttpErrorKind::timedOut, fmt::format("no data for {} s", idleTimeoutSeconds_)};
    if (request_.overallTimeoutSeconds > 0 && now - startedAt_ >= request_.overallTimeoutSeconds)
        return HttpError{HttpErrorKind::timedOut, fmt::format("not finished within {} s", request_.overallTimeoutSeconds)};
    return std::nullopt;
}

double HttpTransfer::nextDeadline() const
{
    double deadline = std::numeric_limits<double>::infinity();
    if (idleTimeoutSeconds_ > 0)
        deadline = lastActivityAt_ + idleTimeoutSeconds_;
    if (request_.overallTimeoutSeconds > 0)
        deadline = std::min(deadline, startedAt_ + request_.overallTimeoutSeconds);
    return deadline;
}

} // namespace platform
