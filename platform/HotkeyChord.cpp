#include "HotkeyChord.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace velmora {

namespace {

constexpr std::array<std::pair<unsigned, std::string_view>, 3> kModifierNames{{
    {kModControl, "CTRL"},
    {kModAlt, "ALT"},
    {kModShift, "SHIFT"},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

std::optional<std::int32_t> KeyNamed(std::string_view name) {
    if (SameIgnoringCase(name, "Space")) {
        return kSpaceKey;
    }
    for (const KeyChoice& choice : KeyChoices()) {
        if (SameIgnoringCase(name, choice.name)) {
            return choice.code;
        }
    }
    return std::nullopt;
}

} // namespace

std::string ChordText(const THotkeyChord& chord) {
    std::string text;
    for (const auto& [flag, name] : kModifierNames) {
        if ((chord.modifiers & flag) != 0) {
            text += std::string(name) + "+";
        }
    }
    return text + (chord.key == kSpaceKey ? std::string("Space") : KeyName(chord.key));
}

std::optional<THotkeyChord> ParseChordText(std::string_view text) {
    THotkeyChord chord;
    for (std::size_t plus = text.find('+'); plus != std::string_view::npos && plus + 1 < text.size();
         plus = text.find('+')) {
        const std::string_view name = text.substr(0, plus);
        const auto known = std::find_if(kModifierNames.begin(), kModifierNames.end(), [name](const auto& modifier) {
            return SameIgnoringCase(modifier.second, name);
        });
        if (known == kModifierNames.end()) {
            return std::nullopt;
        }
        chord.modifiers |= known->first;
        text.remove_prefix(plus + 1);
    }
    const std::optional<std::int32_t> key = KeyNamed(text);
    if (!key) {
        return std::nullopt;
    }
    chord.key = *key;
    return chord;
}

} // namespace velmora
