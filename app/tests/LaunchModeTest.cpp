#include "app/LaunchMode.h"

#include <gtest/gtest.h>

using velorin::LaunchMode;

TEST(LaunchMode, ADisplayAlwaysShowsTheWindowAndOnlyASnapshotOrAFilmRunsWithoutOne)
{
    const std::vector<std::string> snapshot {"velorin", "-startAt", "45.9,6.87,14", "-snapshotTo", "out.jpg"};
    const std::vector<std::string> plain {"velorin"};
    const std::vector<std::string> noView {"velorin", "-snapshotTo", "out.jpg"};
    const std::vector<std::string> travel {"velorin", "-startAt", "45.83,6.86,13,0,60", "-filmTravel",
        "45.83,6.86;45.84,6.88", "-filmTo", "out.mp4"};
    const std::vector<std::string> track {"velorin", "-filmTrack", "Mardi", "-filmTo", "out.mp4"};
    const std::vector<std::string> filmOfNothing {"velorin", "-filmTo", "out.mp4"};
    struct Case {
        const std::vector<std::string>& arguments;
        bool display;
        LaunchMode mode;
    };
    for (const Case& c : {Case {snapshot, true, LaunchMode::window}, Case {plain, true, LaunchMode::window},
             Case {snapshot, false, LaunchMode::offscreenRun}, Case {plain, false, LaunchMode::refused},
             Case {noView, false, LaunchMode::refused}, Case {travel, false, LaunchMode::offscreenRun},
             Case {track, false, LaunchMode::offscreenRun}, Case {filmOfNothing, false, LaunchMode::refused},
             Case {travel, true, LaunchMode::window}}) {
        EXPECT_EQ(velorin::launchMode(c.arguments, c.display), c.mode)
            << c.arguments.size() << " arguments, display " << c.display;
    }
}
