#pragma once

#include "HotkeyService.h"

#include "core/KeyNames.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

/// A combination of modifier flags (kModAlt, kModControl, kModShift) and a virtual-key code.
struct THotkeyChord {
    unsigned modifiers = 0;
    std::int32_t key = 0;
    friend bool operator==(const THotkeyChord&, const THotkeyChord&) = default;
};

/// The picker's hotkey where the settings name none.
inline constexpr THotkeyChord kDefaultPickerChord{kModControl | kModAlt, kSpaceKey};

/// The chord as the settings file keeps it: "CTRL+", "ALT+", "SHIFT+" in that order, then "Space" or the key's name
/// ("CTRL+ALT+Space", "SHIFT+F5").
std::string ChordText(const THotkeyChord& chord);

/// The chord ChordText wrote, in any case and order of the modifiers; none for a text that names no such chord (an
/// unknown modifier or key, a key that is not IsShortcutKey).
std::optional<THotkeyChord> ParseChordText(std::string_view text);

} // namespace velmora
