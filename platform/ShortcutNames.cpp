#include "ShortcutNames.h"

#include <algorithm>
#include <cctype>

namespace velmora {

std::string ShortcutId(std::size_t rowNumber) {
    return "row-" + std::to_string(rowNumber);
}

std::string ShortcutLabel(std::size_t rowNumber) {
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

} // namespace velmora
