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

KeysymValue KeyKeysym(const std::string& key) {
    struct TNamed {
        const char* name;
        KeysymValue keysym;
    };
    static constexpr TNamed kNamed[] = {
        {"TAB", XKB_KEY_Tab},       {"ENTER", XKB_KEY_Return},
        {"ESC", XKB_KEY_Escape},    {"BACKSPACE", XKB_KEY_BackSpace},
        {"DELETE", XKB_KEY_Delete}, {"UP", XKB_KEY_Up},
        {"DOWN", XKB_KEY_Down},     {"LEFT", XKB_KEY_Left},
        {"RIGHT", XKB_KEY_Right},   {"HOME", XKB_KEY_Home},
        {"END", XKB_KEY_End},       {"PGUP", XKB_KEY_Prior},
        {"PGDN", XKB_KEY_Next},
    };
    for (const TNamed& named : kNamed) {
        if (key == named.name) {
            return named.keysym;
        }
    }
    if (key.size() >= 2 && key[0] == 'F' && key.find_first_not_of("0123456789", 1) == std::string::npos) {
        const int number = std::stoi(key.substr(1));
        return number >= 1 && number <= 12 ? XKB_KEY_F1 + static_cast<KeysymValue>(number - 1) : 0;
    }
    if (key.size() == 1 && key[0] > 0x20 && key[0] < 0x7F) {
        const char character = key[0];
        return static_cast<KeysymValue>(character >= 'A' && character <= 'Z' ? character - 'A' + 'a' : character);
    }
    return 0;
}

std::vector<KeysymValue> ChordModifierKeysyms(const TKeyChord& chord) {
    std::vector<KeysymValue> keysyms;
    if (chord.ctrl) {
        keysyms.push_back(XKB_KEY_Control_L);
    }
    if (chord.alt) {
        keysyms.push_back(XKB_KEY_Alt_L);
    }
    if (chord.shift) {
        keysyms.push_back(XKB_KEY_Shift_L);
    }
    if (chord.super) {
        keysyms.push_back(XKB_KEY_Super_L);
    }
    return keysyms;
}

} // namespace velmora
