#include "renderer/ParallelMap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <numeric>
#include <set>
#include <thread>

using velorin::parallelMap;

TEST(ParallelMap, KeepsTheInputOrderWhateverTheChunking)
{
    for (std::size_t count : {0u, 1u, 7u, 33u, 5000u}) {
        std::vector<int> inputs(count);
        std::iota(inputs.begin(), inputs.end(), 0);
        const std::vector<long> outputs = parallelMap(inputs, [](int value) { return long(value) * value; });
        ASSERT_EQ(outputs.size(), count);
        for (std::size_t at = 0; at < count; ++at)
            ASSERT_EQ(outputs[at], long(at) * long(at)) << "count " << count;
    }
}

TEST(ParallelMap, SpreadsLargeInputsOverSeveralThreads)
{
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one processor";
    std::vector<int> inputs(4096, 1);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    parallelMap(inputs, [&](int value) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        const std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
        return value;
    });
    EXPECT_GT(threads.size(), 1u);
}
