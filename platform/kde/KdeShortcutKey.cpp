#include "KdeShortcutKey.h"

#include "platform/HotkeyService.h"

#include <Qt>

namespace velmora {

std::optional<int> KdeShortcutKey(unsigned modifiers, std::int32_t virtualKey) {
    int key = 0;
    if (virtualKey >= 112 && virtualKey <= 123) {
        key = Qt::Key_F1 + (virtualKey - 112);
    } else if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z')) {
        key = virtualKey; // Qt::Key_0... and Qt::Key_A... are the characters' codes
    } else {
        return std::nullopt;
    }
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
