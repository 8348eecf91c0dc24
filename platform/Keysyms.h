#pragma once

#include "core/SnippetTokens.h"
#include "platform/TextWalk.h"

#include <cstdint>
#include <vector>

namespace velmora {

/// A keysym value as X11 and XKB number them (0 is NoSymbol).
using KeysymValue = std::uint32_t;

/// The keysyms of the two keys that stand for layout in a text, the same on every layout.
inline constexpr KeysymValue kReturnKeysym = 0xFF0D;
inline constexpr KeysymValue kTabKeysym = 0xFF09;
/// Where the keysyms that name a character by its code point begin (0x01000000 + code point).
inline constexpr KeysymValue kUnicodeKeysymBase = 0x01000000;

/// The keysym that types one character by its code point: Return for line breaks, Tab, Latin-1 as itself, the rest
/// Unicode (kUnicodeKeysymBase + code point). The X11 typist and the X11 hotkey service both use this one rule.
KeysymValue CharacterKeysym(char32_t character);
/// The keysym that stands for a stroke, by CharacterKeysym's rule.
KeysymValue StrokeKeysym(const TStroke& stroke);
/// A layout's keysym in CharacterKeysym's form: layouts name most characters beyond Latin-1 by keysyms of their own
/// (Cyrillic_es for U+0441), some by their Unicode keysym; keysyms of no character stay as they are.
KeysymValue AsCharacterKeysym(KeysymValue keysym);

/// The keysym an XKB layout names a stroke's character by (Cyrillic_es for U+0441), as the Wayland routes look it up
/// in a keymap: Return, Tab, control characters as themselves (Unicode keysyms), not as the editing keys that share
/// their code; 0 (NoSymbol) for code points without one (noncharacters, surrogates, beyond U+10FFFF).
KeysymValue XkbKeysymOf(const TStroke& stroke);

/// The keysym of a key inside a text (TKeyChord::key): the editing and function keys by their names ("TAB" is Tab,
/// "PGDN" Next, "F5" F5), a printable ASCII character as itself (a letter in lower case: the key, not the character
/// Shift makes of it); 0 for a name of no key.
KeysymValue KeyKeysym(const std::string& key);
/// The keysyms of the modifiers a chord holds, left-hand keys, in the order Control, Alt, Shift, Super.
std::vector<KeysymValue> ChordModifierKeysyms(const TKeyChord& chord);

} // namespace velmora
