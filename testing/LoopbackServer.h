#pragma once

// An HTTP server on 127.0.0.1 (a random port) for network tests: route handlers by exact
// path or by prefix, canned replies (any status, added latency, slow or stalled bodies),
// and what the server saw (requests per path, concurrent connections, clients that left
// before their reply was complete). Thread-safe: handlers run on one thread per connection,
// and every member may be called from any thread while the server runs.
//
//     LoopbackServer server;
//     server.route("/tiles/*", LoopbackServer::reply(200, "jpeg bytes"));
//     server.route("/slow", server.slowBody(std::string(1000, 'x'), 100, 0.05));
//     session.start(HttpRequest::get(server.url("/tiles/14/8/5.jpg")), ...);
//     server.requestCount("/tiles/14/8/5.jpg");

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace testing_support {

class LoopbackServer {
public:
    // Fills the response; runs on the connection's thread.
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // What a request looked like when it arrived.
    struct Received {
        std::string method;
        std::string path; // without the query
        std::string target; // path and query as sent
        httplib::Headers headers;
        std::string body;
    };

    // Listening once constructed.
    LoopbackServer();
    // Listening on `port`: a server back where one stopped, for clients that were refused
    // meanwhile. Throws when the port is taken.
    explicit LoopbackServer(int port);
    // Ends latency, slow and stalled replies, closes every connection and joins its threads.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `pathAndQuery`.
    std::string url(std::string_view pathAndQuery = "/") const;

    // A pattern ending in "*" matches every path that starts with what precedes it; any
    // other matches the path exactly. Exact routes win, then the longest prefix; setting a
    // pattern again replaces its handler. Unrouted paths answer 404. GET, HEAD and POST.
    void route(std::string pattern, Handler handler);

    // Canned replies.
    static Handler reply(int status, std::string body = {}, httplib::Headers headers = {});
    // Runs `then` after `seconds`; gives up early, counting a disconnect, when the client
    // leaves or the server stops.
    Handler delayed(double seconds, Handler then);
    // 200 with a Content-Length: `body` in chunks of `chunkBytes`, one every `intervalSeconds`.
    Handler slowBody(std::string body, std::size_t chunkBytes, double intervalSeconds);
    // 200 announcing `announcedLength` bytes, sending `firstBytes`, then nothing until the
    // client leaves (a disconnect) or the server stops.
    Handler stalledBody(std::string firstBytes, std::size_t announcedLength);

    int requestCount() const;
    int requestCount(std::string_view path) const;
    std::vector<Received> requests() const;
    // TCP connections open now, and the most that were ever open at once.
    int openConnections() const { return openConnections_.load(); }
    int maxConcurrentConnections() const { return maxConcurrentConnections_.load(); }
    // Replies abandoned because their client went away.
    int disconnectCount() const { return disconnects_.load(); }
    // Stalled replies whose first bytes went out and that now send nothing more.
    int stallCount() const { return stalls_.load(); }
    // Polls `condition` until it holds or `timeoutSeconds` pass; its last value. The bound is
    // generous: it is only reached by a failing test, never by a loaded machine.
    static bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds = 20);

private:
    class ConnectionThreads;
    class Listener;

    void dispatch(const httplib::Request& request, httplib::Response& response);
    // Sleeps in short steps; false when the client left (counted) or the server is stopping.
    bool pause(const httplib::Request& request, double seconds);
    bool clientLeft(const httplib::Request& request) const;
    void connectionOpened();
    void connectionClosed();

    std::unique_ptr<Listener> server_;
    int port_ = 0;
    std::thread listener_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    std::map<std::string, Handler, std::less<>> exactRoutes_;
    std::map<std::string, Handler, std::less<>> prefixRoutes_;
    std::vector<Received> received_;

    std::atomic<int> openConnections_{0};
    std::atomic<int> maxConcurrentConnections_{0};
    std::atomic<int> disconnects_{0};
    std::atomic<int> stalls_{0};
};

} // namespace testing_support
