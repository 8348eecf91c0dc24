#include "platform/portal/RemoteTypingPlan.h"
#include "platform/PasteClipboard.h"
#include "platform/wayland/XkbHandles.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <sstream>

namespace velmora {
namespace {

/// The calls in short: "s61+" a keysym pressed, "c47-" a key code released.
std::string Show(const std::vector<TRemoteKey>& keys) {
    std::ostringstream out;
    for (const TRemoteKey& key : keys) {
        out << (key.keycode ? " c" : " s") << std::hex << key.value << (key.pressed ? '+' : '-');
    }
    return out.str();
}

/// The pieces in short: the stroke each begins with, its kind, its characters' count and its calls.
std::string Show(const TRemotePlan& plan) {
    std::ostringstream out;
    for (const TRemotePiece& piece : plan.pieces) {
        const char* kinds[] = {"keys", "paste", "unsent", "chord"};
        out << "|" << piece.first << " " << kinds[static_cast<int>(piece.kind)];
        if (!piece.characters.empty()) {
            out << " " << piece.characters.size();
        }
        out << Show(piece.keys);
    }
    return out.str();
}

std::optional<TLayoutChords> ChordsOf(const char* layout, const char* variant) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names names{nullptr, nullptr, layout, variant, nullptr};
    const TXkbKeymap keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    const std::unique_ptr<char, decltype(&free)> text(xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1),
                                                      &free);
    return TLayoutChords::FromKeymap(text.get());
}

const std::set<std::uint32_t> kAbv{'a', 'b', 'v', 0xFF0D};

TEST(RemoteTypingPlan, EachStrokeGoesByKeysByPasteOrIsLeftOut) {
    const struct {
        std::u32string text;
        bool clipboard;
        std::string pieces;
    } cases[] = {
        {U"ab\n", false, "|0 keys s61+ s61-|1 keys s62+ s62-|2 keys sff0d+ sff0d-"},
        // A run of characters the layout lacks is one piece: left out, or one paste with Ctrl+V.
        {U"aé漢b", false, "|0 keys s61+ s61-|1 unsent 2|3 keys s62+ s62-"},
        {U"aé漢b", true, "|0 keys s61+ s61-|1 paste 2 sffe3+ s76+ s76- sffe3-|3 keys s62+ s62-"},
        // Control characters name no text: never pasted, and they end a run. Tab is off this layout.
        {U"é\x01漢\t", true,
         "|0 paste 1 sffe3+ s76+ s76- sffe3-|1 unsent 1|2 paste 1 sffe3+ s76+ s76- sffe3-|3 unsent 1"},
    };
    const TRemoteKeyPlan keys(kAbv, std::nullopt);
    for (const auto& c : cases) {
        EXPECT_EQ(Show(PlanRemoteTyping(WalkText(c.text), keys, {false, c.clipboard, false})), c.pieces)
            << "clipboard " << c.clipboard << ", " << c.text.size() << " characters";
    }
    // An unknown layout: everything goes, by its XKB keysym.
    EXPECT_EQ(Show(PlanRemoteTyping(WalkText(U"é漢"), TRemoteKeyPlan(std::nullopt, std::nullopt), {})),
              "|0 keys se9+ se9-|1 keys s1006f22+ s1006f22-");
}

TEST(RemoteTypingPlan, ByChordsKeysGoByKeyCodeAndAHotkeysModifiersAreLetGoOfFirst) {
    const TRemoteKeyPlan german(std::nullopt, ChordsOf("de", ""));
    const TRemotePlan plan = PlanRemoteTyping(WalkText(U"A@"), german, {true, false, false});
    // Shift (42) with A (30); the lowest Level3 shift key (84) with Q (16).
    EXPECT_EQ(Show(plan), "|0 keys c2a+ c1e+ c1e- c2a-|1 keys c54+ c10+ c10- c54-");
    EXPECT_EQ(plan.letGo, german.LetGoOfModifiers());
    EXPECT_FALSE(plan.letGo.empty());
    EXPECT_TRUE(PlanRemoteTyping(WalkText(U"A"), german, {false, false, false}).letGo.empty());
    EXPECT_TRUE(
        PlanRemoteTyping(WalkText(U"a"), TRemoteKeyPlan(kAbv, std::nullopt), {true, false, false}).letGo.empty());
}

