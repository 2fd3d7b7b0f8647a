#include "platform/LaunchArguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using platform::launchArgumentValue;

TEST(LaunchArguments, TheValueFollowsTheFirstExactFlag)
{
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases {
        { { "velorin", "-filmTrack", "Mar", "-filmTrack", "Lundi" }, "Mar" },
        { { "velorin", "-filmTrack", "" }, "" },
        { { "velorin", "-filmTrack", "-flyoverMode", "drone" }, "-flyoverMode" },
        { { "velorin", "-filmTrack" }, std::nullopt },
        { { "velorin", "-FilmTrack", "Mar" }, std::nullopt },
        { { "velorin", "-filmTrackX", "Mar" }, std::nullopt },
        { {}, std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(launchArgumentValue("-filmTrack", c.arguments), c.value) << ::testing::PrintToString(c.arguments);
}
