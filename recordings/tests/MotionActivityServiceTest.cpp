#include "recordings/MotionActivityService.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using platform::MotionActivity;
using velorin::MotionActivityService;
using velorin::TravelMode;
using Confidence = platform::MotionActivity::Confidence;

namespace {

// A motion source that counts what its owner asked and reports what the test tells it.
class FakeMotionSource final : public platform::MotionActivitySource {
public:
    bool available = true;
    int starts = 0;
    int stops = 0;
    Handler handler;

    bool isActivityAvailable() const override { return available; }
    void startActivityUpdates(Handler h) override
    {
        ++starts;
        handler = std::move(h);
    }
    void stopActivityUpdates() override { ++stops; }

    void report(const std::optional<MotionActivity>& activity) const { handler(activity); }
};

MotionActivity activity(Confidence confidence, bool MotionActivity::*first = nullptr, bool MotionActivity::*second = nullptr)
{
    MotionActivity made;
    made.confidence = confidence;
    if (first)
        made.*first = true;
    if (second)
        made.*second = true;
    return made;
}

class MotionActivityServiceTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeMotionSource> source = std::make_shared<FakeMotionSource>();
    MotionActivityService service {source};
    int changes = 0;

    void SetUp() override
    {
        service.onChange = [this] { ++changes; };
    }
};

} // namespace

TEST(TravelModeForActivity, TheFastestFlagWins)
{
    struct Case {
        bool MotionActivity::*first;
        bool MotionActivity::*second;
        std::optional<TravelMode> mode;
    };
    for (const Case& c : {Case {&MotionActivity::automotive, &MotionActivity::walking, TravelMode::automotive},
             Case {&MotionActivity::running, &MotionActivity::walking, TravelMode::running},
             Case {&MotionActivity::cycling, &MotionActivity::stationary, TravelMode::cycling},
             Case {&MotionActivity::walking, nullptr, TravelMode::walking},
             Case {&MotionActivity::stationary, nullptr, TravelMode::stationary},
             Case {nullptr, nullptr, std::nullopt}}) {
        EXPECT_EQ(velorin::travelMode(activity(Confidence::high, c.first, c.second)), c.mode);
    }
}

TEST_F(MotionActivityServiceTest, OnlyConfidentReportsChangeTheMode)
{
    service.start();
    source->report(activity(Confidence::high, &MotionActivity::cycling));
    EXPECT_EQ(service.mode(), TravelMode::cycling);
    source->report(activity(Confidence::low, &MotionActivity::walking));
    EXPECT_EQ(service.mode(), TravelMode::cycling) << "a low-confidence walk after a confident ride";
    source->report(activity(Confidence::medium, &MotionActivity::walking));
    EXPECT_EQ(service.mode(), TravelMode::walking);
    EXPECT_EQ(changes, 2);
}

TEST_F(MotionActivityServiceTest, AnyActivityAuthorizesAndAnUnknownOneKeepsTheMode)
{
    service.start();
    source->report(std::nullopt);
    EXPECT_FALSE(service.isAuthorized()) << "a report without an activity";
    EXPECT_EQ(changes, 0);
    source->report(activity(Confidence::high, &MotionActivity::running));
    source->report(activity(Confidence::high));
    EXPECT_TRUE(service.isAuthorized());
    EXPECT_EQ(service.mode(), TravelMode::running);

    MotionActivityService other(source);
    other.start();
    source->report(activity(Confidence::low));
    EXPECT_TRUE(other.isAuthorized()) << "even a low-confidence unknown report";
    EXPECT_EQ(other.mode(), std::nullopt);
}

TEST_F(MotionActivityServiceTest, StartsOnceWhereMotionIsKnownAndStopsKeepingTheMode)
{
    service.start();
    service.start();
    EXPECT_EQ(source->starts, 1) << "two starts make one request";
    EXPECT_TRUE(service.isRunning());
    source->report(activity(Confidence::high, &MotionActivity::walking));
    service.stop();
    service.stop();
    EXPECT_EQ(source->stops, 1);
    EXPECT_FALSE(service.isRunning());
    EXPECT_EQ(service.mode(), TravelMode::walking);

    auto none = std::make_shared<FakeMotionSource>();
    none->available = false;
    MotionActivityService unavailable(none);
    unavailable.start();
    EXPECT_EQ(none->starts, 0);
    EXPECT_FALSE(unavailable.isRunning());
    EXPECT_EQ(unavailable.mode(), std::nullopt);
}

TEST_F(MotionActivityServiceTest, AReportForAServiceThatIsGoneDoesNothing)
{
    auto handler = [&] {
        MotionActivityService gone(source);
        gone.onChange = [this] { ++changes; };
        gone.start();
        return source->handler;
    }();
    handler(activity(Confidence::high, &MotionActivity::walking));
    EXPECT_EQ(changes, 0);
}
