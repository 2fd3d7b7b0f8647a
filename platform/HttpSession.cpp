#include "platform/HttpSession.h"

#include "platform/CookieList.h"
#include "platform/HttpSessionInbox.h"
#include "platform/HttpTaskState.h"
#include "platform/HttpTransfer.h"
#include "platform/SteadyClock.h"
#include "platform/ThreadName.h"
#include "platform/Version.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace platform {

namespace {

// Longest the worker sleeps while transfers with deadlines run, so that a clock that
// jumps (a manual clock in tests) is noticed soon enough.
constexpr double kMaxDeadlinePollSeconds = 0.1;
// Longest the worker sleeps with nothing to do; a wake-up ends it early.
constexpr int kIdlePollMilliseconds = 60'000;
// Finished transfers remembered until their delivery may have run, so that destroying the
// session can still silence them; pruned when the list doubles past this.
constexpr size_t kDeliveredPruneThreshold = 64;

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw std::runtime_error("libcurl cannot be initialised");
    });
}

} // namespace

class HttpSession::Worker {
public:
    explicit Worker(const HttpSessionOptions& options);
    ~Worker();

    HttpTask start(HttpRequest request, Executor& deliverOn, Completion completion, ProgressHandler progress);
    std::vector<HttpCookie> cookies() const;
    void clearCookies();

private:
    using Queue = std::deque<std::unique_ptr<HttpTransfer>>;

    void run();
    void accept(HttpSessionInbox::Batch& batch);
    void dropCancelled();
    void startWaiting();
    void activate(std::unique_ptr<HttpTransfer> transfer);
    void collectFinished();
    void expireDeadlines();
    void finish(CURL* easy, HttpResult result);
    void deliver(HttpTransfer& transfer, HttpResult result);
    void refreshCookies(CURL* easy);
    int pollMilliseconds() const;
    void silenceEverything(HttpSessionInbox::Batch& leftovers);

    const int maxTransfers_;
    const int maxConnectionsPerHost_;
    std::shared_ptr<Clock> clock_;
    HttpTransfer::Settings settings_;
    CURLM* multi_ = nullptr;
    CURLSH* share_ = nullptr;
    CURL* cookieHandle_ = nullptr; // reads and clears the shared cookies
    std::shared_ptr<HttpSessionInbox> inbox_;

    // Worker thread only.
    Queue waitingHigh_;
    Queue waitingNormal_;
    std::unordered_map<CURL*, std::unique_ptr<HttpTransfer>> active_;
    std::unordered_map<std::string, int> activePerHost_;
    std::vector<std::weak_ptr<HttpTask::State>> delivered_;
    size_t deliveredPruneAt_ = kDeliveredPruneThreshold;

    mutable std::mutex cookiesMutex_;
    std::vector<HttpCookie> cookies_;

    std::thread thread_;
};

HttpSession::Worker::Worker(const HttpSessionOptions& options)
    : maxTransfers_(std::max(1, options.maxTransfers))
    , maxConnectionsPerHost_(std::max(1, options.maxConnectionsPerHost))
    , clock_(options.clock ? options.clock : std::make_shared<SteadyClock>())
{
    initialiseCurlOnce();
    multi_ = curl_multi_init();
    share_ = curl_share_init();
    cookieHandle_ = curl_easy_init();
    if (!multi_ || !share_ || !cookieHandle_)
        throw std::runtime_error("libcurl cannot make a session");
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_easy_setopt(cookieHandle_, CURLOPT_SHARE, share_);
    curl_easy_setopt(cookieHandle_, CURLOPT_COOKIEFILE, "");
    // Transfers are started by the worker within the caps; libcurl's own caps keep idle
    // connections from piling up beyond them.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, long(maxConnectionsPerHost_));
    curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(maxTransfers_));

    settings_.userAgent = options.userAgent.empty() ? HttpSession::defaultUserAgent() : options.userAgent;
    settings_.idleTimeoutSeconds = options.idleTimeoutSeconds;
    settings_.share = share_;
    settings_.clock = clock_.get();

    inbox_ = std::make_shared<HttpSessionInbox>(multi_);
    thread_ = std::thread([this] { run(); });
}

