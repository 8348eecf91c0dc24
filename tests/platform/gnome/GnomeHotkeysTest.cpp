#include "platform/HotkeyRegistry.h"
#include "platform/gnome/GnomeHotkeyService.h"
#include "platform/gnome/GnomeLeftovers.h"

#include "tests/core/TempFolder.h"
#include "tests/fakes/FakeCustomShortcuts.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

namespace velmora {
namespace {

const std::string kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

TStrItemPtr Item(const std::string& text, std::uint8_t ctrl, std::int32_t key) {
    return std::make_shared<TStrItem>(text, ctrl, key);
}

const std::string kTag = "0123456789abcdef";

/// The service of the copy tagged kTag, whose executable's path needs quoting, over a store the test fills first.
std::unique_ptr<TGnomeHotkeyService> Service(FakeCustomShortcuts::TStore& store) {
    return std::make_unique<TGnomeHotkeyService>(std::make_unique<FakeCustomShortcuts>(store), "/opt/my app's/velmora",
                                                 kTag);
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
        rows.Append(Item("locked", 1, 'L'), true);  // the settings do not keep it
        store.refused = {kFolder + "velmora-" + kTag + "-row5/"};
        hotkeys.SetPickerChord(kDefaultPickerChord);
        hotkeys.Start(rows);
        EXPECT_EQ(store.flushes, 2) << "one step for the shortcuts written, one to take the refused one out";
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(1).get()), HotkeyStatus::HeldElsewhere);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(2).get()), HotkeyStatus::HeldElsewhere);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(3).get()), HotkeyStatus::Registered);
        EXPECT_EQ(hotkeys.StatusOf(rows.Item(4).get()), HotkeyStatus::NotBound);
        EXPECT_EQ(hotkeys.Entries()[4].reason, "refused");
        const TCustomShortcut& first = store.saved[kFolder + "velmora-" + kTag + "-row1/"];
        EXPECT_EQ(first.name, "Velmora row 1"); // never the text: the desktop keeps it in its settings
        EXPECT_EQ(first.command,
                  "'/opt/my app'\\''s/velmora' --hotkey " + std::to_string(hotkeys.Entries().front().id));
        EXPECT_EQ(first.binding, "<Alt>z");
        const TCustomShortcut& picker = store.saved[kFolder + "velmora-" + kTag + "-row0/"];
        EXPECT_EQ(picker.name, "Velmora picker");
        EXPECT_EQ(picker.command, "'/opt/my app'\\''s/velmora' --pick");
        EXPECT_EQ(picker.binding, "<Control><Alt>space");
        EXPECT_EQ(store.paths.size(), 4U);
        hotkeys.Stop();
        EXPECT_EQ(store.flushes, 3) << "Stop takes them all out in one step";
        EXPECT_EQ(store.paths.size(), 1U);
        hotkeys.Start(rows);
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
    const std::string gone = "00000000000000aa"; // a killed copy's tag; kTag's copy runs
    for (const std::string& name :
         std::vector<std::string>{"velmora-7-row1", "velmora-8-row2", "velmora-" + kTag + "-row3",
                                  "velmora-" + gone + "-row1", "velmora-x-row1", "custom1"}) {
        store.paths.push_back(kFolder + name + "/");
        store.saved[kFolder + name + "/"] = {name, "cmd", "F" + std::to_string(store.paths.size())};
    }
    RemoveGnomeLeftovers(
        *std::make_unique<FakeCustomShortcuts>(store), [](const std::string& tag) { return tag == kTag; },
        [](int pid) { return pid == 8; });
    EXPECT_EQ(store.paths,
              (std::vector<std::string>{kFolder + "velmora-8-row2/", kFolder + "velmora-" + kTag + "-row3/",
                                        kFolder + "velmora-x-row1/", kFolder + "custom1/"}));
    EXPECT_EQ(store.saved.count(kFolder + "velmora-7-row1/"), 0U);
    EXPECT_EQ(store.flushes, 1);
}

TEST(GnomeHotkeys, ACopyWhoseExecutableAnUpgradeReplacedStillRuns) {
    const testing::TempFolder tmp;
    const std::string copy = tmp.Path(std::filesystem::read_symlink("/proc/self/exe").filename().string());
    std::filesystem::copy_file("/bin/sleep", copy);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(copy.c_str(), copy.c_str(), "600", nullptr);
        ::_exit(127);
    }
    while (std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe").string() != copy) {
        std::this_thread::yield();
    }
    std::filesystem::remove(copy);
    EXPECT_TRUE(IsRunningCopy(pid));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

} // namespace
} // namespace velmora
