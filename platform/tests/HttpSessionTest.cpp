#include "platform/DrainableMainQueue.h"
#include "platform/HttpSession.h"
#include "platform/ManualClock.h"
#include "testing/LoopbackServer.h"
#include "testing/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using platform::HttpErrorKind;
using platform::HttpPriority;
using platform::HttpProgress;
using platform::HttpRequest;
using platform::HttpResult;
using platform::HttpSessionOptions;
using platform::HttpTask;
using testing_support::LoopbackServer;

namespace {

// What came back for one request; shared with its callbacks.
struct Outcome {
    std::vector<HttpResult> completions;
    std::vector<HttpProgress> progress;
};

class HttpSession : public ::testing::Test {
protected:
    HttpTask start(platform::HttpSession& session, HttpRequest request, const std::shared_ptr<Outcome>& outcome,
        bool withProgress = false)
    {
        platform::HttpSession::ProgressHandler progress;
        if (withProgress)
            progress = [outcome](HttpProgress p) { outcome->progress.push_back(p); };
        return session.start(std::move(request), main,
            [outcome](HttpResult result) { outcome->completions.push_back(std::move(result)); }, progress);
    }

    // Runs main-queue blocks until `done` holds; false when it still does not after the timeout.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds = 10)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            main.runOneWaiting(0.02);
        }
        return true;
    }

    // Gives stray deliveries a chance to arrive, then runs them.
    void settle()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        main.drain();
    }

    LoopbackServer server; // outlives the sessions, which close their connections first
    platform::DrainableMainQueue main;
};

} // namespace

TEST_F(HttpSession, ResponsesOfEveryStatusCarryTheirHeadersAndBody)
{
    struct Case {
        int status;
        std::string body;
        bool success;
    };
    const std::vector<Case> cases = {{200, "tile bytes", true}, {404, "", false}, {429, "slow down", false},
        {503, "", false}};
    for (const auto& c : cases)
        server.route("/" + std::to_string(c.status), LoopbackServer::reply(c.status, c.body, {{"X-Tile-Set", "planIGN"}}));

    platform::HttpSession session;
    std::vector<std::shared_ptr<Outcome>> outcomes;
    std::vector<HttpTask> tasks;
    for (const auto& c : cases) {
        auto request = HttpRequest::get(server.url("/" + std::to_string(c.status)));
        request.headers.emplace_back("Referer", "https://velorin.example/");
        outcomes.push_back(std::make_shared<Outcome>());
        tasks.push_back(start(session, request, outcomes.back()));
    }
    ASSERT_TRUE(runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](auto& o) { return !o->completions.empty(); });
    }));

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].status);
        ASSERT_EQ(outcomes[i]->completions.size(), 1u);
        const auto& result = outcomes[i]->completions[0];
        ASSERT_TRUE(result.response);
        EXPECT_FALSE(result.error);
        EXPECT_EQ(result.response->status, cases[i].status);
        EXPECT_EQ(result.response->body, cases[i].body);
        EXPECT_EQ(result.response->header("x-tile-set"), "planIGN");
        EXPECT_EQ(result.isSuccess(), cases[i].success);
    }
    for (const auto& request : server.requests()) {
        auto agent = request.headers.find("User-Agent");
        ASSERT_NE(agent, request.headers.end());
        EXPECT_EQ(agent->second, platform::HttpSession::defaultUserAgent());
        EXPECT_EQ(request.headers.find("Referer")->second, "https://velorin.example/");
    }
    EXPECT_TRUE(platform::HttpSession::defaultUserAgent().starts_with("Velorin/"));
    EXPECT_TRUE(platform::HttpSession::defaultUserAgent().ends_with(" (Linux)"));
}

