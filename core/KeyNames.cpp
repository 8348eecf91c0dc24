#include "KeyNames.h"

#include <iterator>
#include <string_view>

namespace velmora {
namespace {

struct NamedKey {
    std::uint32_t code;
    std::string_view name;
};

// The keys whose names are not derived from their code.
constexpr NamedKey kNamedKeys[] = {
    {1, "[LButton]"},
    {2, "[RButton]"},
    {3, "[Cancel]"},
    {4, "[MButton]"},
    {8, "[BackSpace]"},
    {9, "[Tab]"},
    {12, "[Clear]"},
    {13, "[Enter]"},
    {16, "[Shift]"},
    {17, "[Ctrl]"},
    {18, "[Alt]"},
    {19, "[Pause]"},
    {20, "[Capital]"},
    {27, "[Escape]"},
    {32, "[Space]"},
    {33, "[Page Up]"},
    {34, "[Page Down]"},
    {35, "[End]"},
    {36, "[Home]"},
    {37, "[Left]"},
    {38, "[Up]"},
    {39, "[Right]"},
    {40, "[Down]"},
    {41, "[Select]"},
    {43, "[Execute]"},
    {44, "[Print Screen]"},
    {45, "[Insert]"},
    {46, "[Delete]"},
    {106, "Num[*]"},
    {107, "Num[+]"},
    {109, "Num[-]"},
    {110, "Num[.]"},
    {111, "Num[/]"},
    {144, "[Num Lock]"},
    {145, "[Scroll Lock]"},
    {186, ";"},
    {187, "="},
    {188, ","},
    {189, "-"},
    {190, "."},
    {191, "/"},
    {192, "`"},
    {219, "["},
    {220, "\\"},
    {221, "]"},
    {222, "'"},
};

constexpr std::uint32_t kF1 = 112;

constexpr std::array<KeyChoice, 48> MakeKeyChoices() {
    constexpr const char* kFunctionKeys[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"};
    constexpr const char* kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    constexpr const char* kLetters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                        "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    std::array<KeyChoice, 48> choices{};
    std::size_t at = 0;
    for (std::int32_t i = 0; i < 12; ++i) {
        choices[at++] = {kFunctionKeys[i], 112 + i};
    }
    for (std::int32_t i = 0; i < 10; ++i) {
        choices[at++] = {kDigits[i], 48 + i};
    }
    for (std::int32_t i = 0; i < 26; ++i) {
        choices[at++] = {kLetters[i], 65 + i};
    }
    return choices;
}

constexpr std::array<KeyChoice, 48> kKeyChoices = MakeKeyChoices();

} // namespace

std::string KeyName(std::int32_t code) {
    const auto key = static_cast<std::uint32_t>(code); // negative codes are large unsigned ones: no name
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
        return std::string(1, static_cast<char>(key));
    }
    if (key >= 96 && key <= 105) {
        return "Num[" + std::string(1, static_cast<char>('0' + (key - 96))) + "]";
    }
    if (key >= kF1 && key < kF1 + 12) {
        return "F" + std::to_string(key - kF1 + 1);
    }
    for (const NamedKey& named : kNamedKeys) {
        if (named.code == key) {
            return std::string(named.name);
        }
    }
    return "";
}

std::string HotkeyLabel(std::uint8_t modifierIndex, std::int32_t code) {
    static constexpr const char* kPrefixes[] = {"", "CTRL+", "ALT+", "SHIFT+"};
    const char* prefix = modifierIndex < std::size(kPrefixes) ? kPrefixes[modifierIndex] : "";
    return prefix + KeyName(code);
}

const std::array<KeyChoice, 48>& KeyChoices() {
    return kKeyChoices;
}

} // namespace velmora
