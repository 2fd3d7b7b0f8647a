#include "platform/DispatchQueue.h"
#include "platform/HttpSession.h"
#include "testing/LoopbackServer.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

constexpr int kRequestsPerRound = 1000;

// 1,000 small tile-sized responses from a server on 127.0.0.1 through one session with
// its default caps; "items_per_second" is requests a second.
void smallResponses(benchmark::State& state)
{
    testing_support::LoopbackServer server;
    server.route("/tiles/*", testing_support::LoopbackServer::reply(200, std::string(2048, 't')));
    platform::HttpSession session;
    platform::DispatchQueue deliveries("bench.http");

    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable finished;
        int done = 0;
        int failed = 0;
        std::vector<platform::HttpTask> tasks;
        tasks.reserve(kRequestsPerRound);
        for (int i = 0; i < kRequestsPerRound; ++i)
            tasks.push_back(session.start(platform::HttpRequest::get(server.url("/tiles/" + std::to_string(i))),
                deliveries, [&](platform::HttpResult result) {
                    std::lock_guard lock(mutex);
                    failed += result.isSuccess() ? 0 : 1;
                    if (++done == kRequestsPerRound)
                        finished.notify_one();
                }));
        std::unique_lock lock(mutex);
        finished.wait(lock, [&] { return done == kRequestsPerRound; });
        if (failed > 0)
            state.SkipWithError("some requests failed");
    }
    state.SetItemsProcessed(state.iterations() * kRequestsPerRound);
}

} // namespace

BENCHMARK(smallResponses)->Unit(benchmark::kMillisecond)->UseRealTime();
