#include "platform/HotkeyRegistry.h"
#include "platform/gnome/GnomeHotkeyService.h"

#include "tests/fakes/FakeCustomShortcuts.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

const std::string kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

TStrItemPtr Item(const std::string& text, std::uint8_t ctrl, std::int32_t key) {
    return std::make_shared<TStrItem>(text, ctrl, key);
}

/// The service of process 42, whose executable's path needs quoting, over a store the test fills first; processes
/// 8 and 42 are running copies.
std::unique_ptr<TGnomeHotkeyService> Service(FakeCustomShortcuts::TStore& store) {
    return std::make_unique<TGnomeHotkeyService>(std::make_unique<FakeCustomShortcuts>(store), "/opt/my app's/velmora",
                                                 42, [](int pid) { return pid == 8 || pid == 42; });
}

TEST(GnomeHotkeys, ARowRunsItsQuotedCommandAndTheDesktopsCombinationsAreHeldInAnySpelling) {
    FakeCustomShortcuts::TStore store;
    store.desktop = {"<Alt>F4", "disabled", "<Primary><Alt>t"};
    store.paths = {kFolder + "custom0/"};
    store.saved[kFolder + "custom0/"] = {"mine", "true", "<Ctrl>F6"};
    auto service = Service(store);
    FakeTypist typist;
    TRowList rows;
    {
        THotKeys hotkeys(*service, typist);
        rows.Append(Item("Dear Sir,\r\nthanks", 2, 'Z'), true);
        rows.Append(Item("close", 2, 115), true);   // ALT+F4
        rows.Append(Item("ctrl f6", 1, 117), true); // the user's <Ctrl>F6
        rows.Append(Item("ctrl t", 1, 'T'), true);  // only CTRL+ALT+T is taken
        hotkeys.Start(rows);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(1).get()), HotkeyStatus::HeldElsewhere);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::HeldElsewhere);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(3).get()), HotkeyStatus::Registered);
        const TCustomShortcut& first = store.saved[kFolder + "velmora-42-row1/"];
        EXPECT_EQ(first.name, "Velmora row 1"); // never the text: the desktop keeps it in its settings
        EXPECT_EQ(first.command,
                  "'/opt/my app'\\''s/velmora' --hotkey " + std::to_string(hotkeys.Entries().front().id));
        EXPECT_EQ(first.binding, "<Alt>z");
        EXPECT_EQ(store.paths.size(), 3U);
    }
    // Stopped with the registry; what is still bound when the service ends goes too.
    EXPECT_EQ(store.paths.size(), 1U);
    service->RegisterHotKey({7, kModAlt, 'Q', 1, "Velmora row 1"});
    service->FinishRegistrations();
    EXPECT_EQ(store.paths.size(), 2U);
    service.reset();
    EXPECT_EQ(store.paths, std::vector<std::string>{kFolder + "custom0/"});
    EXPECT_EQ(store.saved.size(), 1U);
}

TEST(GnomeHotkeys, OnlyShortcutsOfCopiesThatNoLongerRunAreRemovedAtStartUp) {
    FakeCustomShortcuts::TStore store;
    for (const std::string name :
         {"velmora-7-row1", "velmora-8-row2", "velmora-42-row3", "velmora-x-row1", "custom1"}) {
        store.paths.push_back(kFolder + name + "/");
        store.saved[kFolder + name + "/"] = {name, "cmd", "F" + std::to_string(store.paths.size())};
    }
    auto service = Service(store);
    // Process 42 is this one: what it finds of its own was left by an earlier copy with that id.
    EXPECT_EQ(store.paths, (std::vector<std::string>{kFolder + "velmora-8-row2/", kFolder + "velmora-x-row1/",
                                                     kFolder + "custom1/"}));
    EXPECT_EQ(store.saved.count(kFolder + "velmora-7-row1/"), 0U);
}

} // namespace
} // namespace velmora