TEST_F(HttpSession, FormPostSendsEncodedFieldsWithTheirContentType)
{
    server.route("/login", LoopbackServer::reply(200, "{}"));
    platform::HttpSession session;
    auto outcome = std::make_shared<Outcome>();
    auto task = start(session,
        HttpRequest::formPost(server.url("/login"), {{"email", "marie dupont@example.fr"}, {"mot", "é&="}}), outcome);
    ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));

    ASSERT_EQ(server.requests().size(), 1u);
    const auto received = server.requests()[0];
    EXPECT_EQ(received.method, "POST");
    EXPECT_EQ(received.body, "email=marie+dupont%40example.fr&mot=%C3%A9%26%3D");
    EXPECT_EQ(received.headers.find("Content-Type")->second, "application/x-www-form-urlencoded");
}

TEST_F(HttpSession, CookiesFromTheServerAreSentBackListedAndCleared)
{
    server.route("/login", LoopbackServer::reply(200, "", {{"Set-Cookie", "session=abc123; Path=/"}}));
    server.route("/moi", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(request.get_header_value("Cookie"), "text/plain");
    });
    platform::HttpSession session;
    auto fetch = [&](const std::string& path) {
        auto outcome = std::make_shared<Outcome>();
        auto task = start(session, HttpRequest::get(server.url(path)), outcome);
        EXPECT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));
        return outcome->completions.at(0).response.value().body;
    };

    fetch("/login");
    EXPECT_EQ(fetch("/moi"), "session=abc123");
    const auto cookies = session.cookies();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].domain, "127.0.0.1");
    EXPECT_EQ(cookies[0].path, "/");
    EXPECT_EQ(cookies[0].name, "session");
    EXPECT_EQ(cookies[0].value, "abc123");
    EXPECT_EQ(cookies[0].expires, 0);

    session.clearCookies();
    EXPECT_TRUE(session.cookies().empty());
    EXPECT_EQ(fetch("/moi"), "");
}

TEST_F(HttpSession, FortyRequestsNeverPutMoreConnectionsOnTheServerThanTheCaps)
{
    struct Case {
        int perHost;
        int transfers;
        int expectedMost;
    };
    for (auto c : {Case{16, 64, 16}, Case{16, 5, 5}}) {
        SCOPED_TRACE(c.transfers);
        LoopbackServer tiles;
        tiles.route("/tiles/*", tiles.delayed(0.2, LoopbackServer::reply(200, "tile")));
        platform::HttpSession session({.maxConnectionsPerHost = c.perHost, .maxTransfers = c.transfers});
        std::vector<std::shared_ptr<Outcome>> outcomes;
        std::vector<HttpTask> tasks;
        for (int i = 0; i < 40; ++i) {
            outcomes.push_back(std::make_shared<Outcome>());
            tasks.push_back(start(session, HttpRequest::get(tiles.url("/tiles/" + std::to_string(i))), outcomes.back()));
        }
        ASSERT_TRUE(runUntil([&] {
            return std::all_of(outcomes.begin(), outcomes.end(), [](auto& o) { return !o->completions.empty(); });
        }));
        for (const auto& outcome : outcomes)
            EXPECT_TRUE(outcome->completions[0].isSuccess());
        EXPECT_EQ(tiles.requestCount(), 40);
        // The cap is never passed; on a loaded machine the server may not see every slot
        // in use at the same instant.
        EXPECT_LE(tiles.maxConcurrentConnections(), c.expectedMost);
        EXPECT_GE(tiles.maxConcurrentConnections(), c.expectedMost / 2);
    }
}

TEST_F(HttpSession, HighPriorityOvertakesQueuedNormalRequests)
{
    server.route("/busy", server.delayed(0.3, LoopbackServer::reply(200)));
    server.route("/tiles/*", LoopbackServer::reply(200));
    platform::HttpSession session({.maxTransfers = 1});
    std::vector<std::shared_ptr<Outcome>> outcomes;
    std::vector<HttpTask> tasks;
    auto add = [&](const std::string& path, HttpPriority priority) {
        auto request = HttpRequest::get(server.url(path));
        request.priority = priority;
        outcomes.push_back(std::make_shared<Outcome>());
        tasks.push_back(start(session, request, outcomes.back()));
    };
    add("/busy", HttpPriority::normal);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.requestCount() == 1; }));
    for (const char* path : {"/tiles/n1", "/tiles/n2", "/tiles/n3"})
        add(path, HttpPriority::normal);
    add("/tiles/sheet", HttpPriority::high);
    ASSERT_TRUE(runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](auto& o) { return !o->completions.empty(); });
    }));

    std::vector<std::string> order;
    for (const auto& request : server.requests())
        order.push_back(request.path);
    EXPECT_EQ(order, (std::vector<std::string>{"/busy", "/tiles/sheet", "/tiles/n1", "/tiles/n2", "/tiles/n3"}));
}

