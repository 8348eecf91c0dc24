#pragma once

#include "platform/Keysyms.h"
#include "platform/TextWalk.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

/// The layout groups a keycode can hold.
constexpr unsigned kKeyGroups = 4;
/// The levels of a group the typist reaches: 0 plain, 1 Shift, 2 Level3, 3 Shift+Level3 (bit 0 is Shift, bit 1
/// the Level3 shift, AltGr on many layouts).
constexpr unsigned kKeyLevels = 4;

/// One key of the current layout in one of its groups: what it types at each level (0 where nothing).
struct TLayoutKey {
    unsigned keycode = 0;
    unsigned group = 0;
    std::array<KeysymValue, kKeyLevels> levels{};
};

/// What the planner needs to know about the keyboard.
struct TKeyboardLayout {
    std::vector<TLayoutKey> keys;       ///< the keys that carry symbols, in each of their groups
    std::vector<unsigned> freeKeycodes; ///< keycodes with no symbol at all, which may be bound for a while
    unsigned level3Modifiers = 0;       ///< the modifiers of the layout's Level3 shift; 0 when it has none
    bool fourLevelKeys = false;         ///< whether a bound keycode can hold four levels (it has two otherwise)
    unsigned activeGroup = 0;           ///< the group the user has chosen: its keys are preferred
    /// Keys that stay down while the text is typed (the user's own, or one a typist that was killed left pressed).
    /// X gives no event for a press of a key that is down, so none of them is used: not to bind, nor for what their
    /// symbols type (those characters are bound to free keycodes instead).
    std::vector<unsigned> heldKeycodes;
};

/// One key to tap, in a layout group and at a level.
struct TKeyStroke {
    unsigned keycode = 0;
    unsigned group = 0;
    unsigned level = 0;

    bool operator==(const TKeyStroke&) const = default;
};

/// The whole new content of a free keycode: a keysym (0 if none) for each group and level.
struct TBinding {
    unsigned keycode = 0;
    std::array<KeysymValue, kKeyGroups * kKeyLevels> keysyms{}; ///< [group * kKeyLevels + level]

    KeysymValue At(unsigned group, unsigned level) const { return keysyms[group * kKeyLevels + level]; }
    KeysymValue& At(unsigned group, unsigned level) { return keysyms[group * kKeyLevels + level]; }
    /// The groups the keycode needs: up to the last one that holds a keysym.
    unsigned Groups() const;
    /// The levels each group of the keycode gets: 1, 2 or 4 (a key type with the Level3 levels has Shift's too).
    unsigned Levels() const;

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
    std::vector<unsigned> boundKeycodes; ///< every keycode some batch binds: emptied again after the text
    std::size_t strokes = 0;             ///< strokes in all batches
    std::size_t keymapChanges = 0;       ///< batches that bind
    std::vector<char32_t> dropped;       ///< characters that found no key (no free keycode at all), in text order
};

/// Plans the keys for the strokes. A keysym on the layout is typed with its key (unless that key is held), in the
/// user's group and at the plain level if possible. The others are bound to free keycodes, each of which holds up to
/// four groups of four levels (two without a Level3 shift); plain levels are filled first, in every group. A character
/// stays bound while it is used again; when the free keycodes are full, the characters needed farthest in the future
/// give way (all exchanges that gain are made in one keymap change), and among those equally far, the ones whose last
/// use lies farthest back, so that the target has most likely read them already.
TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout);

/// How a key inside a text is pressed: the keys of its modifiers held down around it.
struct TChordPlan {
    std::vector<unsigned> modifiers; ///< keycodes, pressed in this order and let go of in the reverse one
    TKeyStroke key;                  ///< the key, in its group and at its level
    std::vector<TBinding> bindings;  ///< a free keycode given the key's keysym, when the layout has no key for it

    bool operator==(const TChordPlan&) const = default;
};

/// Plans a key with its modifiers: the key where PlanTyping would find its keysym on the layout, else on a free
/// keycode; each modifier on the layout's key for it. None when the keysym is 0, a modifier has no key that is up,
/// or no free keycode is left.
std::optional<TChordPlan> PlanChord(KeysymValue keysym, const std::vector<KeysymValue>& modifiers,
                                    const TKeyboardLayout& layout);

} // namespace velmora
