#include "canvas/MotionKeyName.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(MotionKeyName, ArrowsAndTheFourLettersInEitherCaseAreNamedAndNothingElse)
{
    struct Case {
        ArrowKey arrow;
        const char* characters;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {ArrowKey::left, "", "left"},
        {ArrowKey::right, "", "right"},
        {ArrowKey::up, "", "up"},
        {ArrowKey::down, "", "down"},
        {ArrowKey::none, "Q", "q"},
        {ArrowKey::none, "d", "d"},
        {ArrowKey::none, "z", "z"},
        {ArrowKey::none, "S", "s"},
        {ArrowKey::none, "a", std::nullopt},
        {ArrowKey::none, "qd", std::nullopt},
        {ArrowKey::none, "", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(motionKeyName(c.arrow, c.characters), c.name) << c.characters;
}

} // namespace
} // namespace velorin