TEST_F(HttpSession, IdleTimeoutFiresOnAStalledBodyButNeverOnASlowFlowingOne)
{
    constexpr double kIdleSeconds = 0.5;
    server.route("/stalled", server.stalledBody("first bytes", 10'000));
    // 2,000 bytes over about two seconds: four times the idle timeout, never idle for long.
    server.route("/slow", server.slowBody(std::string(2000, 'x'), 100, 0.1));
    platform::HttpSession session({.idleTimeoutSeconds = kIdleSeconds});

    struct Case {
        const char* path;
        double overallTimeoutSeconds;
        bool timesOut;
    };
    const std::vector<Case> cases = {{"/stalled", 0, true}, {"/slow", 0, false}, {"/slow", 0.5, true}};
    std::vector<std::shared_ptr<Outcome>> outcomes;
    std::vector<HttpTask> tasks;
    const auto started = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        auto request = HttpRequest::get(server.url(c.path));
        request.overallTimeoutSeconds = c.overallTimeoutSeconds;
        outcomes.push_back(std::make_shared<Outcome>());
        tasks.push_back(start(session, request, outcomes.back()));
    }
    ASSERT_TRUE(runUntil([&] { return !outcomes[0]->completions.empty(); }));
    const std::chrono::duration<double> stalledAfter = std::chrono::steady_clock::now() - started;
    EXPECT_GE(stalledAfter.count(), kIdleSeconds);
    EXPECT_LT(stalledAfter.count(), kIdleSeconds + 2);
    ASSERT_TRUE(runUntil([&] {
        return std::all_of(outcomes.begin(), outcomes.end(), [](auto& o) { return !o->completions.empty(); });
    }));

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& result = outcomes[i]->completions.at(0);
        if (cases[i].timesOut) {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->kind, HttpErrorKind::timedOut);
            EXPECT_FALSE(result.response);
        } else {
            ASSERT_TRUE(result.response);
            EXPECT_EQ(result.response->body, std::string(2000, 'x'));
        }
    }
}

TEST_F(HttpSession, TheDefaultTwentySecondIdleTimeoutRunsOnTheSessionClock)
{
    server.route("/stalled", server.stalledBody("first bytes", 10'000));
    auto clock = std::make_shared<platform::ManualClock>();
    platform::HttpSession session({.clock = clock});
    auto outcome = std::make_shared<Outcome>();
    auto task = start(session, HttpRequest::get(server.url("/stalled")), outcome, true);
    ASSERT_TRUE(runUntil([&] { return !outcome->progress.empty(); }));

    clock->advance(19.9);
    settle();
    EXPECT_TRUE(outcome->completions.empty());
    clock->advance(0.2);
    ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));
    ASSERT_TRUE(outcome->completions[0].error);
    EXPECT_EQ(outcome->completions[0].error->kind, HttpErrorKind::timedOut);
}

TEST_F(HttpSession, ProgressCountsBytesAgainstTheAnnouncedLengthBeforeTheCompletion)
{
    server.route("/sheet", server.slowBody(std::string(1000, 'x'), 100, 0.02));
    platform::HttpSession session;
    auto outcome = std::make_shared<Outcome>();
    auto task = session.start(
        HttpRequest::get(server.url("/sheet")), main,
        [outcome](HttpResult result) { outcome->completions.push_back(std::move(result)); },
        [outcome](HttpProgress p) {
            EXPECT_TRUE(outcome->completions.empty());
            outcome->progress.push_back(p);
        });
    ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));

    ASSERT_FALSE(outcome->progress.empty());
    for (size_t i = 1; i < outcome->progress.size(); ++i)
        EXPECT_GT(outcome->progress[i].received, outcome->progress[i - 1].received);
    EXPECT_EQ(outcome->progress.back().received, 1000);
    EXPECT_EQ(outcome->progress.back().expected, 1000);
}

