#include "PortalTrigger.h"

#include "core/KeyNames.h"
#include "platform/HotkeyService.h"

namespace velmora {

namespace {

std::optional<std::string> KeysymName(std::int32_t virtualKey) {
    if (virtualKey == kSpaceKey) {
        return "space";
    }
    return IsHotkeyKey(virtualKey) ? std::optional(KeyName(virtualKey)) : std::nullopt;
}

} // namespace

std::optional<std::string> PortalTrigger(unsigned modifiers, std::int32_t virtualKey) {
    std::optional<std::string> key = KeysymName(virtualKey);
    if (!key) {
        return std::nullopt;
    }
    std::string trigger;
    if ((modifiers & kModControl) != 0) {
        trigger += "CTRL+";
    }
    if ((modifiers & kModAlt) != 0) {
        trigger += "ALT+";
    }
    if ((modifiers & kModShift) != 0) {
        trigger += "SHIFT+";
    }
    return trigger + *key;
}

} // namespace velmora
