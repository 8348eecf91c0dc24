#include "KeyPlan.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace velmora {

namespace {

constexpr KeysymValue kReturnKeysym = 0xFF0D;
constexpr KeysymValue kTabKeysym = 0xFF09;
constexpr KeysymValue kUnicodeKeysymBase = 0x01000000;
constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();
/// How far ahead a keymap change looks for further characters to bind with the one that is needed now.
constexpr std::size_t kLookahead = 4096;

/// Where each keysym of the layout can be typed; plain positions win over shifted ones, lower keycodes first.
std::unordered_map<KeysymValue, TKeyStroke> IndexLayout(const TKeyboardLayout& layout) {
    std::unordered_map<KeysymValue, TKeyStroke> index;
    for (const TLayoutKey& key : layout.keys) {
        if (key.plain != 0) {
            index.try_emplace(key.plain, TKeyStroke{key.keycode, false});
        }
    }
    if (layout.shiftKeycode != 0) {
        for (const TLayoutKey& key : layout.keys) {
            if (key.shifted != 0) {
                index.try_emplace(key.shifted, TKeyStroke{key.keycode, true});
            }
        }
    }
    return index;
}

/// One level of a free keycode and the character it holds.
struct TSlot {
    unsigned keycode = 0;
    bool shift = false;
    KeysymValue keysym = 0;
    std::size_t nextUse = kNever; ///< text position of the next stroke that needs the character
    std::size_t lastUse = 0;      ///< strokes typed up to and including its last use; 0 when unused
};

/// Plans one text: walks the strokes, keeping the free keycodes' contents as a cache.
class TPlanner {
public:
    TPlanner(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout)
        : FStrokes(strokes), FOnLayout(IndexLayout(layout)) {
        FPlan.shiftKeycode = layout.shiftKeycode;
        std::vector<unsigned> keycodes = layout.freeKeycodes;
        std::sort(keycodes.begin(), keycodes.end());
        keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
        for (const bool shift : {false, true}) {
            if (shift && layout.shiftKeycode == 0) {
                break;
            }
            for (const unsigned keycode : keycodes) {
                FSlots.push_back({keycode, shift});
            }
        }
        FKeysyms.reserve(strokes.size());
        for (const TStroke& stroke : strokes) {
            FKeysyms.push_back(StrokeKeysym(stroke));
        }
        // The next position of the same keysym, for those the layout lacks.
        FNextSame.assign(FKeysyms.size(), kNever);
        std::unordered_map<KeysymValue, std::size_t> later;
        for (std::size_t i = FKeysyms.size(); i-- > 0;) {
            if (OnLayout(i)) {
                continue;
            }
            const auto [it, inserted] = later.try_emplace(FKeysyms[i], i);
            if (!inserted) {
                FNextSame[i] = it->second;
                it->second = i;
            }
        }
    }

    TTypingPlan Plan() {
        for (std::size_t i = 0; i < FKeysyms.size(); ++i) {
            if (const auto it = FOnLayout.find(FKeysyms[i]); it != FOnLayout.end()) {
                Emit(it->second);
                continue;
            }
            if (FSlots.empty()) {
                FPlan.dropped.push_back(FStrokes[i].character);
                continue;
            }
            auto bound = FSlotOf.find(FKeysyms[i]);
            if (bound == FSlotOf.end()) {
                Rebind(i);
                bound = FSlotOf.find(FKeysyms[i]);
            }
            TSlot& slot = FSlots[bound->second];
            Emit({slot.keycode, slot.shift});
            slot.lastUse = FPlan.strokes;
            slot.nextUse = FNextSame[i];
        }
        if (!FBatch.strokes.empty()) {
            FPlan.batches.push_back(std::move(FBatch));
        }
        std::set<unsigned> bound;
        for (const TSlot& slot : FSlots) {
            if (slot.keysym != 0) {
                bound.insert(slot.keycode);
            }
        }
        FPlan.boundKeycodes.assign(bound.begin(), bound.end());
        return std::move(FPlan);
    }

private:
    bool OnLayout(std::size_t position) const { return FOnLayout.count(FKeysyms[position]) != 0; }

    void Emit(const TKeyStroke& stroke) {
        FBatch.strokes.push_back(stroke);
        ++FPlan.strokes;
    }

    /// Binds the character at `position`, and with it every later one for which a slot holds a character needed
    /// even later (or never again), in one keymap change.
    void Rebind(std::size_t position) {
        std::vector<std::size_t> victims(FSlots.size());
        for (std::size_t s = 0; s < victims.size(); ++s) {
            victims[s] = s;
        }
        std::sort(victims.begin(), victims.end(), [this](std::size_t a, std::size_t b) {
            const TSlot& x = FSlots[a];
            const TSlot& y = FSlots[b];
            // Needed farthest ahead first; then read longest ago; then plain levels before shifted ones.
            return std::tuple(y.nextUse, x.lastUse, x.shift, x.keycode) <
                   std::tuple(x.nextUse, y.lastUse, y.shift, y.keycode);
        });

        std::vector<std::pair<KeysymValue, std::size_t>> incoming; // keysym and its first position from here
        std::unordered_set<KeysymValue> taken;
        const std::size_t end = std::min(FKeysyms.size(), position + kLookahead);
        for (std::size_t j = position; j < end && incoming.size() < victims.size(); ++j) {
            const KeysymValue keysym = FKeysyms[j];
            if (OnLayout(j) || FSlotOf.count(keysym) != 0 || taken.count(keysym) != 0) {
                continue;
            }
            if (FSlots[victims[incoming.size()]].nextUse <= j) {
                break; // the next slot's character is needed before this one: keeping it is better
            }
            taken.insert(keysym);
            incoming.emplace_back(keysym, j);
        }

        if (!FBatch.strokes.empty()) {
            FPlan.batches.push_back(std::move(FBatch));
            FBatch = {};
        }
        std::map<unsigned, bool> changed; // keycode, in ascending order
        for (std::size_t k = 0; k < incoming.size(); ++k) {
            TSlot& slot = FSlots[victims[k]];
            if (slot.keysym != 0) {
                FSlotOf.erase(slot.keysym);
            }
            FBatch.readBefore = std::max(FBatch.readBefore, slot.lastUse);
            slot.keysym = incoming[k].first;
            slot.nextUse = incoming[k].second;
            slot.lastUse = 0;
            FSlotOf[slot.keysym] = victims[k];
            changed[slot.keycode] = true;
        }
        for (const auto& [keycode, unused] : changed) {
            TBinding binding{keycode, 0, 0};
            for (const TSlot& slot : FSlots) {
                if (slot.keycode == keycode) {
                    (slot.shift ? binding.shifted : binding.plain) = slot.keysym;
                }
            }
            FBatch.bindings.push_back(binding);
        }
        ++FPlan.keymapChanges;
    }

    const std::vector<TStroke>& FStrokes;
    const std::unordered_map<KeysymValue, TKeyStroke> FOnLayout;
    std::vector<KeysymValue> FKeysyms;
    std::vector<std::size_t> FNextSame;
    std::vector<TSlot> FSlots;
    std::unordered_map<KeysymValue, std::size_t> FSlotOf;
    TBatch FBatch;
    TTypingPlan FPlan;
};

} // namespace

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

TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout) {
    return TPlanner(strokes, layout).Plan();
}

} // namespace velmora