TEST_F(HttpSession, TransportFailuresAreErrorsOfTheirKind)
{
    int closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    struct Case {
        std::string url;
        HttpErrorKind kind;
    };
    const std::vector<Case> cases = {
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/tile", HttpErrorKind::cannotConnect},
        {"file:///etc/passwd", HttpErrorKind::other},
        {"not a url", HttpErrorKind::other},
    };
    platform::HttpSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        auto outcome = std::make_shared<Outcome>();
        auto task = start(session, HttpRequest::get(c.url), outcome);
        ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));
        const auto& result = outcome->completions[0];
        EXPECT_FALSE(result.response);
        ASSERT_TRUE(result.error);
        EXPECT_EQ(result.error->kind, c.kind);
        EXPECT_FALSE(result.error->message.empty());
    }
}

TEST_F(HttpSession, RequestsCancelledOrDroppedBeforeTheyStartNeverReachTheServer)
{
    server.route("/busy", server.delayed(0.3, LoopbackServer::reply(200)));
    server.route("/later", LoopbackServer::reply(200));
    platform::HttpSession session({.maxTransfers = 1});
    auto busy = std::make_shared<Outcome>();
    auto never = std::make_shared<Outcome>();
    auto busyTask = start(session, HttpRequest::get(server.url("/busy")), busy);
    auto cancelled = start(session, HttpRequest::get(server.url("/later")), never);
    start(session, HttpRequest::get(server.url("/later")), never); // dropped at once
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isActive());

    ASSERT_TRUE(runUntil([&] { return !busy->completions.empty(); }));
    settle();
    EXPECT_EQ(server.requestCount("/later"), 0);
    EXPECT_TRUE(never->completions.empty());
}

TEST_F(HttpSession, CancellingMidBodyFromItsOwnProgressCallbackClosesTheConnection)
{
    server.route("/stalled", server.stalledBody("first bytes", 10'000));
    platform::HttpSession session;
    auto outcome = std::make_shared<Outcome>();
    HttpTask task;
    task = session.start(
        HttpRequest::get(server.url("/stalled")), main,
        [outcome](HttpResult result) { outcome->completions.push_back(std::move(result)); },
        [outcome, &task](HttpProgress p) {
            outcome->progress.push_back(p);
            task.cancel();
        });
    ASSERT_TRUE(runUntil([&] { return !outcome->progress.empty(); }));
    EXPECT_FALSE(task.isActive());
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 1; }));
    settle();
    EXPECT_TRUE(outcome->completions.empty());
    EXPECT_EQ(outcome->progress.size(), 1u);
}

TEST_F(HttpSession, ACompletionAlreadyQueuedDoesNotRunOnceCancelled)
{
    server.route("/tile", LoopbackServer::reply(200, "tile"));
    platform::HttpSession session;
    auto outcome = std::make_shared<Outcome>();
    auto task = start(session, HttpRequest::get(server.url("/tile")), outcome);
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return main.pendingCount() > 0; }));
    task.cancel();
    main.drain();
    EXPECT_TRUE(outcome->completions.empty());
}

