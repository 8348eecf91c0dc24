#pragma once

#include "core/SnippetTokens.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// A modifier key of a chord: its evdev code and the keymap's modifier mask bit it sets.
struct TModifierKey {
    std::uint32_t code = 0;
    std::uint32_t mask = 0;
    friend bool operator==(const TModifierKey&, const TModifierKey&) = default;
};

/// How the virtual keyboard presses one key inside a text: a keymap of its own, the modifier keys to hold and the key.
struct TChordKeys {
    std::string keymap;                  ///< the key and Control, Alt, Shift and Super as real modifiers (XKB text)
    std::vector<TModifierKey> modifiers; ///< the modifier keys to hold, in the order they go down
    std::uint32_t key = 0;               ///< the key's evdev code
    bool isBreak = false;                ///< the key is Tab or Return (an application may take a while over it)
};

/// The keymap and keys that press `chord` as a US keyboard does: the key at the position a US keyboard has it, with
/// that keyboard's two levels (Shift+a gives A, Shift+Tab ISO_Left_Tab), Control, Alt (Mod1), Shift and Super (Mod4)
/// as their left-hand keys. A character that needs Shift on that keyboard ("!", "?") is pressed with Shift held.
/// None for a name of no key.
std::optional<TChordKeys> PlanChord(const TKeyChord& chord);

} // namespace velmora
