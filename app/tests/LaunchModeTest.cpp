#include "app/LaunchMode.h"

#include <gtest/gtest.h>

using velorin::LaunchMode;

TEST(LaunchMode, ADisplayAlwaysShowsTheWindowAndOnlyASnapshotRunsWithoutOne)
{
    const std::vector<std::string> snapshot {"velorin", "-startAt", "45.9,6.87,14", "-snapshotTo", "out.jpg"};
    const std::vector<std::string> plain {"velorin"};
    const std::vector<std::string> noView {"velorin", "-snapshotTo", "out.jpg"};
    struct Case {
        const std::vector<std::string>& arguments;
        bool display;
        LaunchMode mode;
    };
    for (const Case& c : {Case {snapshot, true, LaunchMode::window}, Case {plain, true, LaunchMode::window},
             Case {snapshot, false, LaunchMode::offscreenSnapshot}, Case {plain, false, LaunchMode::refused},
             Case {noView, false, LaunchMode::refused}}) {
        EXPECT_EQ(velorin::launchMode(c.arguments, c.display), c.mode)
            << c.arguments.size() << " arguments, display " << c.display;
    }
}
