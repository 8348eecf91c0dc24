#include "platform/HotkeyNote.h"

#include "tests/fakes/FakeHotkeyService.h"
#include "tests/fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velmora {
namespace {

constexpr std::int32_t kF5 = 116;
constexpr std::int32_t kF6 = 117;
constexpr std::int32_t kKeyA = 65;

TStrItemPtr Item(std::uint8_t modifierIndex, std::int32_t key) {
    return std::make_shared<TStrItem>("text", modifierIndex, key);
}

TEST(HotkeyNote, NamesTheRowsNotInForceWithTheDesktopsReasonAndTheRowCommandUnlessShownAlready) {
    test::FakeHotkeyService service;
    service.heldElsewhere = {{kModControl, kF6}, {kModAlt, kKeyA}};
    service.refusalReasons[{kModControl, kF6}] = "KWin uses it for \u201cSwitch to Desktop 6\u201d";
    service.unboundAtFinish = {{0, kF6}};
    FakeTypist typist;
    THotKeys hotkeys(service, typist);
    TRowList rows;
    rows.Append(Item(1, kF5), true);   // in force
    rows.Append(Item(1, kF6), true);   // held elsewhere, the desktop says by whom
    rows.Append(Item(2, kKeyA), true); // held elsewhere, nobody named
    rows.Append(Item(1, kF6), false);  // unchecked
    rows.Append(Item(0, kF6), true);   // the desktop does not bind it
    rows.Append(Item(1, kF5), true);   // the same as row 1: the list's own mark says it

    hotkeys.Start(rows);
    EXPECT_EQ(HotkeyNote(hotkeys.Entries(), "/x/velmora --type-row", false),
              "Not in force: row 2 (CTRL+F6: KWin uses it for \u201cSwitch to Desktop 6\u201d); row 3 "
              "(ALT+A: another program holds it); row 5 (F6: the desktop did not bind it). To type such "
              "a row, bind a desktop shortcut to \"/x/velmora --type-row N\" (N: the row's No.).");

    // Rows the desktop decides later are counted until they settle, then named if refused.
    service.heldElsewhere.clear();
    service.unboundAtFinish.clear();
    service.pendingAtFinish = {{kModControl, kF6}, {0, kF6}};
    hotkeys.Start(rows);
    EXPECT_EQ(HotkeyNote(hotkeys.Entries(), "v", true),
              "Waiting for the desktop to bind 2 hotkeys (it may be asking you).");
    service.settledHandler({{hotkeys.Entries()[1].id, {HotkeyStatus::NotBound, "the portal left it unbound"}},
                            {hotkeys.Entries()[3].id, {}}});
    EXPECT_EQ(HotkeyNote(hotkeys.Entries(), "v", true), "Not in force: row 2 (CTRL+F6: the portal left it unbound).");

    // Five refused rows: four named, the rest counted.
    TRowList many;
    for (std::int32_t key = 'A'; key <= 'E'; ++key) {
        many.Append(Item(2, key), true);
    }
    service.unknownKeys = {'A', 'B', 'C', 'D', 'E'};
    hotkeys.Start(many);
    const std::string note = HotkeyNote(hotkeys.Entries(), "v", true);
    EXPECT_NE(note.find("row 4 (ALT+D"), std::string::npos) << note;
    EXPECT_NE(note.find("; and 1 more."), std::string::npos) << note;
    EXPECT_EQ(note.find("row 5"), std::string::npos) << note;
}

} // namespace
} // namespace velmora