HttpSession::Worker::~Worker()
{
    inbox_->stop();
    thread_.join();
    auto leftovers = inbox_->take();
    silenceEverything(leftovers);
    for (auto& [easy, transfer] : active_)
        curl_multi_remove_handle(multi_, easy);
    active_.clear();
    waitingHigh_.clear();
    waitingNormal_.clear();
    curl_easy_cleanup(cookieHandle_);
    curl_multi_cleanup(multi_);
    curl_share_cleanup(share_);
}

void HttpSession::Worker::silenceEverything(HttpSessionInbox::Batch& leftovers)
{
    // Runs on the destroying thread once the worker has stopped: callbacks already posted
    // find their task cancelled, and one running elsewhere is waited for.
    for (auto& transfer : leftovers.arrivals)
        transfer->state().cancelQuietly();
    for (auto* queue : {&waitingHigh_, &waitingNormal_})
        for (auto& transfer : *queue)
            transfer->state().cancelQuietly();
    for (auto& [easy, transfer] : active_)
        transfer->state().cancelQuietly();
    for (auto& weak : delivered_)
        if (auto state = weak.lock())
            state->cancelQuietly();
}

HttpTask HttpSession::Worker::start(HttpRequest request, Executor& deliverOn, Completion completion, ProgressHandler progress)
{
    auto state = std::make_shared<HttpTask::State>(deliverOn, std::move(completion), std::move(progress), inbox_);
    inbox_->add(std::make_unique<HttpTransfer>(std::move(request), state));
    return HttpTask(std::move(state));
}

std::vector<HttpCookie> HttpSession::Worker::cookies() const
{
    std::lock_guard lock(cookiesMutex_);
    return cookies_;
}

void HttpSession::Worker::clearCookies()
{
    {
        std::lock_guard lock(cookiesMutex_);
        cookies_.clear();
    }
    inbox_->requestCookieClearing();
}

void HttpSession::Worker::run()
{
    setCurrentThreadName("HttpSession");
    for (;;) {
        auto batch = inbox_->take();
        if (batch.stopping) {
            // The destructor silences these too.
            for (auto& transfer : batch.arrivals)
                waitingNormal_.push_back(std::move(transfer));
            return;
        }
        if (batch.clearCookies)
            curl_easy_setopt(cookieHandle_, CURLOPT_COOKIELIST, "ALL");
        if (batch.cancellations)
            dropCancelled();
        accept(batch);
        startWaiting();

        int running = 0;
        curl_multi_perform(multi_, &running);
        collectFinished();
        expireDeadlines();
        startWaiting();

        curl_multi_poll(multi_, nullptr, 0, pollMilliseconds(), nullptr);
    }
}

void HttpSession::Worker::accept(HttpSessionInbox::Batch& batch)
{
    for (auto& transfer : batch.arrivals) {
        if (transfer->state().isCancelled())
            continue;
        if (!transfer->hostKey()) {
            deliver(*transfer, {std::nullopt, HttpError{HttpErrorKind::other, "not an http or https URL"}});
            continue;
        }
        auto& queue = transfer->priority() == HttpPriority::high ? waitingHigh_ : waitingNormal_;
        queue.push_back(std::move(transfer));
    }
}

void HttpSession::Worker::dropCancelled()
{
    auto cancelled = [](const std::unique_ptr<HttpTransfer>& transfer) { return transfer->state().isCancelled(); };
    std::erase_if(waitingHigh_, cancelled);
    std::erase_if(waitingNormal_, cancelled);
    for (auto it = active_.begin(); it != active_.end();) {
        if (it->second->state().isCancelled()) {
            // Removing an unfinished transfer closes its connection: the server sees it go.
            curl_multi_remove_handle(multi_, it->first);
            --activePerHost_[*it->second->hostKey()];
            it = active_.erase(it);
        } else {
            ++it;
        }
    }
}

