#pragma once

#include "platform/TextWalk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

/// An X keysym value (0 is NoSymbol).
using KeysymValue = std::uint32_t;

/// The keysym that types one character of a text: Return for line breaks, Tab, Latin-1 as itself, the rest Unicode
/// (0x01000000 + code point). The typist and the hotkey service both use this one rule.
KeysymValue CharacterKeysym(char32_t character);

/// The keysym that stands for a stroke.
KeysymValue StrokeKeysym(const TStroke& stroke);

/// One key of the current layout, in its first group, as it types without modifiers and with Shift.
struct TLayoutKey {
    unsigned keycode = 0;
    KeysymValue plain = 0;
    KeysymValue shifted = 0;
};

/// What the planner needs to know about the keyboard.
struct TKeyboardLayout {
    std::vector<TLayoutKey> keys;       ///< the keys that carry symbols
    std::vector<unsigned> freeKeycodes; ///< keycodes with no symbol at all, which may be bound for a while
    unsigned shiftKeycode = 0;          ///< a key that sets the Shift modifier; 0 when there is none
};

/// One key to tap, with Shift held or not.
struct TKeyStroke {
    unsigned keycode = 0;
    bool shift = false;

    bool operator==(const TKeyStroke&) const = default;
};

/// The whole new content of a free keycode: `plain` without modifiers, `shifted` (0 if none) with Shift.
struct TBinding {
    unsigned keycode = 0;
    KeysymValue plain = 0;
    KeysymValue shifted = 0;

    bool operator==(const TBinding&) const = default;
};

/// A stretch of the text, typed after one keymap change (none when `bindings` is empty).
struct TBatch {
    std::vector<TBinding> bindings; ///< the keycodes whose content changes before the stretch
    /// How many strokes of the text (from its first) the target must have read before that change: a keycode's
    /// character may be replaced only once every key that typed the old one has been translated.
    std::size_t readBefore = 0;
    std::vector<TKeyStroke> strokes;
};

/// How a text is typed: its batches in order. The free keycodes act as a cache of the characters the layout lacks.
struct TTypingPlan {
    std::vector<TBatch> batches;
    unsigned shiftKeycode = 0;
    std::vector<unsigned> boundKeycodes; ///< every keycode some batch binds: emptied again after the text
    std::size_t strokes = 0;             ///< strokes in all batches
    std::size_t keymapChanges = 0;       ///< batches that bind
    std::vector<char32_t> dropped;       ///< characters that found no key (no free keycode at all), in text order
};

/// Plans the keys for the strokes. A keysym on the layout is typed with its key (without Shift if possible). The
/// others are bound to free keycodes, two per keycode when there is a Shift key. A character stays bound while it
/// is used again; when the free keycodes are full, the characters needed farthest in the future give way (all
/// exchanges that gain are made in one keymap change), and among those equally far, the ones whose last use lies
/// farthest back, so that the target has most likely read them already.
TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout);

} // namespace velmora
