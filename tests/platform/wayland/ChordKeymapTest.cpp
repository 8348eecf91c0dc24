// A key inside a text must do what the same key does on a US keyboard: the chord's keymap is compiled with
// libxkbcommon, its modifier keys pressed, and the key's keysym and the active modifiers compared with the US
// keymap's for the same key code.
#include "platform/wayland/ChordKeymap.h"
#include "platform/Keysyms.h"
#include "platform/wayland/XkbHandles.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

/// The keysym `code` (evdev) gives with `mods` (real modifier mask) held, and which of Control, Alt, Shift and Super
/// are then active (bits 0 to 3).
std::pair<xkb_keysym_t, unsigned> Pressed(xkb_keymap* keymap, xkb_mod_mask_t mods, std::uint32_t code) {
    const TXkbState state(xkb_state_new(keymap));
    xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, 0);
    unsigned active = 0;
    for (const char* name : {XKB_MOD_NAME_CTRL, XKB_MOD_NAME_ALT, XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_LOGO}) {
        active = active << 1 | (xkb_state_mod_name_is_active(state.get(), name, XKB_STATE_MODS_EFFECTIVE) > 0 ? 1 : 0);
    }
    return {xkb_state_key_get_one_sym(state.get(), code + 8), active};
}

TEST(ChordKeymap, EveryKeyWithItsModifiersActsAsOnAUsKeyboard) {
    std::vector<std::string> names = {"TAB",  "ENTER", "ESC",  "BACKSPACE", "DELETE", "UP",  "DOWN",
                                      "LEFT", "RIGHT", "HOME", "END",       "PGUP",   "PGDN"};
    for (int f = 1; f <= 12; ++f) {
        names.push_back("F" + std::to_string(f));
    }
    for (char c = '!'; c <= '~'; ++c) {
        if (c < 'A' || c > 'Z') {
            names.emplace_back(1, c);
        }
    }
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names usNames{"evdev", "pc105", "us", "", ""};
    const TXkbKeymap us(xkb_keymap_new_from_names(context.get(), &usNames, XKB_KEYMAP_COMPILE_NO_FLAGS));
    ASSERT_TRUE(us);
    const std::vector<TKeyChord> modifierSets = {{}, {true, false, true, false, ""}, {false, true, false, true, ""}};
    for (const std::string& name : names) {
        for (TKeyChord chord : modifierSets) {
            chord.key = name;
            const auto keys = PlanChord(chord);
            ASSERT_TRUE(keys) << name;
            const TXkbKeymap keymap(xkb_keymap_new_from_string(context.get(), keys->keymap.c_str(),
                                                               XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
            ASSERT_TRUE(keymap) << keys->keymap;
            // The modifier keys pressed in the chord's keymap set exactly the masks the plan sends.
            const TXkbState state(xkb_state_new(keymap.get()));
            xkb_mod_mask_t mask = 0;
            for (const TModifierKey& modifier : keys->modifiers) {
                xkb_state_update_key(state.get(), modifier.code + 8, XKB_KEY_DOWN);
                mask |= modifier.mask;
                EXPECT_EQ(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED), mask) << name;
            }
            const auto got = Pressed(keymap.get(), mask, keys->key);
            EXPECT_EQ(got, Pressed(us.get(), mask, keys->key)) << name << " " << keys->keymap;
            if (!chord.shift) {
                EXPECT_EQ(got.first, KeyKeysym(name)) << name;
            }
            const unsigned held = (chord.ctrl ? 8U : 0U) | (chord.alt ? 4U : 0U) | (chord.super ? 1U : 0U);
            EXPECT_EQ(got.second & ~2U, held) << name; // Shift also for a character that needs it
        }
    }
    EXPECT_FALSE(PlanChord({true, false, false, false, "F13"}));
}

} // namespace
} // namespace velmora
