#include "platform/HotkeyChord.h"

#include <gtest/gtest.h>

#include <optional>

namespace velmora {
namespace {

TEST(HotkeyChord, TextReadsBackInAnyCaseAndOrderAndOtherTextsAreNoChord) {
    const struct {
        const char* text;
        std::optional<THotkeyChord> chord;
    } cases[] = {
        {"CTRL+ALT+Space", kDefaultPickerChord},
        {"alt+ctrl+space", kDefaultPickerChord},
        {"SHIFT+F12", THotkeyChord{kModShift, 123}},
        {"CTRL+ALT+SHIFT+Z", THotkeyChord{kModControl | kModAlt | kModShift, 'Z'}},
        {"7", THotkeyChord{0, '7'}},
        {"CTRL+ALT+", std::nullopt},
        {"CTRL++", std::nullopt},
        {"SUPER+A", std::nullopt},
        {"CTRL+Tab", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseChordText(c.text), c.chord) << c.text;
        if (c.chord) {
            EXPECT_EQ(ParseChordText(ChordText(*c.chord)), c.chord) << c.text;
        }
    }
    EXPECT_EQ(ChordText(kDefaultPickerChord), "CTRL+ALT+Space");
}

} // namespace
} // namespace velmora
