#include "platform/HotkeyRegistry.h"

#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr std::int32_t kF5 = 116;
constexpr std::int32_t kF6 = 117;
constexpr std::int32_t kKeyA = 65;

TStrItemPtr Item(const std::string& text, std::uint8_t modifierIndex, std::int32_t key) {
    return std::make_shared<TStrItem>(text, modifierIndex, key);
}

class HotkeyRegistryTest : public ::testing::Test {
protected:
    test::FakeHotkeyService service;
    FakeTypist typist;
    TRowList rows;
    THotKeys hotkeys{service, typist};
};

TEST(HotkeyAtom, SameNameSameIdDifferentNamesDifferentIdsNeverZero) {
    const auto first = HotkeyAtom("InputHotKeyF0");
    EXPECT_NE(first, 0);
    EXPECT_EQ(HotkeyAtom("InputHotKeyF0"), first);
    EXPECT_NE(HotkeyAtom("InputHotKeyF1"), first);
    EXPECT_NE(HotkeyAtom("InputHotKeyF10"), HotkeyAtom("InputHotKeyF1"));
    EXPECT_NE(HotkeyAtom("InputHotKeyF10"), 0);
}

TEST(ModifierFlags, IndexOneIsCtrlTwoIsAltThreeIsShiftOthersNone) {
    EXPECT_EQ(ModifierFlags(0), 0u);
    EXPECT_EQ(ModifierFlags(1), kModControl);
    EXPECT_EQ(ModifierFlags(2), kModAlt);
    EXPECT_EQ(ModifierFlags(3), kModShift);
    EXPECT_EQ(ModifierFlags(4), 0u);
    EXPECT_EQ(ModifierFlags(255), 0u);
}

TEST_F(HotkeyRegistryTest, StopAndPressesBeforeAnyStartDoNothing) {
    hotkeys.Stop();
    hotkeys.HandleHotKey(kModControl, kF5);
    EXPECT_FALSE(hotkeys.Exists());
    EXPECT_TRUE(service.unregisterCalls.empty());
    EXPECT_TRUE(typist.Texts().empty());
}

TEST_F(HotkeyRegistryTest, StartWithNoCheckedRowsCreatesAnEmptyRegistry) {
    rows.Append(Item("x", 1, kF5), false);
    hotkeys.Start(rows);
    EXPECT_TRUE(hotkeys.Exists());
    EXPECT_TRUE(hotkeys.Entries().empty());
    EXPECT_TRUE(service.registerCalls.empty());
    service.DeliverQueuedPress(1);
    hotkeys.HandleHotKey(kModControl, kF5);
    hotkeys.Stop();
    EXPECT_TRUE(typist.Texts().empty());
    EXPECT_TRUE(service.unregisterCalls.empty());
}

TEST_F(HotkeyRegistryTest, CheckedRowsOneTwoAndFourGetIdsOfNamesEndingZeroOneThreeInOrder) {
    rows.Append(Item("one", 1, 112), true);
    rows.Append(Item("two", 1, 113), true);
    rows.Append(Item("three", 1, 114), false);
    rows.Append(Item("four", 1, 115), true);
    hotkeys.Start(rows);

    const std::vector<int> expected{HotkeyAtom("InputHotKeyF0"), HotkeyAtom("InputHotKeyF1"),
                                    HotkeyAtom("InputHotKeyF3")};
    ASSERT_EQ(hotkeys.Entries().size(), 3u);
    ASSERT_EQ(service.registerCalls.size(), 3u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(hotkeys.Entries()[i].id, expected[i]);
        EXPECT_EQ(service.registerCalls[i].id, expected[i]);
    }
    EXPECT_EQ(hotkeys.Entries()[2].item->FStr, "four");
    EXPECT_EQ(service.registerCalls[2].virtualKey, 115);
}

TEST_F(HotkeyRegistryTest, StartTwiceReleasesTheFirstRunAndKeepsOneEntryPerCheckedRow) {
    rows.Append(Item("a", 1, kF5), true);
    rows.Append(Item("b", 2, kF5), true);
    hotkeys.Start(rows);
    hotkeys.Start(rows);
    EXPECT_EQ(hotkeys.Entries().size(), 2u);
    EXPECT_EQ(service.unregisterCalls.size(), 2u);
    EXPECT_EQ(service.inForce.size(), 2u);
    for (const auto& entry : hotkeys.Entries()) {
        EXPECT_EQ(entry.status, HotkeyStatus::Registered);
    }
}

TEST_F(HotkeyRegistryTest, TwoRowsWithTheSameCombinationTypeTheUpperOneEveryTime) {
    rows.Append(Item("other", 1, kF6), true);
    rows.Append(Item("upper", 1, kF5), true);
    rows.Append(Item("lower", 1, kF5), true);
    rows.Item(1)->FSecret = true;
    rows.Item(1)->FDelay = 40;
    hotkeys.Start(rows);

    ASSERT_EQ(hotkeys.Entries().size(), 3u);
    EXPECT_EQ(hotkeys.Entries()[1].status, HotkeyStatus::Registered);
    EXPECT_EQ(hotkeys.Entries()[2].status, HotkeyStatus::HeldByEarlierRow);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::HeldByEarlierRow);

    EXPECT_TRUE(service.Press(kModControl, kF5));
    EXPECT_TRUE(service.Press(kModControl, kF5));
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"upper", "upper"}));
    // A press names the upper row's registration (a second press ends its text) and carries the row's options; a
    // press at once after it is the key's auto-repeat, a text of its own.
    EXPECT_EQ(typist.requests[0].source, hotkeys.Entries()[1].id);
    EXPECT_EQ(typist.requests[1].source, 0);
    EXPECT_TRUE(typist.requests[1].secret);
    EXPECT_EQ(typist.requests[1].script.pace, 40u);

    // Stop releases every id, the refused one included, and leaves nothing in force.
    hotkeys.Stop();
    EXPECT_EQ(service.unregisterCalls.size(), 3u);
    EXPECT_TRUE(service.inForce.empty());
}

