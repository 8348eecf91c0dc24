#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// One key event of a chord: a Linux input key code (evdev) going down or up.
struct TKeyEvent {
    std::uint32_t code = 0;
    bool pressed = false;
    friend bool operator==(const TKeyEvent&, const TKeyEvent&) = default;
};

/// The keys of the user's keyboard layout that type each keysym it has: the key, and the modifier keys that select
/// the key's level (Shift, AltGr, both). For a desktop that types keysyms well only at some levels, texts can go as
/// these keys instead, which give every level of the layout.
class TLayoutChords {
public:
    /// From a keymap in XKB text format; none when it does not compile, or holds more than one layout (a key code
    /// then types whichever layout is active).
    static std::optional<TLayoutChords> FromKeymap(const std::string& keymap);

    /// The events that type the keysym (the level's modifiers down, the key down and up, the modifiers up), from
    /// the lowest level that has it and, within it, the lowest key; none when the layout has no key for it.
    std::optional<std::vector<TKeyEvent>> Chord(std::uint32_t keysym) const;
    /// Every modifier key of the layout (Shift, Control, Alt, Super, AltGr, ...): what the user may still hold
    /// down from a hotkey.
    const std::vector<std::uint32_t>& ModifierKeys() const { return FModifierKeys; }

private:
    struct TKeyLevel {
        std::uint32_t code = 0;
        std::vector<std::uint32_t> modifiers;
    };
    std::map<std::uint32_t, TKeyLevel> FChords;
    std::vector<std::uint32_t> FModifierKeys;
};

} // namespace velmora
