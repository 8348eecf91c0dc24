#include "Keysyms.h"

#include <xkbcommon/xkbcommon.h>

namespace velmora {

KeysymValue CharacterKeysym(char32_t character) {
    if (character == U'\r' || character == U'\n') {
        return kReturnKeysym;
    }
    if (character == U'\t') {
        return kTabKeysym;
    }
    if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF)) {
        return character;
    }
    return kUnicodeKeysymBase + character;
}

KeysymValue StrokeKeysym(const TStroke& stroke) {
    switch (stroke.kind) {
    case StrokeKind::Return:
        return kReturnKeysym;
    case StrokeKind::Tab:
        return kTabKeysym;
    case StrokeKind::Character:
        break;
    }
    return CharacterKeysym(stroke.character);
}

KeysymValue AsCharacterKeysym(KeysymValue keysym) {
    constexpr KeysymValue kLegacyCharacters = 0x100; // Latin-2 to Korean and the rest; Latin-1 is its own
    constexpr KeysymValue kFunctionKeys = 0xFE00;    // dead keys, modifiers, Return, Tab, keypad
    constexpr KeysymValue kUnicodeBeyondLatin1 = kUnicodeKeysymBase + 0x100;
    if ((keysym >= kLegacyCharacters && keysym < kFunctionKeys) || keysym >= kUnicodeBeyondLatin1) {
        if (const std::uint32_t character = xkb_keysym_to_utf32(keysym); character != 0) {
            return CharacterKeysym(character);
        }
    }
    return keysym;
}

KeysymValue XkbKeysymOf(const TStroke& stroke) {
    switch (stroke.kind) {
    case StrokeKind::Return:
        return XKB_KEY_Return;
    case StrokeKind::Tab:
        return XKB_KEY_Tab;
    case StrokeKind::Character:
        break;
    }
    // A control character is typed as itself (its Unicode keysym), not as the editing key (BackSpace, Escape,
    // Delete) that shares its code.
    if (IsControlCharacter(stroke.character)) {
        return kUnicodeKeysymBase + stroke.character;
    }
    return xkb_utf32_to_keysym(stroke.character);
}

} // namespace velmora
