#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace velmora {

/// What typing needs to know of a keyboard layout.
struct TUserLayout {
    std::set<std::uint32_t> keysyms; ///< what its first layout types, at any level
    std::uint32_t unboundKey = 0;    ///< an evdev key code that is in the keymap without any symbol; 0: none
};

/// The keysyms a keymap (XKB text format) types from its first layout, at any level; empty when it does not
/// compile.
std::set<std::uint32_t> KeymapKeysyms(const std::string& keymap);

/// A keymap (XKB text format) read for typing; none when it does not compile.
std::optional<TUserLayout> KeymapLayout(const std::string& keymap);

/// The user's keyboard layout: the keymap the compositor gives its clients' keyboards, read once through a
/// connection of our own; the XKB default keymap (the XKB_DEFAULT_* variables, else the system's default layout)
/// when the seat has no keyboard yet. None when there is no compositor.
std::optional<TUserLayout> ReadUserLayout();

} // namespace velmora
