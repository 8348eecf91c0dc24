#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace velmora {

/// The keysyms a keymap (XKB text format) types from its first layout, at any level; empty when it does not
/// compile.
std::set<std::uint32_t> KeymapKeysyms(const std::string& keymap);

/// The evdev key code of a key that a keymap (XKB text format) names but gives no symbol: it types nothing and
/// starts no shortcut. 0 when there is none or the keymap does not compile.
std::uint32_t UnboundKeycode(const std::string& keymap);

/// The XKB default keymap (the XKB_DEFAULT_* variables, else the system's default layout) in XKB text format.
std::optional<std::string> DefaultLayoutKeymap();

/// The user's keyboard layout in XKB text format: the keymap the compositor gives its clients' keyboards, read
/// once through a connection of our own; the XKB default keymap when the seat has no keyboard yet. None when there
/// is no compositor.
std::optional<std::string> ReadLayoutKeymap();

/// The keysyms of the user's keyboard layout: the keymap the compositor gives its clients' keyboards, read once
/// through a connection of our own; the XKB default keymap's when the seat has no keyboard yet. None when there
/// is no compositor.
std::optional<std::set<std::uint32_t>> ReadLayoutKeysyms();

} // namespace velmora
