#include "platform/DispatchQueue.h"
#include "platform/DrainableMainQueue.h"
#include "platform/OperationQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace platform;

TEST(DispatchQueue, RunsTenThousandBlocksInTheOrderPosted)
{
    std::vector<int> order;
    {
        DispatchQueue queue("com.vask.velorin.test");
        for (int i = 0; i < 10'000; ++i)
            queue.async([&order, i] { order.push_back(i); });
        queue.sync([] {});
    }
    ASSERT_EQ(order.size(), 10'000u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST(DispatchQueue, BlocksFromManyThreadsNeverOverlap)
{
    DispatchQueue queue("com.vask.velorin.test");
    int counter = 0; // deliberately unsynchronised: only the queue touches it
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t)
        posters.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                queue.async([&] { ++counter; });
        });
    for (auto& poster : posters)
        poster.join();
    queue.sync([] {});
    EXPECT_EQ(counter, 4000);
}

TEST(DispatchQueue, DestructionFinishesPostedBlocksAndThoseTheyPost)
{
    std::atomic<int> ran{0};
    {
        DispatchQueue queue("com.vask.velorin.test");
        for (int i = 0; i < 100; ++i)
            queue.async([&] {
                ++ran;
                queue.async([&] { ++ran; });
            });
    }
    EXPECT_EQ(ran, 200);
}

TEST(DispatchQueue, SyncFromTheQueueItselfRunsAtOnce)
{
    DispatchQueue queue("com.vask.velorin.test");
    bool inner = false;
    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        queue.sync([&] { inner = true; });
    });
    EXPECT_TRUE(inner);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(DispatchQueue, SyncPassesExceptionsBack)
{
    DispatchQueue queue("com.vask.velorin.test");
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    bool still = false;
    queue.sync([&] { still = true; });
    EXPECT_TRUE(still);
}

TEST(OperationQueue, NeverRunsMoreThanItsWidth)
{
    OperationQueue queue("test.pool", 3);
    std::atomic<int> running{0}, peak{0}, done{0};
    for (int i = 0; i < 30; ++i)
        queue.add([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --running;
            ++done;
        });
    queue.waitUntilAllFinished();
    EXPECT_EQ(done, 30);
    EXPECT_LE(peak, 3);
    EXPECT_GE(peak, 2);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, CancelAllDropsBlocksNotStarted)
{
    OperationQueue queue("test.pool", 1);
    std::atomic<bool> started{false}, release{false};
    std::atomic<int> ran{0};
    queue.add([&] {
        started = true;
        while (!release)
            std::this_thread::yield();
        ++ran;
    });
    for (int i = 0; i < 10; ++i)
        queue.add([&] { ++ran; });
    while (!started)
        std::this_thread::yield();
    queue.cancelAll();
    release = true;
    queue.waitUntilAllFinished();
    EXPECT_EQ(ran, 1);
}

TEST(OperationQueue, DestructionWaitsForRunningBlocks)
{
    std::atomic<int> started{0}, finished{0};
    {
        OperationQueue queue("test.pool", 4);
        for (int i = 0; i < 4; ++i)
            queue.add([&] {
                ++started;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ++finished;
            });
        while (started < 4)
            std::this_thread::yield();
    }
    EXPECT_EQ(finished, 4);
}

TEST(DrainableMainQueue, RunsBlocksOnlyWhenDrainedIncludingThosePostedMeanwhile)
{
    DrainableMainQueue main;
    std::vector<int> order;
    std::thread other([&] { main.post([&] { order.push_back(1); }); });
    other.join();
    main.post([&] {
        order.push_back(2);
        main.post([&] { order.push_back(3); });
    });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(main.isMainThread());
    EXPECT_EQ(main.drain(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(DrainableMainQueue, RunOneWaitingTakesABlockFromAnotherThread)
{
    DrainableMainQueue main;
    DispatchQueue worker("test.worker");
    bool ran = false;
    worker.async([&] { main.post([&] { ran = true; }); });
    EXPECT_TRUE(main.runOneWaiting(5.0));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(main.runOneWaiting(0.01));
}
