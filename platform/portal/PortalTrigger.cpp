#include "PortalTrigger.h"

#include "core/KeyNames.h"
#include "core/TextCodec.h"
#include "platform/HotkeyService.h"

namespace velmora {

namespace {

constexpr std::size_t kDescriptionCharacters = 40;

std::optional<std::string> KeysymName(std::int32_t virtualKey) {
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

std::string PortalShortcutId(std::size_t rowNumber) {
    return "row-" + std::to_string(rowNumber);
}

std::string PortalShortcutDescription(std::size_t rowNumber, const std::string& text) {
    std::u32string shown;
    bool space = false;
    for (const char32_t c : TextToUnicode(text)) {
        if (shown.size() >= kDescriptionCharacters) {
            shown += U"…";
            break;
        }
        const bool blank = c <= 0x20 || (c >= 0x7F && c <= 0x9F);
        if (blank) {
            space = !shown.empty();
            continue;
        }
        if (space) {
            shown += U' ';
            space = false;
        }
        shown += c;
    }
    return "Velmora row " + std::to_string(rowNumber) + ": " + UnicodeToText(shown);
}

} // namespace velmora
