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

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();
/// How far ahead a keymap change looks for further characters to bind with the one that is needed now.
constexpr std::size_t kLookahead = 4096;

/// Whether strokes at this level can be typed: the Level3 ones only on a layout with a Level3 shift.
bool LevelReachable(const TKeyboardLayout& layout, unsigned level) {
    return (level & 2U) == 0 || layout.level3Modifiers != 0;
}

/// The groups in the order they are preferred: the user's own first.
std::vector<unsigned> GroupOrder(unsigned activeGroup) {
    std::vector<unsigned> order{activeGroup % kKeyGroups};
    for (unsigned group = 0; group < kKeyGroups; ++group) {
        if (group != order.front()) {
            order.push_back(group);
        }
    }
    return order;
}

/// Whether the key stays down while the text is typed: pressing it would give no event.
bool Held(const TKeyboardLayout& layout, unsigned keycode) {
    return std::find(layout.heldKeycodes.begin(), layout.heldKeycodes.end(), keycode) != layout.heldKeycodes.end();
}

/// Where each keysym of the layout can be typed: the user's group first, then plain levels before the others,
/// then lower keycodes. Held keys type nothing.
std::unordered_map<KeysymValue, TKeyStroke> IndexLayout(const TKeyboardLayout& layout) {
    std::unordered_map<KeysymValue, TKeyStroke> index;
    for (const unsigned group : GroupOrder(layout.activeGroup)) {
        for (unsigned level = 0; level < kKeyLevels; ++level) {
            if (!LevelReachable(layout, level)) {
                continue;
            }
            for (const TLayoutKey& key : layout.keys) {
                if (key.group == group && key.levels[level] != 0 && !Held(layout, key.keycode)) {
                    index.try_emplace(key.levels[level], TKeyStroke{key.keycode, group, level});
                }
            }
        }
    }
    return index;
}

/// One level of one group of a free keycode and the character it holds.
struct TSlot {
    TKeyStroke key;
    std::size_t rank = 0; ///< the order in which empty slots are taken: cheaper keys first
    KeysymValue keysym = 0;
    std::size_t nextUse = kNever; ///< text position of the next stroke that needs the character
    std::size_t lastUse = 0;      ///< strokes typed up to and including its last use; 0 when unused
};

/// Plans one text: walks the strokes, keeping the free keycodes' contents as a cache.
class TPlanner {
public:
    TPlanner(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout)
        : FStrokes(strokes), FOnLayout(IndexLayout(layout)) {
        std::vector<unsigned> keycodes = layout.freeKeycodes;
        std::erase_if(keycodes, [&layout](unsigned keycode) { return Held(layout, keycode); });
        std::sort(keycodes.begin(), keycodes.end());
        keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
        const unsigned levels = layout.fourLevelKeys && layout.level3Modifiers != 0 ? 4 : 2;
        // Plain levels in every group first, the user's group first: a short text then needs no modifier locked. (Which
        // order they fill in made no difference to the targets' speed in measurements.)
        for (unsigned level = 0; level < levels; ++level) {
            for (const unsigned group : GroupOrder(layout.activeGroup)) {
                for (const unsigned keycode : keycodes) {
                    FSlotsOfKey[keycode].push_back(FSlots.size());
                    FSlots.push_back({{keycode, group, level}, FSlots.size()});
                }
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
            Emit(slot.key);
            slot.lastUse = FPlan.strokes;
            slot.nextUse = FNextSame[i];
        }
        if (!FBatch.strokes.empty()) {
            FPlan.batches.push_back(std::move(FBatch));
        }
        std::set<unsigned> bound;
        for (const TSlot& slot : FSlots) {
            if (slot.keysym != 0) {
                bound.insert(slot.key.keycode);
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
            // Needed farthest ahead first; then read longest ago; then the cheaper key.
            return std::tuple(y.nextUse, x.lastUse, x.rank) < std::tuple(x.nextUse, y.lastUse, y.rank);
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
        std::set<unsigned> changed; // keycodes, in ascending order
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
            changed.insert(slot.key.keycode);
        }
        for (const unsigned keycode : changed) {
            TBinding binding{keycode};
            for (const std::size_t s : FSlotsOfKey[keycode]) {
                binding.At(FSlots[s].key.group, FSlots[s].key.level) = FSlots[s].keysym;
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
    std::map<unsigned, std::vector<std::size_t>> FSlotsOfKey;
    std::unordered_map<KeysymValue, std::size_t> FSlotOf;
    TBatch FBatch;
    TTypingPlan FPlan;
};

} // namespace

unsigned TBinding::Groups() const {
    for (unsigned group = kKeyGroups; group > 0; --group) {
        for (unsigned level = 0; level < kKeyLevels; ++level) {
            if (At(group - 1, level) != 0) {
                return group;
            }
        }
    }
    return 0;
}

unsigned TBinding::Levels() const {
    unsigned levels = 1;
    for (unsigned group = 0; group < kKeyGroups; ++group) {
        for (unsigned level = 1; level < kKeyLevels; ++level) {
            if (At(group, level) != 0) {
                levels = std::max(levels, level + 1);
            }
        }
    }
    return levels > 2 ? 4 : levels;
}

TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout) {
    return TPlanner(strokes, layout).Plan();
}

std::optional<TChordPlan> PlanChord(KeysymValue keysym, const std::vector<KeysymValue>& modifiers,
                                    const TKeyboardLayout& layout) {
    if (keysym == 0) {
        return std::nullopt;
    }
    const std::unordered_map<KeysymValue, TKeyStroke> onLayout = IndexLayout(layout);
    TChordPlan plan;
    for (const KeysymValue modifier : modifiers) {
        const auto key = onLayout.find(modifier);
        if (key == onLayout.end()) {
            return std::nullopt;
        }
        plan.modifiers.push_back(key->second.keycode);
    }
    if (const auto key = onLayout.find(keysym); key != onLayout.end()) {
        plan.key = key->second;
        return plan;
    }
    const auto free = std::find_if(layout.freeKeycodes.begin(), layout.freeKeycodes.end(),
                                   [&layout](unsigned keycode) { return !Held(layout, keycode); });
    if (free == layout.freeKeycodes.end()) {
        return std::nullopt;
    }
    const unsigned group = layout.activeGroup % kKeyGroups;
    TBinding binding{*free};
    binding.At(group, 0) = keysym;
    plan.bindings.push_back(binding);
    plan.key = {*free, group, 0};
    return plan;
}

} // namespace velmora
