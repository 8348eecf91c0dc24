#pragma once

#include "core/SnippetTokens.h"
#include "platform/TextWalk.h"
#include "platform/wayland/LayoutChords.h"

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace velmora {

/// One call of the RemoteDesktop portal's keyboard: a keysym (NotifyKeyboardKeysym) or a Linux input key code
/// (NotifyKeyboardKeycode), pressed or released.
struct TRemoteKey {
    bool keycode = false;
    std::uint32_t value = 0;
    bool pressed = false;
    friend bool operator==(const TRemoteKey&, const TRemoteKey&) = default;
};

/// What the RemoteDesktop typist sends for a character: its keysym, which the desktop looks up in the user's
/// layout; or, given the layout's chords, the layout's key with its level's modifier keys (for a desktop that types
/// some levels wrong by keysym: KWin 5.27 types Shift+AltGr characters without their modifiers).
class TRemoteKeyPlan {
public:
    /// `layoutKeysyms`: the keysyms of the user's layout (none: unknown, everything is sent); `chords`: the
    /// layout's keys, to send key codes instead of keysyms.
    TRemoteKeyPlan(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::optional<TLayoutChords> chords);

    /// The calls that type the stroke; none when the layout has no key for it.
    std::optional<std::vector<TRemoteKey>> Keys(const TStroke& stroke) const;
    /// The calls that press a key inside a text with its modifiers and let go of it: the modifiers down (by keysym,
    /// or by key code given the layout's chords), the key down and up, the modifiers up in reverse; none when the
    /// layout has no such key.
    std::optional<std::vector<TRemoteKey>> ChordKeys(const TKeyChord& chord) const;
    /// The releases of every modifier key the user may still hold from a hotkey, before its text; none without
    /// chords (keysyms cannot name a key).
    std::vector<TRemoteKey> LetGoOfModifiers() const;
    /// Whether the user's layout is known.
    bool LayoutKnown() const { return FLayout.has_value() || FChords.has_value(); }

private:
    std::optional<std::set<std::uint32_t>> FLayout;
    std::optional<TLayoutChords> FChords;
};

} // namespace velmora