TEST_F(HttpSession, DestroyedWithTwentyTransfersInFlightItCallsNobody)
{
    server.route("/stalled/*", server.stalledBody("first bytes", 10'000));
    server.route("/done/*", LoopbackServer::reply(200, "tile"));
    auto session = std::make_unique<platform::HttpSession>(HttpSessionOptions{.maxTransfers = 32});
    auto outcome = std::make_shared<Outcome>();
    std::vector<HttpTask> tasks;
    for (int i = 0; i < 10; ++i) {
        tasks.push_back(start(*session, HttpRequest::get(server.url("/stalled/" + std::to_string(i))), outcome, true));
        tasks.push_back(start(*session, HttpRequest::get(server.url("/done/" + std::to_string(i))), outcome, true));
    }
    // Completions and progress reports wait on the main queue while ten bodies stall.
    ASSERT_TRUE(LoopbackServer::waitUntil([&] { return server.stallCount() == 10 && main.pendingCount() >= 10; }));

    session.reset();
    EXPECT_TRUE(LoopbackServer::waitUntil([&] { return server.disconnectCount() == 10; }));
    settle();
    EXPECT_TRUE(outcome->completions.empty());
    EXPECT_TRUE(outcome->progress.empty());
    tasks.clear(); // handles outliving their session cancel harmlessly
}

TEST_F(HttpSession, ABodyWrittenToItsDestinationLandsByteForByteAndNeverInMemory)
{
    std::string database(20 * 1024 * 1024, '\0');
    std::mt19937 random(7);
    for (char& byte : database)
        byte = char(random());
    server.route("/places/places-ch.bin", LoopbackServer::reply(200, database));
    server.route("/missing", LoopbackServer::reply(404, "<html>not here</html>"));
    testing_support::TemporaryFolder folder;

    platform::HttpSession session;
    for (const auto& [path, status, expected] : std::vector<std::tuple<std::string, int, std::string>>{
             {"/places/places-ch.bin", 200, database}, {"/missing", 404, "<html>not here</html>"}}) {
        SCOPED_TRACE(path);
        auto request = HttpRequest::get(server.url(path));
        request.destination = folder / "download";
        auto outcome = std::make_shared<Outcome>();
        auto task = start(session, request, outcome, true);
        ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }, 60));
        const auto& result = outcome->completions[0];
        ASSERT_TRUE(result.response) << result.error->message;
        EXPECT_EQ(result.response->status, status);
        EXPECT_TRUE(result.response->body.empty());
        std::ifstream file(folder / "download", std::ios::binary);
        const std::string written{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        EXPECT_TRUE(written == expected) << "the file holds " << written.size() << " bytes";
        ASSERT_FALSE(outcome->progress.empty());
        EXPECT_EQ(outcome->progress.back().received, int64_t(expected.size()));
    }
}

TEST_F(HttpSession, ABodyOverItsCapOrADestinationThatCannotBeWrittenFailsTheTransfer)
{
    server.route("/big", LoopbackServer::reply(200, std::string(100'000, 'x')));
    server.route("/small", LoopbackServer::reply(200, std::string(1000, 'x')));
    testing_support::TemporaryFolder folder;
    struct Case {
        std::string path;
        std::optional<std::filesystem::path> destination;
        int64_t cap;
        std::optional<HttpErrorKind> error;
    };
    const std::vector<Case> cases = {
        {"/big", std::nullopt, 50'000, HttpErrorKind::badResponse},
        {"/big", folder / "big", 50'000, HttpErrorKind::badResponse},
        {"/small", folder / "small", 1000, std::nullopt},
        {"/small", folder / "no such folder" / "small", 0, HttpErrorKind::other},
    };
    platform::HttpSession session;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination ? c.destination->string() : c.path);
        auto request = HttpRequest::get(server.url(c.path));
        request.destination = c.destination;
        request.maxBodyBytes = c.cap;
        auto outcome = std::make_shared<Outcome>();
        auto task = start(session, request, outcome);
        ASSERT_TRUE(runUntil([&] { return !outcome->completions.empty(); }));
        const auto& result = outcome->completions[0];
        if (c.error) {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->kind, *c.error);
            EXPECT_FALSE(result.error->message.empty());
        } else {
            ASSERT_TRUE(result.response);
            EXPECT_EQ(std::filesystem::file_size(*c.destination), 1000u);
        }
    }
    EXPECT_EQ(server.requestCount("/small"), 1) << "a file that cannot be made sends no request";
}
