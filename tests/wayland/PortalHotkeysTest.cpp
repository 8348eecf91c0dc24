#include "platform/HotkeyRegistry.h"
#include "platform/portal/PortalTrigger.h"

#include "../platform/fakes/FakeTypist.h"

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

TEST(PortalTrigger, TheDescriptionNamesTheRowAndShowsTheTextOnOneShortLine) {
    EXPECT_EQ(PortalShortcutDescription(3, "Dear Sir,\r\n\tthanks"), "Velmora row 3: Dear Sir, thanks");
    const std::string long_text(100, 'x');
    EXPECT_EQ(PortalShortcutDescription(1, "  é" + long_text), "Velmora row 1: é" + std::string(39, 'x') + "…");
    EXPECT_EQ(PortalShortcutId(12), "row-12");
}

/// A service that, like the portal, binds everything at the end of a Start and refuses what it was told to.
class TBatchService final : public IHotkeyService {
public:
    HotkeyStatus RegisterHotKey(int id, unsigned, std::int32_t) override {
        asked.push_back(id);
        return HotkeyStatus::Registered;
    }
    void UnregisterHotKey(int) override {}
    void SetPressHandler(HotkeyPressHandler) override {}
    void DescribeHotKey(int id, std::size_t rowNumber, const std::string& text) override {
        described.push_back({id, rowNumber, text});
    }
    std::map<int, HotkeyStatus> FinishRegistrations() override {
        std::map<int, HotkeyStatus> refused;
        for (const int id : asked) {
            if (id == refuse) {
                refused[id] = HotkeyStatus::NotBound;
            }
        }
        return refused;
    }

    struct TDescribed {
        int id;
        std::size_t rowNumber;
        std::string text;
    };
    std::vector<int> asked;
    std::vector<TDescribed> described;
    int refuse = 0;
};

TEST(PortalTrigger, ShortcutsTheDesktopDidNotBindAreMarkedOnTheirRowsOnly) {
    TBatchService service;
    FakeTypist typist;
    TRowList rows;
    THotKeys hotkeys(service, typist);
    const auto item = [](const char* text, std::uint8_t ctrl, std::int32_t key) {
        return std::make_shared<TStrItem>(text, ctrl, key);
    };
    rows.Append(item("one", 1, 116), true);
    rows.Append(item("two", 2, 'Z'), true);
    rows.Append(item("same as one", 1, 116), true); // an upper row has it: neither described nor asked for
    rows.Append(item("four", 0, 120), true);
    service.refuse = HotkeyAtom("InputHotKeyF1");
    hotkeys.Start(rows);

    ASSERT_EQ(service.described.size(), 3U);
    EXPECT_EQ(service.described[1].rowNumber, 2U);
    EXPECT_EQ(service.described[1].text, "two");
    EXPECT_EQ(service.described[2].rowNumber, 4U);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(0).get()), HotkeyStatus::Registered);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(1).get()), HotkeyStatus::NotBound);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::HeldByEarlierRow);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(3).get()), HotkeyStatus::Registered);
}

} // namespace
} // namespace velmora
