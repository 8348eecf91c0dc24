#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velmora {

/// Display name of a virtual-key code, or the empty text for a code without a name.
std::string KeyName(std::int32_t code);

/// The "Hotkey" column's label: "CTRL+", "ALT+", "SHIFT+" or no prefix, then KeyName of the key.
std::string HotkeyLabel(std::uint8_t modifierIndex, std::int32_t code);

/// One entry of the definition dialog's key box.
struct KeyChoice {
    const char* name;
    std::int32_t code;
};

/// The 48 keys the definition dialog offers: F1-F12, 0-9, A-Z, in that order.
const std::array<KeyChoice, 48>& KeyChoices();

/// Whether the code is one of F1-F12.
constexpr bool IsFunctionKey(std::int32_t code) {
    return code >= 112 && code <= 123;
}

/// Whether the code is one of the keys a hotkey may have (those of KeyChoices).
constexpr bool IsHotkeyKey(std::int32_t code) {
    return IsFunctionKey(code) || (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z');
}

/// The virtual-key code of the space bar, which the picker's hotkey may have besides the keys of KeyChoices.
inline constexpr std::int32_t kSpaceKey = 32;

/// Whether a desktop shortcut may have the code as its key: a hotkey's key or the space bar.
constexpr bool IsShortcutKey(std::int32_t code) {
    return IsHotkeyKey(code) || code == kSpaceKey;
}

/// The modifier choices of the definition dialog; their positions are the modifier indices.
inline constexpr std::array<const char*, 3> kModifierChoices{"None", "CTRL", "ALT"};

} // namespace velmora
