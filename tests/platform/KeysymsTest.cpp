#include "platform/Keysyms.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Keysyms, XkbKeysymsAreTheLayoutsNamesAndControlCharactersStayCharacters) {
    const struct {
        TStroke stroke;
        KeysymValue keysym;
    } cases[] = {
        {{StrokeKind::Return, 0}, 0xFF0D},
        {{StrokeKind::Tab, 0}, 0xFF09},
        {{StrokeKind::Character, U'a'}, 0x61},
        {{StrokeKind::Character, 0xE9}, 0xE9},        // eacute
        {{StrokeKind::Character, 0x441}, 0x6D3},      // Cyrillic_es
        {{StrokeKind::Character, 0x20AC}, 0x20AC},    // EuroSign
        {{StrokeKind::Character, 0x6F22}, 0x1006F22}, // 漢
        {{StrokeKind::Character, 0x1F600}, 0x101F600},
        {{StrokeKind::Character, 0x08}, 0x1000008}, // not BackSpace
        {{StrokeKind::Character, 0x1B}, 0x100001B}, // not Escape
        {{StrokeKind::Character, 0x7F}, 0x100007F}, // not Delete
        {{StrokeKind::Character, 0x110000}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(XkbKeysymOf(c.stroke), c.keysym) << std::hex << static_cast<std::uint32_t>(c.stroke.character);
    }
}

TEST(Keysyms, LayoutKeysymsOfNoCharacterStayAsTheyAre) {
    for (const KeysymValue keysym : {0xFF0DU, 0xFE52U /* dead_circumflex */, 0xFFE1U /* Shift_L */, 0U}) {
        EXPECT_EQ(AsCharacterKeysym(keysym), keysym) << std::hex << keysym;
    }
}

// Every character's keysym as a layout names it, taken into the X11 route's form, is the keysym that route types the
// character by: the two routes agree on which characters a layout has. Noncharacters have no XKB keysym.
TEST(Keysyms, EveryCharactersLayoutKeysymInCharacterFormIsItsCharacterKeysym) {
    for (char32_t c = 0x20; c <= 0x10FFFF; ++c) {
        if (IsControlCharacter(c) || (c >= 0xD800 && c <= 0xDFFF)) {
            continue;
        }
        const KeysymValue keysym = XkbKeysymOf({StrokeKind::Character, c});
        const bool noncharacter = (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
        ASSERT_EQ(keysym == 0, noncharacter) << "U+" << std::hex << static_cast<std::uint32_t>(c);
        if (!noncharacter) {
            ASSERT_EQ(AsCharacterKeysym(keysym), CharacterKeysym(c))
                << "U+" << std::hex << static_cast<std::uint32_t>(c);
        }
    }
}

} // namespace
} // namespace velmora
