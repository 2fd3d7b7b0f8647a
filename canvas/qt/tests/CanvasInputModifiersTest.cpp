#include "canvas/qt/CanvasInput.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(CanvasInputModifiers, EachKeyboardModifierNamesOneCanvasModifier)
{
    struct Case {
        Qt::KeyboardModifiers flags;
        KeyModifiers expected;
    };
    const Case cases[] = {
        {Qt::NoModifier, {}},
        {Qt::ControlModifier, {.control = true}},
        {Qt::AltModifier, {.option = true}},
        {Qt::ShiftModifier, {.shift = true}},
        {Qt::MetaModifier, {.command = true}},
        {Qt::AltModifier | Qt::ShiftModifier, {.option = true, .shift = true}},
        {Qt::KeypadModifier | Qt::GroupSwitchModifier, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CanvasInput::modifiers(c.flags), c.expected) << c.flags.toInt();
}

} // namespace
} // namespace velorin
