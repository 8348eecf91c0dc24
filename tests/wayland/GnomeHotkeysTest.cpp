#include "platform/HotkeyRegistry.h"
#include "platform/gnome/GnomeHotkeyService.h"

#include "../platform/fakes/FakeCustomShortcuts.h"
#include "../platform/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

const std::string kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

std::shared_ptr<TStrItem> Item(const std::string& text, std::uint8_t ctrl, std::int32_t key) {
    auto item = std::make_shared<TStrItem>();
    item->FStr = text;
    item->FHKCtrl = ctrl;
    item->FHKChar = key;
    return item;
}

/// The service of process 42 (an executable whose path needs quoting) over a store the test fills first.
class GnomeHotkeys : public ::testing::Test {
protected:
    std::unique_ptr<TGnomeHotkeyService> Service(std::vector<int> runningCopies = {}) {
        return std::make_unique<TGnomeHotkeyService>(
            std::make_unique<FakeCustomShortcuts>(store), "/opt/my apps/velmora", 42, [runningCopies](int pid) {
                return std::find(runningCopies.begin(), runningCopies.end(), pid) != runningCopies.end();
            });
    }

    FakeCustomShortcuts::TStore store;
    FakeTypist typist;
    TRowList rows;
};

TEST_F(GnomeHotkeys, StartAddsOneShortcutPerRowThatRunsTheRowCommandAndStopTakesOnlyThoseAway) {
    store.paths = {kFolder + "custom0/"};
    store.saved[kFolder + "custom0/"] = {"Terminal", "gnome-terminal", "<Super>t"};
    auto service = Service();
    {
        THotKeys hotkeys(*service, typist);
        rows.Append(Item("Dear Sir,\r\nthanks", 1, 116), true); // CTRL+F5
        rows.Append(Item("unchecked", 2, 'Q'), false);
        rows.Append(Item("bare F9", 0, 120), true);
        rows.Append(Item("alt z", 2, 'Z'), true);
        hotkeys.Start(rows);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(0).get()), HotkeyStatus::Registered);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::Registered);

        const std::vector<std::string> expected = {kFolder + "custom0/", kFolder + "velmora-42-row1/",
                                                   kFolder + "velmora-42-row3/", kFolder + "velmora-42-row4/"};
        EXPECT_EQ(store.paths, expected);
        const TCustomShortcut& first = store.saved[kFolder + "velmora-42-row1/"];
        EXPECT_EQ(first.name, "Velmora row 1: Dear Sir, thanks");
        EXPECT_EQ(first.command, "'/opt/my apps/velmora' --type-row 1");
        EXPECT_EQ(first.binding, "<Control>F5");
        EXPECT_EQ(store.saved[kFolder + "velmora-42-row3/"].binding, "F9");
        EXPECT_EQ(store.saved[kFolder + "velmora-42-row4/"].binding, "<Alt>z");
        EXPECT_GT(store.flushes, 0);

        hotkeys.Stop();
        EXPECT_EQ(store.paths, std::vector<std::string>{kFolder + "custom0/"});
        EXPECT_EQ(store.saved.size(), 1U);
    }
    // A second Start and the end of the program: nothing of ours is left.
    {
        THotKeys hotkeys(*service, typist);
        hotkeys.Start(rows);
        EXPECT_EQ(store.paths.size(), 4U);
    }
    service.reset();
    EXPECT_EQ(store.paths, std::vector<std::string>{kFolder + "custom0/"});
    EXPECT_EQ(store.saved.size(), 1U);
}

TEST_F(GnomeHotkeys, CombinationsTheDesktopUsesAreHeldElsewhereAndBareTypedKeysAreNotBound) {
    store.desktop = {"<Alt>F4", "<Super>space", "disabled", "<Primary><Alt>t"};
    store.paths = {kFolder + "custom0/"};
    store.saved[kFolder + "custom0/"] = {"mine", "true", "<Ctrl>F6"};
    auto service = Service();
    THotKeys hotkeys(*service, typist);
    rows.Append(Item("close", 2, 115), true); // ALT+F4
    rows.Append(Item("ctrl f6", 1, 117), true);
    rows.Append(Item("bare a", 0, 'A'), true);
    rows.Append(Item("bare 7", 0, '7'), true);
    rows.Append(Item("ctrl t", 1, 'T'), true); // only CTRL+ALT+T is taken
    hotkeys.Start(rows);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(0).get()), HotkeyStatus::HeldElsewhere);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(1).get()), HotkeyStatus::HeldElsewhere);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::CaughtByTyping);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(3).get()), HotkeyStatus::CaughtByTyping);
    EXPECT_EQ(hotkeys.StatusOf(rows.Item(4).get()), HotkeyStatus::Registered);
    EXPECT_EQ(store.paths, (std::vector<std::string>{kFolder + "custom0/", kFolder + "velmora-42-row5/"}));
}

TEST_F(GnomeHotkeys, ShortcutsOfCopiesThatNoLongerRunAreRemovedThoseOfARunningCopyStay) {
    for (const std::string name :
         {"velmora-7-row1", "velmora-8-row2", "velmora-42-row3", "velmora-x-row1", "custom1"}) {
        store.paths.push_back(kFolder + name + "/");
        store.saved[kFolder + name + "/"] = {name, "cmd", "<Alt>F" + std::to_string(store.paths.size())};
    }
    auto service = Service({8, 42});
    // Process 42 is this one: what it finds of its own is a leftover of an earlier copy with that id.
    EXPECT_EQ(store.paths, (std::vector<std::string>{kFolder + "velmora-8-row2/", kFolder + "velmora-x-row1/",
                                                     kFolder + "custom1/"}));
    EXPECT_EQ(store.saved.count(kFolder + "velmora-7-row1/"), 0U);
}

} // namespace
} // namespace velmora
