#pragma once

#include "core/SnippetTokens.h"

#include <X11/X.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// The X modifiers that tell hotkeys apart; the lock modifiers (CapsLock, NumLock, ScrollLock) are not among them.
inline constexpr unsigned kHotkeyStateMask = ControlMask | ShiftMask | Mod1Mask | Mod4Mask;

/// One press of a registered combination: the id it was registered under.
struct THotkeyPress {
    int id = 0;

    bool operator==(const THotkeyPress&) const = default;
};

/// Finds the registration in force for a keycode and a modifier state (already masked), if any.
using THotkeyLookup = std::function<std::optional<THotkeyPress>(unsigned keycode, unsigned state)>;

/// Turns the key events of grabbed keys into presses: a key that goes down on a registered combination is reported
/// when it comes up, once, plus once per auto-repeat seen meanwhile.
class THotkeyPressTracker {
public:
    /// A key went down (or repeated) with this modifier state.
    void KeyDown(unsigned keycode, unsigned state, const THotkeyLookup& lookup);
    /// A key came up; appends the presses it completes.
    void KeyUp(unsigned keycode, std::vector<THotkeyPress>& presses);

private:
    struct TPending {
        unsigned keycode = 0;
        THotkeyPress press;
        int count = 0;
    };
    std::vector<TPending> FPending;
};

/// The keycodes that carry any of the keysyms at any level, in a keymap laid out as XGetKeyboardMapping returns it
/// (`perKeycode` keysyms for each keycode from `minKeycode` on).
std::vector<unsigned> KeycodesCarrying(std::vector<KeySym> keysyms, const KeySym* map, int minKeycode, int keycodeCount,
                                       int perKeycode);

/// The keysyms the typist may press for a text: those of its characters, the keys inside it with their modifiers,
/// and Shift and the lock and level keys.
std::vector<KeySym> KeysymsTyping(const std::u32string& text, const std::vector<TKeyChord>& keys);

} // namespace velmora
