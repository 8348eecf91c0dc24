#pragma once

#include "TextWalk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

/// An X keysym value (0 is NoSymbol).
using KeysymValue = std::uint32_t;

/// The keysym that stands for a stroke: Return, Tab, a Latin-1 character's own value, or 0x01000000 + code point.
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

/// A free keycode bound to one or two characters: `plain` without modifiers, `shifted` (0 if none) with Shift.
struct TBinding {
    unsigned keycode = 0;
    KeysymValue plain = 0;
    KeysymValue shifted = 0;

    bool operator==(const TBinding&) const = default;
};

/// A stretch of the text typed under one set of bindings (empty when the stretch needs none).
struct TBatch {
    std::vector<TBinding> bindings;
    std::vector<TKeyStroke> strokes;
};

/// How a text is typed: its batches in order. Bindings of one batch replace those of the one before.
struct TTypingPlan {
    std::vector<TBatch> batches;
    unsigned shiftKeycode = 0;
    std::size_t dropped = 0; ///< strokes that could not be placed (no free keycode at all)
};

/// Plans the keys for the strokes: a keysym on the layout is typed with its key (without Shift if possible);
/// every other keysym is bound, two per free keycode, each bound once per batch, in as few batches as the free
/// keycodes allow; each batch takes the free keycodes that lie closest together.
TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout);

/// The `count` keycodes of `freeKeycodes` (any order) that span the narrowest range, ascending.
std::vector<unsigned> ClosestKeycodes(std::vector<unsigned> freeKeycodes, std::size_t count);

} // namespace velmora
