#include "ShortcutNames.h"

#include "HotkeyService.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace velmora {

std::string CopyTag(const std::string& listFolder) {
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (const unsigned char c : listFolder) {
        hash = (hash ^ c) * 1099511628211ULL;
    }
    char tag[17];
    std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(hash));
    return tag;
}

std::string ShortcutId(std::size_t rowNumber) {
    if (rowNumber == kPickerRow) {
        return "picker";
    }
    return "row-" + std::to_string(rowNumber);
}

std::string ShortcutLabel(std::size_t rowNumber) {
    if (rowNumber == kPickerRow) {
        return "Velmora picker";
    }
    return "Velmora row " + std::to_string(rowNumber);
}

std::string ShellWord(const std::string& text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '/' || c == '.' || c == '_' || c == '-' || c == '+';
    });
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string HotkeyCommand(const std::string& executable, int id) {
    return ShellWord(executable) + " " + kHotkeyOption + " " + std::to_string(id);
}

std::string PickCommand(const std::string& executable) {
    return ShellWord(executable) + " " + kPickOption;
}

} // namespace velmora
