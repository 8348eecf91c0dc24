#include "X11SelectionRules.h"

#include "core/TextCodec.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora {

namespace {

constexpr std::string_view kUtf8String = "UTF8_STRING";

/// Terminal emulators by the instance or class names they give their windows, in lower case.
bool IsTerminalName(std::string_view name) {
    static constexpr std::array<std::string_view, 31> kTerminals{
        "xterm",
        "uxterm",
        "urxvt",
        "rxvt",
        "rxvt-unicode",
        "gnome-terminal",
        "gnome-terminal-server",
        "konsole",
        "xfce4-terminal",
        "foot",
        "footclient",
        "alacritty",
        "kitty",
        "terminator",
        "tilix",
        "lxterminal",
        "qterminal",
        "st",
        "st-256color",
        "sakura",
        "terminology",
        "mate-terminal",
        "roxterm",
        "wezterm",
        "org.wezfurlong.wezterm",
        "eterm",
        "aterm",
        "guake",
        "tilda",
        "yakuake",
        "kgx",
    };
    return std::any_of(kTerminals.begin(), kTerminals.end(), [name](std::string_view terminal) {
        return std::equal(name.begin(), name.end(), terminal.begin(), terminal.end(),
                          [](unsigned char given, char known) { return std::tolower(given) == known; });
    });
}

} // namespace

bool IsMetaTarget(std::string_view target) {
    static constexpr std::array<std::string_view, 8> kMeta{
        "TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "INSERT_PROPERTY", "INCR",
    };
    return std::find(kMeta.begin(), kMeta.end(), target) != kMeta.end();
}

bool IsTextTarget(std::string_view target) {
    return target == kUtf8String || target == "STRING" || target == "TEXT" || target == "COMPOUND_TEXT" ||
           target.starts_with("text/plain");
}

bool IsTerminalClass(std::string_view wmClass) {
    // Instance first, class second; either may name the terminal (st's class is "st-256color").
    while (!wmClass.empty()) {
        const std::size_t end = wmClass.find('\0');
        if (IsTerminalName(wmClass.substr(0, end))) {
            return true;
        }
        if (end == std::string_view::npos) {
            break;
        }
        wmClass.remove_prefix(end + 1);
    }
    return false;
}

TX11Items PasteItems(const TClipboardContent& content) {
    TX11Items items;
    for (const auto& [type, bytes] : content) {
        items[type] = {type, 8, bytes};
    }
    const auto text = content.find(kClipboardTextType);
    if (text != content.end()) {
        items["TEXT"] = {std::string(kUtf8String), 8, text->second};
        std::string latin1;
        for (const char32_t c : TextToUnicode(text->second)) {
            latin1 += c <= 0xFF ? static_cast<char>(c) : '?';
        }
        items["STRING"] = {"STRING", 8, latin1};
    }
    return items;
}

std::vector<std::string> ServedTargets(const TX11Items& items) {
    std::vector<std::string> targets{"TARGETS", "TIMESTAMP"};
    for (const auto& [target, item] : items) {
        targets.push_back(target);
    }
    return targets;
}

TClipboardContent ContentOf(const TX11Items& items) {
    TClipboardContent content;
    for (const auto& [target, item] : items) {
        content[target] = item.bytes;
    }
    return content;
}

bool CountsAsPaste(std::string_view target, std::uint32_t requestor, std::uint32_t pasteWindow, std::uint32_t idMask) {
    return IsTextTarget(target) && (pasteWindow == 0 || (requestor & ~idMask) == (pasteWindow & ~idMask));
}

} // namespace velmora
