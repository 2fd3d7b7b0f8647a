#include "platform/qt/QtMainQueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
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

TEST(QtMainQueue, WhatABlockCarriesFromAWorkerIsSeenWholeOnTheEventLoopThread)
{
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    platform::QtMainQueue queue;
    std::vector<std::string> received;
    std::atomic<bool> stop { false };
    // The worker keeps posting while the loop runs: the blocks are handed over through the
    // queue alone, not through the end of the thread.
    std::thread worker([&] {
        for (int i = 0; i < 200 && !stop; ++i) {
            auto text = std::make_unique<std::string>("bloc " + std::to_string(i));
            queue.post([&received, text = std::shared_ptr<std::string>(std::move(text))] { received.push_back(*text); });
        }
    });
    QDeadlineTimer deadline(5000);
    while (received.size() < 200 && !deadline.hasExpired())
        QCoreApplication::processEvents();
    stop = true;
    worker.join();
    ASSERT_EQ(received.size(), 200u);
    EXPECT_EQ(received.front(), "bloc 0");
    EXPECT_EQ(received.back(), "bloc 199");
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
