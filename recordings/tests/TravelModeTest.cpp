#include "recordings/TravelMode.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using velorin::TravelMode;

TEST(TravelMode, EveryModeRoundTripsThroughItsRawValueAndJson)
{
    for (TravelMode mode : velorin::kAllTravelModes) {
        EXPECT_EQ(velorin::travelModeFromRawValue(velorin::rawValue(mode)), mode);
        const nlohmann::json json = mode;
        EXPECT_EQ(json, std::string(velorin::rawValue(mode)));
        EXPECT_EQ(json.get<TravelMode>(), mode);
    }
    EXPECT_EQ(nlohmann::json(TravelMode::cycling).dump(), "\"cycling\"");
}

TEST(TravelMode, AnUnknownTextGivesNoModeAndFailsToDecode)
{
    EXPECT_EQ(velorin::travelModeFromRawValue("Walking"), std::nullopt);
    EXPECT_EQ(velorin::travelModeFromRawValue(""), std::nullopt);
    EXPECT_THROW(nlohmann::json("flying").get<TravelMode>(), nlohmann::json::type_error);
    EXPECT_THROW(nlohmann::json(3).get<TravelMode>(), nlohmann::json::type_error);
}

TEST(TravelMode, OnlyWalkingRunningAndCyclingAreSelfPropelled)
{
    const std::pair<TravelMode, bool> cases[] = {{TravelMode::stationary, false}, {TravelMode::walking, true},
        {TravelMode::running, true}, {TravelMode::cycling, true}, {TravelMode::automotive, false}};
    for (auto [mode, selfPropelled] : cases)
        EXPECT_EQ(velorin::isSelfPropelled(mode), selfPropelled) << velorin::rawValue(mode);
}
