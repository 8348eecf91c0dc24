#pragma once

#include "platform/TextWalk.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

/// One keymap and the keys that type a run of a text with it.
struct TKeymapBatch {
    std::string keymap;              ///< an XKB keymap (text format v1) with one key per distinct stroke of the run
    std::vector<std::uint32_t> keys; ///< one evdev key code (XKB keycode - 8) per stroke of the run, in order
};

/// The keysym that types a stroke: Return, Tab, or the character's keysym; 0 (NoSymbol) for none.
std::uint32_t XkbKeysymOf(const TStroke& stroke);

/// Keycodes the keymaps use: 9 to 255, as every XKB client accepts.
inline constexpr std::size_t kMaxKeysPerKeymap = 247;

/// The keymaps and keys that type these strokes exactly: each character gets a key of its own that gives it at the
/// first level, Return and Tab get the Return and Tab keysyms. A run holds at most `maxKeys` distinct strokes; more
/// start a new run. Code points that have no keysym (beyond U+10FFFF) are left out and added to `dropped`.
std::vector<TKeymapBatch> PlanKeymaps(const std::vector<TStroke>& strokes, std::u32string& dropped,
                                      std::size_t maxKeys = kMaxKeysPerKeymap);

} // namespace velmora
