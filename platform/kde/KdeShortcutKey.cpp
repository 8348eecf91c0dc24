#include "KdeShortcutKey.h"

#include "core/KeyNames.h"
#include "platform/HotkeyService.h"

#include <Qt>

namespace velmora {

std::optional<int> KdeShortcutKey(unsigned modifiers, std::int32_t virtualKey) {
    if (!IsShortcutKey(virtualKey)) {
        return std::nullopt;
    }
    // Qt::Key_Space, Qt::Key_0... and Qt::Key_A... are the characters' codes.
    int key = IsFunctionKey(virtualKey) ? Qt::Key_F1 + (virtualKey - 112) : virtualKey;
    if ((modifiers & kModControl) != 0) {
        key |= Qt::ControlModifier;
    }
    if ((modifiers & kModAlt) != 0) {
        key |= Qt::AltModifier;
    }
    if ((modifiers & kModShift) != 0) {
        key |= Qt::ShiftModifier;
    }
    return key;
}

} // namespace velmora
