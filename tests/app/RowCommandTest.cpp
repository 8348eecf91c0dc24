#include "app/RowCommand.h"
#include "app/PrivateSocket.h"
#include "core/FileSystem.h"
#include "platform/gnome/GnomeHotkeyService.h"

#include "tests/core/TempFolder.h"

#include "tests/fakes/FakeCustomShortcuts.h"
#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace velmora {
namespace {

TEST(RowCommand, OnlyAPositiveDecimalNumberIsARow) {
    EXPECT_EQ(ParseRowNumber("3"), 3U);
    EXPECT_EQ(ParseRowNumber("120"), 120U);
    for (const char* bad : {"", "0", "-1", "+2", "3a", " 3", "0x10", "1234567890"}) {
        EXPECT_FALSE(ParseRowNumber(bad).has_value()) << bad;
    }
}

TEST(RowCommand, TheSocketIsPrivateToTheUserAndNamedAfterTheListFolder) {
    const std::string a = CopyTag("/opt/a");
    const std::string path = RowCommandSocketPath(a, "/run/user/1000", nullptr, 1000);
    EXPECT_EQ(path, "/run/user/1000/velmora-" + a + ".sock");
    EXPECT_NE(RowCommandSocketPath(CopyTag("/opt/b"), "/run/user/1000", nullptr, 1000), path);
    // Without a runtime folder: in a folder of the user's own inside the shared one.
    EXPECT_EQ(RowCommandSocketPath(a, nullptr, nullptr, 1000).rfind("/tmp/velmora-1000/velmora-", 0), 0U);
    EXPECT_EQ(RowCommandSocketPath(a, "relative", "/var/tmp", 7).rfind("/var/tmp/velmora-7/", 0), 0U);
}

TEST(RowCommand, TheSocketsFolderIsMadePrivateAndAnyOtherIsRefused) {
    const testing::TempFolder tmp;
    MakePrivateFolder(tmp.Path("new"), ::getuid());
    EXPECT_NO_THROW(MakePrivateFolder(tmp.Path("new"), ::getuid())) << "made 0700";
    ::symlink(tmp.Path("new").c_str(), tmp.Path("link").c_str());
    ::chmod(tmp.Path().c_str(), 0701);
    for (const std::string& name : {tmp.Path("link"), tmp.Path()}) {
        EXPECT_THROW(MakePrivateFolder(name, ::getuid()), FileError) << name;
    }
}

class RowRequestTest : public ::testing::Test {
protected:
    RowRequestTest() {
        for (const char* text : {"first", "second", "third"}) {
            rows.Append(std::make_shared<TStrItem>(text, 1, 116), std::string(text) != "second");
        }
    }
    std::string Ask(const std::string& request) { return AnswerRowRequest(request, &rows, &hotkeys); }

    test::FakeHotkeyService service;
    FakeTypist typist;
    TRowList rows;
    THotKeys hotkeys{service, typist};
};

TEST_F(RowRequestTest, TypesTheRowNumberedAsInTheListWhateverBecameOfItsHotkey) {
    hotkeys.Start(rows);
    // Rows 1 and 3 share CTRL+F5: the lower one's hotkey is not in force, but its command is.
    EXPECT_EQ(Ask("type-row 3"), "ok");
    EXPECT_EQ(Ask("type-row 1"), "ok");
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"third", "first"}));
}

TEST_F(RowRequestTest, RowsNotInForceAndBadRequestsTypeNothingAndSayWhy) {
    EXPECT_NE(Ask("type-row 1").find("press Start"), std::string::npos); // before any Start
    hotkeys.Start(rows);
    EXPECT_NE(Ask("type-row 2").find("Row 2 is not in force"), std::string::npos); // unchecked at Start
    EXPECT_NE(Ask("type-row 4").find("the list has 3 rows"), std::string::npos);
    EXPECT_EQ(Ask("type-row 0").rfind("error: ", 0), 0U);
    EXPECT_EQ(Ask("type-row 1; rm -rf /").rfind("error: ", 0), 0U);
    EXPECT_EQ(AnswerRowRequest("type-row 1", nullptr, nullptr).rfind("error: ", 0), 0U);
    EXPECT_EQ(Ask("hotkey 99999").rfind("error: ", 0), 0U); // no registration has that id
    EXPECT_EQ(Ask("hotkey x").rfind("error: ", 0), 0U);
    hotkeys.Stop();
    EXPECT_NE(Ask("type-row 1").find("not in force"), std::string::npos);
    EXPECT_TRUE(typist.Texts().empty());
}

TEST(RowCommand, AGnomeShortcutTypesItsRegistrationsRowWhenARowAboveIsDeletedWhileRunning) {
    FakeCustomShortcuts::TStore store;
    const auto service = std::make_unique<TGnomeHotkeyService>(std::make_unique<FakeCustomShortcuts>(store),
                                                               "/usr/bin/velmora", "0123456789abcdef");
    const auto Item = [](const std::string& text, std::uint8_t ctrl, std::int32_t key) {
        return std::make_shared<TStrItem>(text, ctrl, key);
    };
    FakeTypist typist;
    TRowList rows;
    THotKeys hotkeys(*service, typist);
    rows.Append(Item("first", 1, 116), true);  // CTRL+F5
    rows.Append(Item("second", 1, 117), true); // CTRL+F6
    rows.Append(Item("third", 1, 118), true);  // CTRL+F7
    hotkeys.Start(rows);
    // What GNOME runs for CTRL+F6: the command's last two words.
    const auto press = [&](const std::string& binding) {
        for (const auto& [path, shortcut] : store.saved) {
            if (shortcut.binding == binding) {
                const std::size_t id = shortcut.command.rfind(' ');
                const std::size_t option = shortcut.command.rfind(' ', id - 1);
                const std::string request = RowRequestLine(shortcut.command.substr(option + 1, id - option - 1),
                                                           std::stoul(shortcut.command.substr(id + 1)));
                return AnswerRowRequest(request, &rows, &hotkeys);
            }
        }
        return std::string("no shortcut has ") + binding;
    };

    rows.Delete(0); // the row that moves into the second place is "third"
    EXPECT_EQ(press("<Control>F6"), "ok");
    EXPECT_EQ(typist.Texts(), (std::vector<std::string>{"second"}));
    hotkeys.Stop();
    EXPECT_NE(press("<Control>F6"), "ok");
}

} // namespace
} // namespace velmora
