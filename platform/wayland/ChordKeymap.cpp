#include "ChordKeymap.h"

#include "KeymapPlan.h"
#include "platform/Keysyms.h"

#include <xkbcommon/xkbcommon.h>

#include <utility>

namespace velmora {

namespace {

constexpr std::uint32_t kEvdevOffset = 8;

/// A key of a US keyboard: its evdev code and its keysyms without and with Shift (0: the same key).
struct TUsKey {
    std::uint32_t code;
    xkb_keysym_t plain;
    xkb_keysym_t shifted;
};

constexpr TUsKey kUsKeys[] = {
    {1, XKB_KEY_Escape, 0},
    {14, XKB_KEY_BackSpace, 0},
    {15, XKB_KEY_Tab, XKB_KEY_ISO_Left_Tab},
    {28, XKB_KEY_Return, 0},
    {111, XKB_KEY_Delete, 0},
    {102, XKB_KEY_Home, 0},
    {107, XKB_KEY_End, 0},
    {104, XKB_KEY_Prior, 0},
    {109, XKB_KEY_Next, 0},
    {103, XKB_KEY_Up, 0},
    {108, XKB_KEY_Down, 0},
    {105, XKB_KEY_Left, 0},
    {106, XKB_KEY_Right, 0},
    {59, XKB_KEY_F1, 0},
    {60, XKB_KEY_F2, 0},
    {61, XKB_KEY_F3, 0},
    {62, XKB_KEY_F4, 0},
    {63, XKB_KEY_F5, 0},
    {64, XKB_KEY_F6, 0},
    {65, XKB_KEY_F7, 0},
    {66, XKB_KEY_F8, 0},
    {67, XKB_KEY_F9, 0},
    {68, XKB_KEY_F10, 0},
    {87, XKB_KEY_F11, 0},
    {88, XKB_KEY_F12, 0},
    {41, XKB_KEY_grave, XKB_KEY_asciitilde},
    {2, XKB_KEY_1, XKB_KEY_exclam},
    {3, XKB_KEY_2, XKB_KEY_at},
    {4, XKB_KEY_3, XKB_KEY_numbersign},
    {5, XKB_KEY_4, XKB_KEY_dollar},
    {6, XKB_KEY_5, XKB_KEY_percent},
    {7, XKB_KEY_6, XKB_KEY_asciicircum},
    {8, XKB_KEY_7, XKB_KEY_ampersand},
    {9, XKB_KEY_8, XKB_KEY_asterisk},
    {10, XKB_KEY_9, XKB_KEY_parenleft},
    {11, XKB_KEY_0, XKB_KEY_parenright},
    {12, XKB_KEY_minus, XKB_KEY_underscore},
    {13, XKB_KEY_equal, XKB_KEY_plus},
    {26, XKB_KEY_bracketleft, XKB_KEY_braceleft},
    {27, XKB_KEY_bracketright, XKB_KEY_braceright},
    {43, XKB_KEY_backslash, XKB_KEY_bar},
    {39, XKB_KEY_semicolon, XKB_KEY_colon},
    {40, XKB_KEY_apostrophe, XKB_KEY_quotedbl},
    {51, XKB_KEY_comma, XKB_KEY_less},
    {52, XKB_KEY_period, XKB_KEY_greater},
    {53, XKB_KEY_slash, XKB_KEY_question},
};

/// The letters' keys, row by row from the top, each row's first evdev code.
constexpr struct {
    const char* letters;
    std::uint32_t first;
} kLetterRows[] = {{"qwertyuiop", 16}, {"asdfghjkl", 30}, {"zxcvbnm", 44}};

/// The US key that has `keysym`, and whether it needs Shift for it.
std::optional<std::pair<TUsKey, bool>> UsKeyOf(xkb_keysym_t keysym) {
    for (const auto& row : kLetterRows) {
        for (std::uint32_t i = 0; row.letters[i] != '\0'; ++i) {
            if (keysym == static_cast<xkb_keysym_t>(row.letters[i])) {
                return std::pair{TUsKey{row.first + i, keysym, keysym - 'a' + 'A'}, false};
            }
        }
    }
    for (const TUsKey& key : kUsKeys) {
        if (keysym == key.plain || (key.shifted != 0 && keysym == key.shifted)) {
            return std::pair{key, keysym != key.plain};
        }
    }
    return std::nullopt;
}

/// The modifier keys a chord may hold: keysym, evdev code, keycode name and real modifier (index in the mask).
constexpr struct {
    xkb_keysym_t keysym;
    std::uint32_t code;
    const char* name;
    const char* modifier;
    std::uint32_t bit;
} kModifierKeys[] = {
    {XKB_KEY_Control_L, 29, "LCTL", "Control", 2},
    {XKB_KEY_Alt_L, 56, "LALT", "Mod1", 3},
    {XKB_KEY_Shift_L, 42, "LFSH", "Shift", 0},
    {XKB_KEY_Super_L, 125, "LWIN", "Mod4", 6},
};

} // namespace

std::optional<TChordKeys> PlanChord(const TKeyChord& chord) {
    const auto found = UsKeyOf(KeyKeysym(chord.key));
    if (!found) {
        return std::nullopt;
    }
    const auto& [key, needsShift] = *found;
    TKeyChord held = chord;
    held.shift = chord.shift || needsShift;

    TChordKeys keys;
    keys.key = key.code;
    keys.isBreak = key.plain == XKB_KEY_Tab || key.plain == XKB_KEY_Return;
    std::string codes;
    std::string symbols;
    for (const auto& modifier : kModifierKeys) {
        codes += "<" + std::string(modifier.name) + "> = " + std::to_string(modifier.code + kEvdevOffset) + ";\n";
        symbols += "key <" + std::string(modifier.name) + "> { [ " + KeymapKeysymName(modifier.keysym) + " ] };\n" +
                   "modifier_map " + modifier.modifier + " { <" + modifier.name + "> };\n";
    }
    for (const KeysymValue keysym : ChordModifierKeysyms(held)) {
        for (const auto& modifier : kModifierKeys) {
            if (modifier.keysym == keysym) {
                keys.modifiers.push_back({modifier.code, 1U << modifier.bit});
            }
        }
    }
    const std::string code = std::to_string(key.code + kEvdevOffset);
    codes += "<K" + code + "> = " + code + ";\n";
    symbols += "key <K" + code + "> { [ " + KeymapKeysymName(key.plain) +
               (key.shifted != 0 ? ", " + KeymapKeysymName(key.shifted) : std::string()) + " ] };\n";
    keys.keymap = WholeKeymap(codes, symbols);
    return keys;
}

} // namespace velmora
