#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

/// The trigger a hotkey asks the GlobalShortcuts portal for ("preferred_trigger"): the modifiers CTRL, ALT, SHIFT
/// in that order, each followed by "+", then the key's XKB keysym name: "CTRL+F5", "ALT+Z", "F9", "SHIFT+7".
/// None for a key outside F1-F12, 0-9 and A-Z.
std::optional<std::string> PortalTrigger(unsigned modifiers, std::int32_t virtualKey);

} // namespace velmora
