#include "platform/kde/KdeShortcutKey.h"

#include "platform/HotkeyService.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// The values KDE's shortcut service keeps (and its settings file shows): Qt's key codes with its modifier bits.
TEST(KdeShortcutKey, FunctionKeysDigitsAndLettersWithEachModifierAndNothingElse) {
    const struct {
        unsigned modifiers;
        std::int32_t virtualKey;
        std::optional<int> expected;
    } cases[] = {
        {kModControl, 119, 0x04000000 | 0x01000037},                 // CTRL+F8
        {kModAlt, 'Z', 0x08000000 | 0x5a},                           // ALT+Z
        {kModShift, '7', 0x02000000 | 0x37},                         // SHIFT+7
        {kModControl | kModAlt | kModShift, 'A', 0x0e000000 | 0x41}, // all three
        {kModControl, 124, std::nullopt},                            // F13: no hotkey key
        {0, 'a', std::nullopt},                                      // not a virtual-key code
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KdeShortcutKey(c.modifiers, c.virtualKey), c.expected) << c.modifiers << " " << c.virtualKey;
    }
}

} // namespace
} // namespace velmora
