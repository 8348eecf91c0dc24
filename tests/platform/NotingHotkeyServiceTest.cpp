#include "platform/NotingHotkeyService.h"
#include "platform/HotkeyRegistry.h"

#include "fakes/FakeHotkeyService.h"
#include "fakes/FakeTypist.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr std::int32_t kF5 = 116;
constexpr std::int32_t kF6 = 117;
constexpr std::int32_t kKeyA = 65;

TStrItemPtr Item(std::uint8_t modifierIndex, std::int32_t key) {
    return std::make_shared<TStrItem>("text", modifierIndex, key);
}

TEST(NotingHotkeyService, EachStartNamesTheRowsNotInForceWithTheDesktopsReasonAndTheRowCommandUnlessShownAlready) {
    test::FakeHotkeyService inner;
    inner.heldElsewhere = {{kModControl, kF6}, {kModAlt, kKeyA}};
    inner.refusalReasons[{kModControl, kF6}] = "KWin uses it for \u201cSwitch to Desktop 6\u201d";
    inner.unboundAtFinish = {{0, kF6}};
    std::vector<std::string> notes;
    const auto note = [&notes](const std::string& text) { notes.push_back(text); };
    TNotingHotkeyService service(inner, "/x/velmora --type-row", false, note);
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
    ASSERT_EQ(notes.size(), 1U);
    EXPECT_EQ(notes.back(), "Not in force: row 2 (CTRL+F6: KWin uses it for \u201cSwitch to Desktop 6\u201d); row 3 "
                            "(ALT+A: another program holds it); row 5 (F6: the desktop did not bind it). To type such "
                            "a row, bind a desktop shortcut to \"/x/velmora --type-row N\" (N: the row's No.).");

    // Once everything is in force, the next Start clears the note.
    inner.heldElsewhere.clear();
    inner.unboundAtFinish.clear();
    hotkeys.Stop();
    hotkeys.Start(rows);
    ASSERT_EQ(notes.size(), 2U);
    EXPECT_EQ(notes.back(), "");
    hotkeys.Stop();

    // Where the session note shows the row command already, it is not repeated.
    TNotingHotkeyService quiet(inner, "/x/velmora --type-row", true, note);
    THotKeys quietHotkeys(quiet, typist);
    inner.unknownKeys = {kKeyA};
    quietHotkeys.Start(rows);
    EXPECT_EQ(notes.back(), "Not in force: row 3 (ALT+A: no key of this keyboard gives it).");
}

} // namespace
} // namespace velmora