TEST_F(HotkeyRegistryTest, ACombinationHeldElsewhereIsRecordedWithItsStatusAndNeverTyped) {
    service.heldElsewhere.insert({kModControl, kF5});
    rows.Append(Item("mine", 1, kF5), true);
    rows.Append(Item("also mine", 1, kF5), true);
    rows.Append(Item("unknown", 0, 7), true);
    service.unknownKeys.insert(7);
    hotkeys.Start(rows);

    ASSERT_EQ(hotkeys.Entries().size(), 3u);
    EXPECT_EQ(hotkeys.Entries()[0].status, HotkeyStatus::HeldElsewhere);
    EXPECT_EQ(hotkeys.Entries()[1].status, HotkeyStatus::HeldElsewhere);
    EXPECT_EQ(hotkeys.Entries()[2].status, HotkeyStatus::UnknownKey);
    EXPECT_FALSE(service.Press(kModControl, kF5));
    EXPECT_TRUE(typist.Texts().empty());
    EXPECT_FALSE(hotkeys.StatusOf(nullptr).has_value());
}

TEST_F(HotkeyRegistryTest, ModifierIndexThreeIsShiftAndFourOrMoreIsABareKey) {
    rows.Append(Item("shifted", 3, kF5), true);
    rows.Append(Item("bare", 4, kKeyA), true);
    rows.Append(Item("also bare", 255, kF6), true);
    hotkeys.Start(rows);

    ASSERT_EQ(service.registerCalls.size(), 3u);
    EXPECT_EQ(service.registerCalls[0].modifiers, kModShift);
    EXPECT_EQ(service.registerCalls[1].modifiers, 0u);
    EXPECT_EQ(service.registerCalls[2].modifiers, 0u);

    EXPECT_TRUE(service.Press(kModShift, kF5));
    EXPECT_TRUE(service.Press(0, kKeyA));
    EXPECT_TRUE(service.Press(0, kF6));
    EXPECT_FALSE(service.Press(0, kF5));
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"shifted", "bare", "also bare"}));
}

TEST_F(HotkeyRegistryTest, ModifierIndexZeroAndFourAreTheSameCombination) {
    rows.Append(Item("zero", 0, kKeyA), true);
    rows.Append(Item("four", 4, kKeyA), true);
    hotkeys.Start(rows);
    EXPECT_EQ(hotkeys.Entries()[1].status, HotkeyStatus::HeldByEarlierRow);
    service.Press(0, kKeyA);
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"zero"}));
}

TEST_F(HotkeyRegistryTest, ThePressUsesTheItemsCurrentValues) {
    rows.Append(Item("before", 1, kF5), true);
    rows.Append(Item("second", 2, kF6), true);
    hotkeys.Start(rows);

    rows.Item(0)->FStr = "after";
    service.Press(kModControl, kF5);
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"after"}));

    // A changed hotkey: the old combination stays registered but matches nothing, the new one is not registered,
    // and a combination another entry now has goes to that entry.
    rows.Item(0)->FHKChar = kF6;
    rows.Item(0)->FHKCtrl = 2;
    EXPECT_TRUE(service.Press(kModControl, kF5));
    EXPECT_EQ(typist.Texts().size(), 1u);
    EXPECT_TRUE(service.Press(kModAlt, kF6));
    EXPECT_EQ(typist.Texts().back(), "after");
    EXPECT_EQ(service.inForce.size(), 2u);
}

TEST_F(HotkeyRegistryTest, ADeletedRowsItemStaysAliveUntilStop) {
    auto item = Item("still here", 1, kF5);
    std::weak_ptr<TStrItem> watch = item;
    rows.Append(std::move(item), true);
    hotkeys.Start(rows);

    rows.Delete(0);
    ASSERT_FALSE(watch.expired());
    service.Press(kModControl, kF5);
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"still here"}));

    hotkeys.Stop();
    EXPECT_TRUE(watch.expired());
}

TEST_F(HotkeyRegistryTest, StopReleasesTheIdsOfStartAndLaterPressesDoNothing) {
    rows.Append(Item("a", 1, kF5), true);
    rows.Append(Item("b", 1, kF6), true);
    hotkeys.Start(rows);
    const std::vector<int> started{hotkeys.Entries()[0].id, hotkeys.Entries()[1].id};

    rows.Delete(0); // the rows change while running; Stop still releases what Start registered
    rows.Clear();
    EXPECT_EQ(typist.cancels, 0);
    hotkeys.Stop();
    EXPECT_EQ(typist.cancels, 1) << "texts of earlier presses still queued are dropped";
    EXPECT_EQ(service.unregisterCalls, started);
    EXPECT_TRUE(hotkeys.Exists());
    EXPECT_TRUE(hotkeys.Entries().empty());

    service.DeliverQueuedPress(started[0]); // already queued when Stop ran
    EXPECT_TRUE(typist.Texts().empty());
}

TEST(HotkeyRegistryLifetime, DestroyingTheRegistryReleasesItsHotkeysAndStopsHearingPresses) {
    test::FakeHotkeyService service;
    FakeTypist typist;
    TRowList rows;
    rows.Append(Item("a", 1, kF5), true);
    {
        THotKeys hotkeys(service, typist);
        hotkeys.Start(rows);
        EXPECT_TRUE(service.pressHandler);
    }
    EXPECT_TRUE(service.inForce.empty());
    EXPECT_FALSE(service.pressHandler);
}

} // namespace
} // namespace velmora
