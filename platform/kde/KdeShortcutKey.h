#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

/// The key code KDE's global shortcut service (org.kde.kglobalaccel) takes for a hotkey: Qt's key code of F1-F12,
/// 0-9 or A-Z with Qt's modifier bits for CTRL, ALT and SHIFT. None for any other key.
std::optional<int> KdeShortcutKey(unsigned modifiers, std::int32_t virtualKey);

} // namespace velmora
