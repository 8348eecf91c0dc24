#include "GnomeAccelerator.h"

#include "core/KeyNames.h"
#include "platform/HotkeyService.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace velmora {

namespace {

constexpr std::string_view kShortcutPrefix = "velmora-";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<unsigned> ModifierNamed(const std::string& name) {
    static const std::pair<const char*, unsigned> kNames[] = {
        {"shift", kAccelShift}, {"control", kAccelControl}, {"ctrl", kAccelControl}, {"primary", kAccelControl},
        {"ctl", kAccelControl}, {"alt", kAccelAlt},         {"mod1", kAccelAlt},     {"super", kAccelSuper},
        {"mod4", kAccelSuper},  {"hyper", kAccelHyper},     {"meta", kAccelMeta},
    };
    for (const auto& [known, flag] : kNames) {
        if (name == known) {
            return flag;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> GnomeAccelerator(unsigned modifiers, std::int32_t virtualKey) {
    if (!IsShortcutKey(virtualKey)) {
        return std::nullopt;
    }
    // GNOME names letter keys by their small letter, the space bar by its keysym.
    std::string key = virtualKey >= 'A' && virtualKey <= 'Z' ? std::string(1, static_cast<char>(virtualKey - 'A' + 'a'))
                      : virtualKey == kSpaceKey              ? std::string("space")
                                                             : KeyName(virtualKey);
    std::string accelerator;
    if ((modifiers & kModControl) != 0) {
        accelerator += "<Control>";
    }
    if ((modifiers & kModAlt) != 0) {
        accelerator += "<Alt>";
    }
    if ((modifiers & kModShift) != 0) {
        accelerator += "<Shift>";
    }
    return accelerator + key;
}

std::optional<TAccelerator> ParseAccelerator(std::string_view text) {
    TAccelerator accelerator;
    while (!text.empty() && text.front() == '<') {
        const std::size_t close = text.find('>');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<unsigned> flag = ModifierNamed(Lower(text.substr(1, close - 1)));
        if (!flag) {
            return std::nullopt;
        }
        accelerator.modifiers |= *flag;
        text.remove_prefix(close + 1);
    }
    if (text.empty() || text.find_first_of("<> ") != std::string_view::npos || Lower(text) == "disabled") {
        return std::nullopt;
    }
    // Keysym names differ in case only for letters ("a", "A"), which are one key.
    accelerator.key = text.size() == 1 ? Lower(text) : std::string(text);
    return accelerator;
}

std::string ShortcutName(const std::string& copyTag, std::size_t rowNumber) {
    return std::string(kShortcutPrefix) + copyTag + "-row" + std::to_string(rowNumber);
}

std::optional<std::string> ShortcutOwner(std::string_view path) {
    if (path.size() < 2 || path.back() != '/') {
        return std::nullopt;
    }
    path.remove_suffix(1);
    std::string_view name = path.substr(path.rfind('/') + 1);
    if (name.substr(0, kShortcutPrefix.size()) != kShortcutPrefix) {
        return std::nullopt;
    }
    name.remove_prefix(kShortcutPrefix.size());
    const std::size_t dash = name.find("-row");
    const std::string_view owner = name.substr(0, dash);
    if (dash == std::string_view::npos || owner.empty() || owner.size() > 16 ||
        !std::all_of(owner.begin(), owner.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
        return std::nullopt;
    }
    return std::string(owner);
}

} // namespace velmora
