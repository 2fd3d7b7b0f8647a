#include "platform/DispatchQueue.h"
#include "platform/OperationQueue.h"

#include <benchmark/benchmark.h>

#include <atomic>

// Posting small blocks to a serial queue: the loader posts one per wish list and per
// completed transfer.
static void BM_DispatchQueueAsync(benchmark::State& state)
{
    platform::DispatchQueue queue("bench.serial");
    std::atomic<int> ran{0};
    for (auto _ : state)
        queue.async([&] { ran.fetch_add(1, std::memory_order_relaxed); });
    queue.sync([] {});
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchQueueAsync);

// A burst of decode-sized jobs through the pool, as a screenful of tiles arrives.
static void BM_OperationQueueBurst(benchmark::State& state)
{
    platform::OperationQueue queue("bench.pool");
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            queue.add([] {
                volatile double x = 0;
                for (int k = 0; k < 1000; ++k)
                    x = x + k;
            });
        queue.waitUntilAllFinished();
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_OperationQueueBurst);
