#include "map-data/TileLoaderPhase.h"
#include "map-data/TileStatusPublisher.h"
#include "platform/DrainableMainQueue.h"
#include "platform/ManualClock.h"

#include <gtest/gtest.h>

#include <vector>

using velorin::TileLoaderPhase;
using velorin::TileLoaderStatus;

TEST(TileLoaderPhase, LabelsReadInFrenchWithOneDecimalOfMegabytes)
{
    struct Case {
        TileLoaderPhase phase;
        std::optional<std::string> label;
    };
    for (const auto& c : std::vector<Case> {
             { TileLoaderPhase::idle(), std::nullopt },
             { TileLoaderPhase::preparing(), "Préparation…" },
             { TileLoaderPhase::downloading(0, 0), "Téléchargement…" },
             { TileLoaderPhase::downloading(5000, -1), "Téléchargement…" },
             { TileLoaderPhase::downloading(1572864, 10485760), "Téléchargement 1,5 / 10,0 Mo" },
         })
        EXPECT_EQ(c.phase.label(), c.label);
}

namespace {

struct TileStatusPublisher : ::testing::Test {
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(100.0);
    std::shared_ptr<platform::DrainableMainQueue> mainQueue = std::make_shared<platform::DrainableMainQueue>();
    std::vector<TileLoaderStatus> published;
    velorin::TileStatusPublisher publisher { clock, mainQueue,
        [this](const TileLoaderStatus& status) { published.push_back(status); } };

    void setPending(bool force, std::int64_t pending)
    {
        publisher.change(force, [pending](TileLoaderStatus& status) { status.pending = pending; });
    }
    std::vector<std::int64_t> publishedPending()
    {
        mainQueue->drain();
        std::vector<std::int64_t> pending;
        for (const auto& status : published)
            pending.push_back(status.pending);
        return pending;
    }
};

} // namespace

TEST_F(TileStatusPublisher, ChangesWithinATenthOfASecondWaitForTheNextPublication)
{
    setPending(false, 1);
    EXPECT_TRUE(published.empty()) << "published on the main queue, not on the writer's thread";
    EXPECT_EQ(publishedPending(), (std::vector<std::int64_t> { 1 }));

    clock->advance(0.05);
    setPending(false, 2);
    EXPECT_EQ(publishedPending(), (std::vector<std::int64_t> { 1 })) << "held back";
    EXPECT_EQ(publisher.current().pending, 2);

    clock->advance(0.05);
    setPending(false, 3);
    EXPECT_EQ(publishedPending(), (std::vector<std::int64_t> { 1 })) << "0.1 s is not more than 0.1 s";

    clock->advance(0.01);
    publisher.change(false, [](TileLoaderStatus& status) { ++status.delivered; });
    ASSERT_EQ(publishedPending(), (std::vector<std::int64_t> { 1, 3 }));
    EXPECT_EQ(published.back().delivered, 1) << "the held change goes out with the next one";
}

TEST_F(TileStatusPublisher, AForcedChangeGoesOutAtOnceAndAnUnchangedStatusNever)
{
    setPending(false, 1);
    setPending(true, 2);
    setPending(true, 2);
    clock->advance(5);
    setPending(false, 2);
    EXPECT_EQ(publishedPending(), (std::vector<std::int64_t> { 1, 2 }));
}
