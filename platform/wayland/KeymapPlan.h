#pragma once

#include "platform/TextWalk.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace velmora {

/// One keymap and the keys that type a run of a text with it.
struct TKeymapBatch {
    std::string keymap;                ///< an XKB keymap (text format v1) with one key per distinct stroke of the run
    std::vector<std::uint32_t> keys;   ///< one evdev key code (XKB keycode - 8) per stroke of the run, in order
    std::set<std::uint32_t> breakKeys; ///< those of `keys` that type Return or Tab
};

/// The keys (evdev codes) the keymaps put characters on: those that type a printable character on a US keyboard with
/// NumLock on, but Space and the keypad's ±. Applications read a key by its position too: Chromium drops a key whose
/// position has no DOM key code and gives a character it knows no key code for the US key code of the position, so
/// that a character on F1's key opens its Help tab. On these keys a character is only ever a character.
inline constexpr auto kTypingKeys = std::to_array<std::uint32_t>({
    2,  3,  4,  5,  6,  7,   8,   9,   10,  11, 12, 13,     // 1 … 0 - =
    16, 17, 18, 19, 20, 21,  22,  23,  24,  25, 26, 27,     // q … p [ ]
    30, 31, 32, 33, 34, 35,  36,  37,  38,  39, 40, 41, 43, // a … l ; ' ` backslash
    44, 45, 46, 47, 48, 49,  50,  51,  52,  53, 86,         // z … m , . / and the key left of z
    71, 72, 73, 75, 76, 77,  79,  80,  81,  82,             // keypad 7 … 0
    55, 74, 78, 83, 98, 117, 121, 179, 180,                 // keypad * - + . / = , ( )
});

/// The most distinct strokes one keymap holds.
inline constexpr std::size_t kMaxKeysPerKeymap = kTypingKeys.size();

/// The keysym as a keymap names it: by name, or by number where the name would not read back as the same keysym
/// (xkbcommon reads "U0001" as no symbol); empty for a value that is no keysym.
std::string KeymapKeysymName(std::uint32_t keysym);
/// A whole keymap (XKB text format v1) of these keycode and symbol lines, with the usual key types and actions:
/// evdev codes plus 8, from 8 to 255.
std::string WholeKeymap(const std::string& keycodes, const std::string& symbols);

/// The keymaps and keys that type these strokes exactly: each character gets a key of its own that gives it at the
/// first level, Return and Tab get the Return and Tab keysyms. A run holds at most `maxKeys` (at most
/// kMaxKeysPerKeymap) distinct strokes; more start a new run. Code points that have no keysym (beyond U+10FFFF) are
/// left out and added to `dropped`.
std::vector<TKeymapBatch> PlanKeymaps(const std::vector<TStroke>& strokes, std::u32string& dropped,
                                      std::size_t maxKeys = kMaxKeysPerKeymap);

} // namespace velmora
