#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

TEST(QtMainQueue, BlocksPostedFromAnyThreadRunInOrderOnTheEventLoopThread)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    platform::QtMainQueue queue;
    EXPECT_TRUE(queue.isMainThread());

    std::vector<int> ran;
    bool offMainThread = false;
    std::atomic<bool> workerSawMainThread { true };
    std::thread worker([&] {
        workerSawMainThread = queue.isMainThread();
        for (int i = 0; i < 100; ++i)
            queue.post([&, i] {
                offMainThread |= !queue.isMainThread();
                ran.push_back(i);
            });
    });
    worker.join();
    EXPECT_FALSE(workerSawMainThread);
    EXPECT_TRUE(ran.empty()) << "ran before the event loop did";

    QDeadlineTimer deadline(5000);
    while (ran.size() < 100 && !deadline.hasExpired())
        QCoreApplication::processEvents();
    ASSERT_EQ(ran.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ran[i], i);
    EXPECT_FALSE(offMainThread);
}

TEST(QtMainQueue, BlocksStillQueuedWhenTheQueueGoesAreDropped)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    bool ran = false;
    {
        platform::QtMainQueue queue;
        queue.post([&] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(QtMainQueue, BlocksPostedByABlockRunAfterThoseAlreadyWaiting)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    platform::QtMainQueue queue;
    std::vector<char> ran;
    queue.post([&] {
        ran.push_back('a');
        queue.post([&] { ran.push_back('c'); });
    });
    queue.post([&] { ran.push_back('b'); });

    QDeadlineTimer deadline(5000);
    while (ran.size() < 3 && !deadline.hasExpired())
        QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<char> { 'a', 'b', 'c' }));
}

TEST(QtMainQueue, ABlockThatDestroysTheQueueDropsTheBlocksAfterIt)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    auto queue = std::make_unique<platform::QtMainQueue>();
    std::vector<char> ran;
    queue->post([&] {
        ran.push_back('a');
        queue.reset();
    });
    queue->post([&] { ran.push_back('b'); });

    QDeadlineTimer deadline(200);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents();
    EXPECT_EQ(ran, std::vector<char> { 'a' });
}