void HttpSession::Worker::startWaiting()
{
    for (auto* queue : {&waitingHigh_, &waitingNormal_}) {
        for (auto it = queue->begin(); it != queue->end() && int(active_.size()) < maxTransfers_;) {
            if (activePerHost_[*(*it)->hostKey()] >= maxConnectionsPerHost_) {
                ++it;
                continue;
            }
            auto transfer = std::move(*it);
            it = queue->erase(it);
            activate(std::move(transfer));
        }
    }
}

void HttpSession::Worker::activate(std::unique_ptr<HttpTransfer> transfer)
{
    CURL* easy = transfer->begin(settings_);
    if (!easy || curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        deliver(*transfer, {std::nullopt, transfer->setupError()});
        return;
    }
    ++activePerHost_[*transfer->hostKey()];
    active_.emplace(easy, std::move(transfer));
}

void HttpSession::Worker::collectFinished()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        auto it = active_.find(message->easy_handle);
        if (it == active_.end())
            continue;
        refreshCookies(message->easy_handle);
        finish(message->easy_handle, it->second->finish(message->data.result));
    }
}

void HttpSession::Worker::expireDeadlines()
{
    const double now = clock_->now();
    std::vector<std::pair<CURL*, HttpError>> expired;
    for (auto& [easy, transfer] : active_)
        if (auto error = transfer->checkDeadlines(now))
            expired.emplace_back(easy, std::move(*error));
    for (auto& [easy, error] : expired)
        finish(easy, {std::nullopt, std::move(error)});
}

void HttpSession::Worker::finish(CURL* easy, HttpResult result)
{
    auto it = active_.find(easy);
    auto transfer = std::move(it->second);
    active_.erase(it);
    curl_multi_remove_handle(multi_, easy);
    --activePerHost_[*transfer->hostKey()];
    deliver(*transfer, std::move(result));
}

void HttpSession::Worker::deliver(HttpTransfer& transfer, HttpResult result)
{
    // The caller may move or remove the file as soon as it hears.
    transfer.closeDestination();
    transfer.state().complete(std::move(result));
    delivered_.push_back(transfer.sharedState());
    if (delivered_.size() >= deliveredPruneAt_) {
        // A delivery that ran leaves its state with the handle alone, or with nobody.
        std::erase_if(delivered_, [](const std::weak_ptr<HttpTask::State>& weak) { return weak.use_count() <= 1; });
        deliveredPruneAt_ = std::max(kDeliveredPruneThreshold, delivered_.size() * 2);
    }
}

void HttpSession::Worker::refreshCookies(CURL* easy)
{
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list) != CURLE_OK)
        return;
    std::vector<HttpCookie> cookies;
    for (auto* item = list; item; item = item->next)
        if (auto cookie = parseCookieLine(item->data))
            cookies.push_back(std::move(*cookie));
    curl_slist_free_all(list);
    std::lock_guard lock(cookiesMutex_);
    cookies_ = std::move(cookies);
}

int HttpSession::Worker::pollMilliseconds() const
{
    long curlTimeout = -1;
    curl_multi_timeout(multi_, &curlTimeout);
    double wait = curlTimeout >= 0 ? curlTimeout / 1000.0 : kIdlePollMilliseconds / 1000.0;
    if (!active_.empty()) {
        const double now = clock_->now();
        for (const auto& [easy, transfer] : active_)
            wait = std::min(wait, std::max(0.0, transfer->nextDeadline() - now));
        wait = std::min(wait, kMaxDeadlinePollSeconds);
    }
    return int(std::ceil(wait * 1000));
}

std::string HttpSession::defaultUserAgent()
{
    return std::string("Velorin/") + kVersion + " (Linux)";
}

HttpSession::HttpSession(HttpSessionOptions options)
    : options_(std::move(options))
    , worker_(std::make_unique<Worker>(options_))
{
}

HttpSession::~HttpSession() = default;

HttpTask HttpSession::start(HttpRequest request, Executor& deliverOn, Completion completion, ProgressHandler progress)
{
    return worker_->start(std::move(request), deliverOn, std::move(completion), std::move(progress));
}

std::vector<HttpCookie> HttpSession::cookies() const
{
    return worker_->cookies();
}

void HttpSession::clearCookies()
{
    worker_->clearCookies();
}

} // namespace platform
