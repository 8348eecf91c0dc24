#include "platform/HotkeyRegistry.h"
#include "platform/ShortcutNames.h"
#include "platform/portal/PortalTrigger.h"

#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace velmora {
namespace {

TEST(PortalTrigger, ModifiersInOrderThenTheKeysymName) {
    EXPECT_EQ(PortalTrigger(kModControl, 116), "CTRL+F5");
    EXPECT_EQ(PortalTrigger(kModAlt, 'Z'), "ALT+Z");
    EXPECT_EQ(PortalTrigger(0, 120), "F9");
    EXPECT_EQ(PortalTrigger(kModShift, '7'), "SHIFT+7");
    EXPECT_EQ(PortalTrigger(kModAlt | kModControl, 112), "CTRL+ALT+F1");
    EXPECT_EQ(PortalTrigger(0, 123), "F12");
    EXPECT_FALSE(PortalTrigger(kModControl, 124).has_value());
    EXPECT_FALSE(PortalTrigger(0, 'a').has_value());
}

TEST(ShortcutNames, IdsAndLabelsNameTheRowOnlyAndTheCommandIsOneQuotedWord) {
    EXPECT_EQ(ShortcutId(12), "row-12");
    EXPECT_EQ(ShortcutLabel(3), "Velmora row 3");
    EXPECT_EQ(HotkeyCommand("/usr/bin/velmora", 7), "/usr/bin/velmora --hotkey 7");
    EXPECT_EQ(HotkeyCommand("/opt/a b/v", 1), "'/opt/a b/v' --hotkey 1");
    EXPECT_EQ(ShellWord("it's $HOME `x`"), "'it'\\''s $HOME `x`'");
}

TEST(HotkeyRequests, EachRowIsAskedForOnceWithItsNumberAndALabelWithoutItsText) {
    test::FakeHotkeyService service;
    FakeTypist typist;
    TRowList rows;
    THotKeys hotkeys(service, typist);
    rows.Append(std::make_shared<TStrItem>("one", 1, 116), true);
    rows.Append(std::make_shared<TStrItem>("same as one", 1, 116), true); // an upper row has it: not asked for
    rows.Append(std::make_shared<TStrItem>("secret three", 2, 'Z'), true);
    hotkeys.Start(rows);
    ASSERT_EQ(service.registerCalls.size(), 2U);
    EXPECT_EQ(service.registerCalls[1].rowNumber, 3U);
    EXPECT_EQ(service.registerCalls[1].label, "Velmora row 3");
}

} // namespace
} // namespace velmora
