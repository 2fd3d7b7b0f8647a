#include "platform/SpeedMotionActivitySource.h"

#include "platform/DrainableMainQueue.h"
#include "platform/GroundDistance.h"

#include <gtest/gtest.h>

#include <numbers>
#include <optional>
#include <vector>

using platform::LocationFix;
using platform::MotionActivity;
using platform::SpeedMotionActivitySource;
using Confidence = platform::MotionActivity::Confidence;

namespace {

constexpr double kMetersPerDegree = platform::kEarthDiameterMeters / 2 * std::numbers::pi / 180;

class SpeedMotionActivity : public ::testing::Test {
protected:
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    bool positioning = true;
    SpeedMotionActivitySource source {mainQueue, [this] { return positioning; }};
    std::vector<std::optional<MotionActivity>> reports;

    void start()
    {
        source.startActivityUpdates([this](const std::optional<MotionActivity>& activity) { reports.push_back(activity); });
    }

    // A fix `meters` north of the start at `seconds`, with the fix's own speed when given.
    static LocationFix fix(double seconds, double meters, double speed = -1, double accuracy = 10)
    {
        LocationFix fix;
        fix.latitude = 45 + meters / kMetersPerDegree;
        fix.longitude = 6;
        fix.horizontalAccuracy = accuracy;
        fix.speed = speed;
        fix.timestamp = 1'700'000'000 + seconds;
        return fix;
    }

    // The report that follows the last of `fixes`.
    MotionActivity reportAfter(const std::vector<LocationFix>& fixes)
    {
        start();
        for (const LocationFix& each : fixes)
            source.addFix(each);
        mainQueue->drain();
        EXPECT_EQ(reports.size(), fixes.size());
        return reports.empty() || !reports.back() ? MotionActivity {} : *reports.back();
    }
};

MotionActivity flagged(bool MotionActivity::*flag, Confidence confidence)
{
    MotionActivity activity;
    activity.*flag = true;
    activity.confidence = confidence;
    return activity;
}

} // namespace

TEST_F(SpeedMotionActivity, TheMedianSpeedOfTheLastMinuteTellsHowTheWalkerMoves)
{
    struct Case {
        double speed;
        bool MotionActivity::*flag;
    };
    for (const Case& c : {Case {0, &MotionActivity::stationary}, Case {0.49, &MotionActivity::stationary},
             Case {0.5, &MotionActivity::walking}, Case {1.3, &MotionActivity::walking},
             Case {2.5, &MotionActivity::running}, Case {4.49, &MotionActivity::running},
             Case {4.5, &MotionActivity::cycling}, Case {8.49, &MotionActivity::cycling},
             Case {8.5, &MotionActivity::automotive}, Case {30, &MotionActivity::automotive}}) {
        SpeedMotionActivitySource fresh(mainQueue, [] { return true; });
        std::optional<MotionActivity> last;
        fresh.startActivityUpdates([&](const std::optional<MotionActivity>& activity) { last = activity; });
        // Five fixes over 40 s; one fix of another speed does not move the median.
        for (int i = 0; i < 5; ++i)
            fresh.addFix(fix(10 * i, c.speed * 10 * i, i == 2 ? 50 : c.speed));
        fresh.addFix(fix(41, c.speed * 41, c.speed));
        mainQueue->drain();
        EXPECT_EQ(last, flagged(c.flag, Confidence::high)) << c.speed << " m/s";
    }
}

TEST_F(SpeedMotionActivity, AFixWithoutASpeedIsTimedFromTheFixBefore)
{
    // 50 m every 10 s is 5 m/s: six fixes give five speeds over 40 s.
    std::vector<LocationFix> fixes;
    for (int i = 0; i < 6; ++i)
        fixes.push_back(fix(10 * i, 50 * i));
    EXPECT_EQ(reportAfter(fixes), flagged(&MotionActivity::cycling, Confidence::high));
}

TEST_F(SpeedMotionActivity, FewerSpeedsOverLessTimeAreLessSure)
{
    struct Case {
        int fixes;
        double spacingSeconds;
        Confidence confidence;
    };
    for (const Case& c : {Case {5, 7.5, Confidence::high}, Case {5, 7.4, Confidence::medium},
             Case {3, 7.5, Confidence::medium}, Case {3, 7.4, Confidence::low}, Case {2, 20, Confidence::low}}) {
        SpeedMotionActivitySource fresh(mainQueue, [] { return true; });
        std::optional<MotionActivity> last;
        fresh.startActivityUpdates([&](const std::optional<MotionActivity>& activity) { last = activity; });
        for (int i = 0; i < c.fixes; ++i)
            fresh.addFix(fix(c.spacingSeconds * i, 0, 1.2));
        mainQueue->drain();
        EXPECT_EQ(last, flagged(&MotionActivity::walking, c.confidence)) << c.fixes << " every " << c.spacingSeconds << " s";
    }
}

TEST_F(SpeedMotionActivity, FixesKnownWorseThanFiftyMetresAreLeftOut)
{
    std::vector<LocationFix> fixes;
    for (int i = 0; i < 5; ++i) {
        fixes.push_back(fix(10 * i, 12 * i, 1.2, i == 0 ? 50 : 10));
        // A poor fix far ahead would read as a car if it counted.
        fixes.push_back(fix(10 * i + 5, 500 * i, -1, i % 2 ? 50.01 : -1));
    }
    EXPECT_EQ(reportAfter(fixes), flagged(&MotionActivity::walking, Confidence::high));
}

TEST_F(SpeedMotionActivity, AMinuteWithoutAUsableFixIsAnUnknownActivity)
{
    std::vector<LocationFix> fixes;
    for (int i = 0; i < 5; ++i)
        fixes.push_back(fix(10 * i, 12 * i, 1.2));
    fixes.push_back(fix(40 + 59, 60, 1.2, 80));
    EXPECT_EQ(reportAfter(fixes), flagged(&MotionActivity::walking, Confidence::low))
        << "the last usable fix is still within the minute";
    source.addFix(fix(40 + 60, 60, 1.2, 80));
    mainQueue->drain();
    ASSERT_TRUE(reports.back());
    EXPECT_EQ(*reports.back(), MotionActivity {});
}

TEST_F(SpeedMotionActivity, ReportsComeFromTheMainQueueOnlyWhileStarted)
{
    source.addFix(fix(0, 0, 1.2));
    EXPECT_EQ(mainQueue->pendingCount(), 0u) << "nothing is reported before a start";
    start();
    source.addFix(fix(10, 12, 1.2));
    EXPECT_TRUE(reports.empty()) << "never from inside the call that feeds it";
    mainQueue->drain();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(*reports[0], flagged(&MotionActivity::walking, Confidence::low))
        << "the fix before the start counts";

    source.addFix(fix(20, 24, 1.2));
    source.stopActivityUpdates();
    mainQueue->drain();
    EXPECT_EQ(reports.size(), 1u) << "a report posted before a stop is dropped";
}

TEST_F(SpeedMotionActivity, IsAvailableWhereverPositioningIs)
{
    EXPECT_TRUE(source.isActivityAvailable());
    positioning = false;
    EXPECT_FALSE(source.isActivityAvailable());
    EXPECT_FALSE(SpeedMotionActivitySource(mainQueue, {}).isActivityAvailable());
}