TEST(RemoteTypingPlan, AKeyInsideATextGoesWithItsModifiersByKeysymOrByTheLayoutsKeys) {
    const auto show = [](const TKeyChord& chord, const TRemoteKeyPlan& keys) {
        const std::optional<TRemotePlan> plan = PlanRemoteChord(chord, keys, {false, false, true});
        return plan && plan->chordViaInputMethod ? Show(*plan) : "";
    };
    const TRemoteKeyPlan abv(kAbv, std::nullopt);
    EXPECT_EQ(show({true, false, true, false, "a"}, abv), "|0 chord sffe3+ sffe1+ s61+ s61- sffe1- sffe3-");
    EXPECT_EQ(show({false, false, false, false, "TAB"}, abv), ""); // not on that layout
    // Super (125) with Left (105); / is Shift (42) with 7 (8) on a German layout.
    const TRemoteKeyPlan german(std::nullopt, ChordsOf("de", ""));
    EXPECT_EQ(show({false, false, false, true, "LEFT"}, german), "|0 chord c7d+ c69+ c69- c7d-");
    EXPECT_EQ(show({true, false, false, false, "/"}, german), "|0 chord c1d+ c2a+ c8+ c8- c2a- c1d-");
}

TEST(RemoteTypingPlan, CtrlVTakesTheLayoutsVKeyOrElseTheKeyCodeOfV) {
    // Dvorak's v sits on the key of the US full stop (52); Russian has no Latin v, nor has a layout of a, b.
    EXPECT_EQ(Show(PasteChordKeys(TRemoteKeyPlan(std::nullopt, ChordsOf("us", "dvorak")), PasteChord::CtrlV)),
              " sffe3+ c34+ c34- sffe3-");
    EXPECT_EQ(Show(PasteChordKeys(TRemoteKeyPlan(std::nullopt, ChordsOf("ru", "")), PasteChord::CtrlV)),
              " sffe3+ c2f+ c2f- sffe3-");
    EXPECT_EQ(Show(PasteChordKeys(TRemoteKeyPlan(std::set<std::uint32_t>{'a', 'b'}, std::nullopt), PasteChord::CtrlV)),
              " sffe3+ c2f+ c2f- sffe3-");
    // Terminals take Ctrl+V as "insert the next key literally": the chord is a setting.
    const TRemoteKeyPlan keys(kAbv, std::nullopt);
    EXPECT_EQ(Show(PasteChordKeys(keys, PasteChord::ShiftInsert)), " sffe1+ sff63+ sff63- sffe1-");
    EXPECT_EQ(Show(PasteChordKeys(keys, PasteChord::CtrlShiftV)), " sffe3+ sffe1+ s76+ s76- sffe1- sffe3-");
    EXPECT_EQ(Show(PlanRemoteTyping(WalkText(U"é"), keys, {false, true, false, PasteChord::ShiftInsert})),
              "|0 paste 1 sffe1+ sff63+ sff63- sffe1-");
    EXPECT_EQ(PasteChordNamed("ctrl-shift-v"), PasteChord::CtrlShiftV);
    EXPECT_EQ(PasteChordNamed("ctrl+v"), std::nullopt);
}

TEST(PasteClipboard, ASnippetIsMarkedSecretAndAUsersSecretIsNotPutBack) {
    const TClipboardContent snippet = PasteContent(U"é😀");
    EXPECT_EQ(snippet.at(kClipboardTextType), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(MarkedSecret(snippet));
    const TClipboardContent user{{kClipboardTextType, "a"}, {"text/html", "<b>a</b>"}};
    EXPECT_EQ(RestoredContent(user), user);
    TClipboardContent password = user;
    password[kSecretHintType] = "secret";
    EXPECT_TRUE(RestoredContent(password).empty());
}

TEST(RemoteTypingPlan, TheInputMethodGetsTheWholeTextInPiecesOnlyWhereThereIsOne) {
    const std::vector<TStroke> strokes = WalkText(U"é\tb\n");
    const TRemoteKeyPlan keys(kAbv, std::nullopt);
    EXPECT_EQ(PlanRemoteTyping(strokes, keys, {false, false, true}).ime, ImePieces(strokes));
    EXPECT_EQ(PlanRemoteTyping(strokes, keys, {false, false, true}).pieces.size(), 4U); // the keys, should it end
    EXPECT_TRUE(PlanRemoteTyping(strokes, keys, {false, false, false}).ime.empty());
}

} // namespace
} // namespace velmora
