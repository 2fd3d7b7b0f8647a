#include "testing/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#if defined(__SANITIZE_THREAD__)
// The HTTP server library is not built for ThreadSanitizer, which then misses the
// synchronisation of its function-local statics (its regular expressions) and reports
// their first use by a second connection thread as a race. Only the library's own calls
// are ignored: handlers, and everything else they call, are still checked.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif

namespace testing_support {

namespace {

// How often waiting replies look for a departed client or a stopping server.
constexpr double kPollStepSeconds = 0.005;
// Idle keep-alive connections close after this, so that stopping never waits long on them.
constexpr time_t kKeepAliveSeconds = 2;
// Connections waiting to be accepted. The library's own backlog of 5 drops the SYNs of a
// burst of clients, which then retry a second later: a stall that is the server's, not theirs.
constexpr int kListenBacklog = 256;
// Requests one connection serves before the server closes it, as a web server would.
constexpr size_t kKeepAliveMaxRequests = 100;

int portOf(const sockaddr_in& address)
{
    return ntohs(address.sin_port);
}

// The server side of the request's connection, found by its two ports; -1 if not found.
int connectionSocket(const httplib::Request& request)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        int fd = -1;
        try {
            fd = std::stoi(entry.path().filename().string());
        } catch (const std::exception&) {
            continue;
        }
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 && local.sin_family == AF_INET
            && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0
            && portOf(local) == request.local_port && portOf(peer) == request.remote_port)
            return fd;
    }
    return -1;
}

bool peerClosed(int fd)
{
    if (fd < 0)
        return false;
    pollfd entry{fd, POLLIN | POLLRDHUP, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

} // namespace

// One thread per connection, so that a stalled reply never keeps another client waiting
// and the server can count connections as they open and close.
class LoopbackServer::ConnectionThreads final : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(LoopbackServer& owner)
        : owner_(owner)
    {
    }

    void enqueue(std::function<void()> connection) override
    {
        std::lock_guard lock(mutex_);
        std::erase_if(threads_, [](Entry& entry) {
            if (!*entry.done)
                return false;
            entry.thread.join();
            return true;
        });
        owner_.connectionOpened();
        auto done = std::make_shared<std::atomic<bool>>(false);
        threads_.push_back({std::thread([this, connection = std::move(connection), done] {
                                connection();
                                owner_.connectionClosed();
                                *done = true;
                            }),
            done});
    }

    void shutdown() override
    {
        std::lock_guard lock(mutex_);
        for (auto& entry : threads_)
            entry.thread.join();
        threads_.clear();
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    LoopbackServer& owner_;
    std::mutex mutex_;
    std::vector<Entry> threads_;
};

// The server, with a listening socket that accepts a whole burst of clients at once.
class LoopbackServer::Listener final : public httplib::Server {
public:
    bool widenBacklog() { return ::listen(svr_sock_, kListenBacklog) == 0; }
};

LoopbackServer::LoopbackServer()
    : LoopbackServer(0)
{
}

LoopbackServer::LoopbackServer(int port)
    : server_(std::make_unique<Listener>())
{
    server_->new_task_queue = [this] { return new ConnectionThreads(*this); };
    server_->set_keep_alive_timeout(kKeepAliveSeconds);
    server_->set_keep_alive_max_count(kKeepAliveMaxRequests);
    server_->set_tcp_nodelay(true); // headers and body leave at once, without waiting for an acknowledgement
    auto handler = [this](const httplib::Request& request, httplib::Response& response) { dispatch(request, response); };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0 || !server_->widenBacklog())
        throw std::runtime_error("the loopback server cannot bind to 127.0.0.1");
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer()
{
    stopping_ = true;
    server_->stop();
    listener_.join();
}

std::string LoopbackServer::url(std::string_view pathAndQuery) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(pathAndQuery);
}

void LoopbackServer::route(std::string pattern, Handler handler)
{
    std::lock_guard lock(mutex_);
    if (pattern.ends_with('*')) {
        pattern.pop_back();
        prefixRoutes_[std::move(pattern)] = std::move(handler);
    } else {
        exactRoutes_[std::move(pattern)] = std::move(handler);
    }
}

