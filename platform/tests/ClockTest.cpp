#include "platform/ManualClock.h"
#include "platform/SteadyClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <vector>

using namespace platform;

TEST(ManualClock, TimerFiresAtExactlyThirtySecondsWithoutSleeping)
{
    ManualClock clock(100.0);
    std::vector<double> firedAt;
    clock.after(30.0, [&] { firedAt.push_back(clock.now()); });

    auto started = std::chrono::steady_clock::now();
    clock.advance(29.999);
    EXPECT_TRUE(firedAt.empty());
    clock.advance(0.001);
    ASSERT_EQ(firedAt.size(), 1u);
    EXPECT_DOUBLE_EQ(firedAt[0], 130.0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(clock.pendingTimers(), 0u);
}

TEST(ManualClock, RunsTimersInDeadlineOrderAndThoseScheduledOnTheWay)
{
    ManualClock clock(0.0);
    std::vector<std::pair<int, double>> fired;
    clock.after(3.0, [&] { fired.emplace_back(3, clock.now()); });
    clock.after(1.0, [&] {
        fired.emplace_back(1, clock.now());
        clock.after(1.0, [&] { fired.emplace_back(2, clock.now()); });
        clock.after(10.0, [&] { fired.emplace_back(11, clock.now()); });
    });
    clock.advance(5.0);
    EXPECT_EQ(fired, (std::vector<std::pair<int, double>>{{1, 1.0}, {2, 2.0}, {3, 3.0}}));
    EXPECT_DOUBLE_EQ(clock.now(), 5.0);
    EXPECT_EQ(clock.pendingTimers(), 1u);
}

TEST(ManualClock, EqualDeadlinesKeepTheirOrderAndBadDelaysFireAtOnce)
{
    ManualClock clock(0.0);
    std::vector<int> fired;
    for (int i = 0; i < 5; ++i)
        clock.after(1.0, [&fired, i] { fired.push_back(i); });
    clock.after(std::nan(""), [&] { fired.push_back(-1); });
    clock.after(-4.0, [&] { fired.push_back(-2); });
    clock.advance(0.0);
    EXPECT_EQ(fired, (std::vector<int>{-1, -2}));
    clock.advance(1.0);
    EXPECT_EQ(fired, (std::vector<int>{-1, -2, 0, 1, 2, 3, 4}));
}

TEST(SteadyClock, IsMonotonicAndRunsDelayedBlocks)
{
    SteadyClock clock;
    double before = clock.now();
    std::promise<double> fired;
    clock.after(0.02, [&] { fired.set_value(clock.now()); });
    auto future = fired.get_future();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_GE(future.get() - before, 0.02);
}

TEST(SteadyClock, PendingTimersNeverRunAfterDestruction)
{
    bool ran = false;
    {
        SteadyClock clock;
        clock.after(60.0, [&] { ran = true; });
    }
    EXPECT_FALSE(ran);
}
