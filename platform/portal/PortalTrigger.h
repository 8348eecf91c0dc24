#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

/// The trigger a hotkey asks the GlobalShortcuts portal for ("preferred_trigger"): the modifiers CTRL, ALT, SHIFT
/// in that order, each followed by "+", then the key's XKB keysym name: "CTRL+F5", "ALT+Z", "F9", "SHIFT+7".
/// None for a key outside F1-F12, 0-9 and A-Z.
std::optional<std::string> PortalTrigger(unsigned modifiers, std::int32_t virtualKey);

/// The shortcut id of a row in the portal: stable for the row's No., so that a desktop that remembers bindings
/// finds the row's binding again at the next Start.
std::string PortalShortcutId(std::size_t rowNumber);

/// The description the desktop shows for a row's shortcut: the row's No. and the first characters of its text on
/// one line.
std::string PortalShortcutDescription(std::size_t rowNumber, const std::string& text);

} // namespace velmora
