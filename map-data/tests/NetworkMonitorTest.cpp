#include "map-data/NetworkMonitor.h"
#include "platform/DrainableMainQueue.h"
#include "testing/FakeNetworkPathSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using platform::NetworkPath;
using testing_support::FakeNetworkPathSource;
using velorin::NetworkMonitor;

namespace {

struct MonitorUnderTest {
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::shared_ptr<FakeNetworkPathSource::Control> paths;
    std::unique_ptr<NetworkMonitor> monitor;
    std::vector<std::pair<bool, bool>> changes;

    MonitorUnderTest()
    {
        auto source = std::make_unique<FakeNetworkPathSource>();
        paths = source->control();
        monitor = std::make_unique<NetworkMonitor>(std::move(source), mainQueue);
        monitor->onChange = [this] {
            EXPECT_TRUE(mainQueue->isMainThread());
            changes.emplace_back(monitor->isReachable(), monitor->isExpensive());
        };
    }
};

} // namespace

TEST(NetworkMonitor, PublishesEachReportOnTheMainQueue)
{
    struct Case {
        NetworkPath path;
        bool reachable, expensive;
    };
    for (auto c : { Case { { false, false }, false, false }, Case { { true, true }, true, true },
             Case { { false, true }, false, true } }) {
        MonitorUnderTest test;
        ASSERT_TRUE(test.paths->isStarted());
        EXPECT_TRUE(test.monitor->isReachable());
        EXPECT_FALSE(test.monitor->isExpensive());

        test.paths->report(c.path);
        EXPECT_TRUE(test.monitor->isReachable()) << "applied before the main queue ran";
        test.mainQueue->drain();
        EXPECT_EQ(test.monitor->isReachable(), c.reachable);
        EXPECT_EQ(test.monitor->isExpensive(), c.expensive);
        EXPECT_EQ(test.changes.size(), 1u);
    }
}

TEST(NetworkMonitor, QuickReportsApplyInOrderAndAnUnchangedPathIsNoChange)
{
    MonitorUnderTest test;
    test.paths->report({ false, false });
    test.paths->report({ true, true });
    test.paths->report({ true, true });
    test.mainQueue->drain();
    EXPECT_EQ(test.changes, (std::vector<std::pair<bool, bool>> { { false, false }, { true, true } }));
    EXPECT_TRUE(test.monitor->isReachable());
    EXPECT_TRUE(test.monitor->isExpensive());
}

TEST(NetworkMonitor, ReportsAfterTheMonitorIsGoneDoNothing)
{
    MonitorUnderTest test;
    test.paths->report({ false, false });
    test.monitor.reset();
    EXPECT_EQ(test.mainQueue->drain(), 1u);
    test.paths->report({ true, false });
    EXPECT_FALSE(test.paths->isStarted());
    EXPECT_EQ(test.mainQueue->pendingCount(), 0u);
    EXPECT_TRUE(test.changes.empty());
}
