#include "platform/x11/X11SelectionRules.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

using namespace std::string_literals;

TEST(X11SelectionRules, OnlyTheFocusedClientsRequestForTextCountsAsThePaste) {
    constexpr std::uint32_t kMask = 0x001FFFFF;
    constexpr std::uint32_t kEdit = 0x00600007; // a window of client 3
    const struct {
        std::string target;
        std::uint32_t requestor;
        std::uint32_t pasteWindow;
        bool counts;
    } cases[] = {
        {"UTF8_STRING", 0x00600123, kEdit, true},              // another window of the same client (Qt's own)
        {"text/plain;charset=utf-8", 0x00600007, kEdit, true}, //
        {"STRING", 0x00600123, kEdit, true},
        {"UTF8_STRING", 0x00A00001, kEdit, false}, // a clipboard manager reading the new content
        {"TARGETS", 0x00600123, kEdit, false},     // the application asks what there is: not yet the paste
        {"x-kde-passwordManagerHint", 0x00600123, kEdit, false},
        {"UTF8_STRING", 0x00A00001, 0, true}, // no window named: any request for text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountsAsPaste(c.target, c.requestor, c.pasteWindow, kMask), c.counts) << c.target << c.requestor;
    }
}

TEST(X11SelectionRules, APasteServesItsTextAsEveryTextTargetAndTheSecretMark) {
    const TX11Items items = PasteItems(PasteContent(U"café 漢"));
    const std::string utf8 = "caf\xC3\xA9 \xE6\xBC\xA2";
    for (const char* target : {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "TEXT"}) {
        ASSERT_TRUE(items.contains(target)) << target;
        EXPECT_EQ(items.at(target).bytes, utf8) << target;
        EXPECT_EQ(items.at(target).format, 8) << target;
    }
    EXPECT_EQ(items.at("STRING").bytes, "caf\xE9 ?");
    EXPECT_TRUE(MarkedSecret(ContentOf(items))); // clipboard managers keep no copy
    const std::vector<std::string> targets = ServedTargets(items);
    EXPECT_EQ(targets.size(), items.size() + 2);
    for (const std::string& target : targets) {
        EXPECT_TRUE(IsMetaTarget(target) || items.contains(target)) << target;
    }
}

TEST(X11SelectionRules, TerminalsAreKnownByEitherNameOfTheirClass) {
    EXPECT_TRUE(IsTerminalClass("xterm\0XTerm\0"s));
    EXPECT_TRUE(IsTerminalClass("st-256color\0st-256color\0"s));
    EXPECT_TRUE(IsTerminalClass("gnome-terminal-server\0Gnome-terminal\0"s));
    EXPECT_TRUE(IsTerminalClass("main\0kitty\0"s));
    EXPECT_FALSE(IsTerminalClass("velmora_test_target\0velmora_test_target\0"s));
    EXPECT_FALSE(IsTerminalClass("Navigator\0firefox-esr\0"s));
    EXPECT_FALSE(IsTerminalClass("xtermish\0"s));
    EXPECT_FALSE(IsTerminalClass(""));
}

} // namespace
} // namespace velmora