void LoopbackServer::dispatch(const httplib::Request& request, httplib::Response& response)
{
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        received_.push_back({request.method, request.path, request.target, request.headers, request.body});
        if (auto exact = exactRoutes_.find(request.path); exact != exactRoutes_.end()) {
            handler = exact->second;
        } else {
            size_t longest = 0;
            for (const auto& [prefix, candidate] : prefixRoutes_)
                if (request.path.starts_with(prefix) && prefix.size() >= longest) {
                    longest = prefix.size();
                    handler = candidate;
                }
        }
    }
    if (handler)
        handler(request, response);
    else
        response.status = 404;
}

LoopbackServer::Handler LoopbackServer::reply(int status, std::string body, httplib::Headers headers)
{
    return [status, body = std::move(body), headers = std::move(headers)](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        for (const auto& [name, value] : headers)
            response.set_header(name, value);
        auto type = headers.find("Content-Type");
        response.set_content(body, type != headers.end() ? type->second : "application/octet-stream");
    };
}

LoopbackServer::Handler LoopbackServer::delayed(double seconds, Handler then)
{
    return [this, seconds, then = std::move(then)](const httplib::Request& request, httplib::Response& response) {
        if (pause(request, seconds))
            then(request, response);
        else
            response.status = 503;
    };
}

LoopbackServer::Handler LoopbackServer::slowBody(std::string body, std::size_t chunkBytes, double intervalSeconds)
{
    auto shared = std::make_shared<const std::string>(std::move(body));
    return [this, shared, chunkBytes, intervalSeconds](const httplib::Request& request, httplib::Response& response) {
        const int fd = connectionSocket(request);
        response.status = 200;
        response.set_content_provider(shared->size(), "application/octet-stream",
            [this, shared, chunkBytes, intervalSeconds, fd](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset > 0) {
                    for (double waited = 0; waited < intervalSeconds; waited += kPollStepSeconds) {
                        if (stopping_)
                            return false;
                        if (peerClosed(fd)) {
                            ++disconnects_;
                            return false;
                        }
                        std::this_thread::sleep_for(std::chrono::duration<double>(kPollStepSeconds));
                    }
                }
                if (!sink.write(shared->data() + offset, std::min(chunkBytes, length))) {
                    ++disconnects_;
                    return false;
                }
                return true;
            });
    };
}

LoopbackServer::Handler LoopbackServer::stalledBody(std::string firstBytes, std::size_t announcedLength)
{
    return [this, firstBytes = std::move(firstBytes), announcedLength](const httplib::Request& request, httplib::Response& response) {
        const int fd = connectionSocket(request);
        response.status = 200;
        response.set_content_provider(announcedLength, "application/octet-stream",
            [this, firstBytes, fd](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0 && !firstBytes.empty())
                    return sink.write(firstBytes.data(), firstBytes.size());
                ++stalls_;
                while (!stopping_) {
                    if (peerClosed(fd)) {
                        ++disconnects_;
                        return false;
                    }
                    std::this_thread::sleep_for(std::chrono::duration<double>(kPollStepSeconds));
                }
                return false;
            });
    };
}

bool LoopbackServer::pause(const httplib::Request& request, double seconds)
{
    const int fd = connectionSocket(request);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (stopping_)
            return false;
        if (peerClosed(fd)) {
            ++disconnects_;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(kPollStepSeconds));
    }
    return true;
}

int LoopbackServer::requestCount() const
{
    std::lock_guard lock(mutex_);
    return int(received_.size());
}

int LoopbackServer::requestCount(std::string_view path) const
{
    std::lock_guard lock(mutex_);
    return int(std::count_if(received_.begin(), received_.end(), [&](const Received& r) { return r.path == path; }));
}

std::vector<LoopbackServer::Received> LoopbackServer::requests() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

void LoopbackServer::connectionOpened()
{
    const int open = ++openConnections_;
    int most = maxConcurrentConnections_.load();
    while (open > most && !maxConcurrentConnections_.compare_exchange_weak(most, open)) {
    }
}

void LoopbackServer::connectionClosed()
{
    --openConnections_;
}

bool LoopbackServer::waitUntil(const std::function<bool()>& condition, double timeoutSeconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace testing_support
