// The chords are played through libxkbcommon, as the compositor plays the keys it is sent: each must give exactly
// its character, at whatever level of the layout it sits.
#include "platform/wayland/LayoutChords.h"
#include "platform/wayland/XkbHandles.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace velmora {
namespace {

std::string KeymapOf(const char* layout) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names names{nullptr, nullptr, layout, nullptr, nullptr};
    const TXkbKeymap keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    std::string copy(text);
    free(text);
    return copy;
}

/// What the chords of a text type when played through the keymap: the characters of the keys pressed.
std::u32string Played(const std::string& keymapText, const TLayoutChords& chords, const std::u32string& text) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const TXkbKeymap keymap(xkb_keymap_new_from_string(context.get(), keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    const TXkbState state(xkb_state_new(keymap.get()));
    std::u32string typed;
    for (const char32_t c : text) {
        const auto chord = chords.Chord(xkb_utf32_to_keysym(c));
        if (!chord) {
            typed += U'?';
            continue;
        }
        for (const TKeyEvent& event : *chord) {
            const char32_t got = xkb_state_key_get_utf32(state.get(), event.code + 8);
            const auto direction = event.pressed ? XKB_KEY_DOWN : XKB_KEY_UP;
            if (xkb_state_update_key(state.get(), event.code + 8, direction) == 0 && event.pressed) {
                typed += got; // a key pressed that is no modifier
            }
        }
    }
    EXPECT_EQ(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE), 0U) << "a modifier was left down";
    return typed;
}

TEST(LayoutChords, EveryLevelOfTheLayoutComesOutExactlyAndWhatItLacksHasNoChord) {
    // German: Shift, AltGr and Shift+AltGr levels; the degree sign is on two keys, at levels 2 and 4.
    const std::string de = KeymapOf("de");
    const auto chords = TLayoutChords::FromKeymap(de);
    ASSERT_TRUE(chords);
    const std::u32string text = U"Grüße ÄÖÜ ß@€{[]}\\~|µ²³¬ \"§$%&/()=?*+#'<>;:_,.- ¿¡™±£¥÷×®©° Zz\t";
    EXPECT_EQ(Played(de, *chords, text), text);
    EXPECT_EQ(Played(de, *chords, U"é漢"), U"??");
    // The lowest level wins: the degree sign is Shift and the key left of 1, not Shift+AltGr and 0.
    EXPECT_EQ(
        chords->Chord(XKB_KEY_degree),
        (std::vector<TKeyEvent>{{KEY_LEFTSHIFT, true}, {KEY_GRAVE, true}, {KEY_GRAVE, false}, {KEY_LEFTSHIFT, false}}));

    const auto us = TLayoutChords::FromKeymap(KeymapOf("us"));
    ASSERT_TRUE(us);
    for (const std::uint32_t modifier : {KEY_LEFTSHIFT, KEY_RIGHTSHIFT, KEY_LEFTCTRL, KEY_RIGHTCTRL, KEY_LEFTALT}) {
        EXPECT_NE(std::find(us->ModifierKeys().begin(), us->ModifierKeys().end(), modifier), us->ModifierKeys().end())
            << modifier;
    }
    EXPECT_FALSE(TLayoutChords::FromKeymap("not a keymap"));
    EXPECT_FALSE(TLayoutChords::FromKeymap(KeymapOf("us,ru")));
}

} // namespace
} // namespace velmora
