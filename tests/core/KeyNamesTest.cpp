#include "core/KeyNames.h"

#include <gtest/gtest.h>

#include <string>

using velmora::HotkeyLabel;
using velmora::KeyChoices;
using velmora::KeyName;

TEST(KeyNames, NamesAtTheEdgesOfTheTable) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, ""},
        {1, "[LButton]"},
        {4, "[MButton]"},
        {5, ""},
        {7, ""},
        {8, "[BackSpace]"},
        {42, ""},
        {46, "[Delete]"},
        {47, ""},
        {48, "0"},
        {57, "9"},
        {58, ""},
        {64, ""},
        {65, "A"},
        {90, "Z"},
        {91, ""},
        {95, ""},
        {96, "Num[0]"},
        {105, "Num[9]"},
        {106, "Num[*]"},
        {107, "Num[+]"},
        {108, ""},
        {111, "Num[/]"},
        {112, "F1"},
        {123, "F12"},
        {124, ""},
        {143, ""},
        {144, "[Num Lock]"},
        {145, "[Scroll Lock]"},
        {146, ""},
        {185, ""},
        {186, ";"},
        {192, "`"},
        {193, ""},
        {218, ""},
        {219, "["},
        {220, "\\"},
        {222, "'"},
        {223, ""},
        {255, ""},
        {256 + 65, ""},
        {-1, ""},
        {-2147483647 - 1, ""},
    };
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(KeyName(code), name) << code;
    }
}

TEST(KeyNames, LabelIsThePrefixOfTheModifierThenTheKeyName) {
    EXPECT_EQ(HotkeyLabel(1, 116), "CTRL+F5");
    EXPECT_EQ(HotkeyLabel(2, 65), "ALT+A");
    EXPECT_EQ(HotkeyLabel(0, 55), "7");
    EXPECT_EQ(HotkeyLabel(3, 90), "SHIFT+Z");
    EXPECT_EQ(HotkeyLabel(4, 90), "Z");
    EXPECT_EQ(HotkeyLabel(255, 112), "F1");
    EXPECT_EQ(HotkeyLabel(1, 0), "CTRL+");
    EXPECT_EQ(HotkeyLabel(0, 0), "");
}

TEST(KeyNames, FortyEightChoicesFunctionKeysDigitsLettersNamedByTheirCodes) {
    const auto& choices = KeyChoices();
    EXPECT_EQ(std::string(choices.front().name), "F1");
    EXPECT_EQ(choices.front().code, 112);
    EXPECT_EQ(std::string(choices[12].name), "0");
    EXPECT_EQ(std::string(choices[22].name), "A");
    EXPECT_EQ(std::string(choices.back().name), "Z");
    for (const auto& choice : choices) {
        EXPECT_EQ(KeyName(choice.code), choice.name) << choice.code;
    }
}
