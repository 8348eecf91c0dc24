#include "KeyPlan.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace velmora {

namespace {

constexpr KeysymValue kReturnKeysym = 0xFF0D;
constexpr KeysymValue kTabKeysym = 0xFF09;
constexpr KeysymValue kUnicodeKeysymBase = 0x01000000;

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

/// Binds the missing keysyms (in order of first use) to the closest free keycodes, two per key when Shift exists.
TBatch BindBatch(const std::vector<KeysymValue>& missing, const TKeyboardLayout& layout,
                 std::unordered_map<KeysymValue, TKeyStroke>& bound) {
    TBatch batch;
    bound.clear();
    const std::size_t perKey = layout.shiftKeycode != 0 ? 2 : 1;
    const std::size_t keyCount = (missing.size() + perKey - 1) / perKey;
    const std::vector<unsigned> keycodes = ClosestKeycodes(layout.freeKeycodes, keyCount);
    for (std::size_t k = 0; k < keycodes.size(); ++k) {
        TBinding binding{keycodes[k], missing[k * perKey], 0};
        bound[binding.plain] = {binding.keycode, false};
        if (perKey == 2 && k * 2 + 1 < missing.size()) {
            binding.shifted = missing[k * 2 + 1];
            bound[binding.shifted] = {binding.keycode, true};
        }
        batch.bindings.push_back(binding);
    }
    return batch;
}

} // namespace

KeysymValue StrokeKeysym(const TStroke& stroke) {
    switch (stroke.kind) {
    case StrokeKind::Return:
        return kReturnKeysym;
    case StrokeKind::Tab:
        return kTabKeysym;
    case StrokeKind::Character:
        break;
    }
    const char32_t c = stroke.character;
    if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF)) {
        return c;
    }
    return kUnicodeKeysymBase + c;
}

std::vector<unsigned> ClosestKeycodes(std::vector<unsigned> freeKeycodes, std::size_t count) {
    std::sort(freeKeycodes.begin(), freeKeycodes.end());
    freeKeycodes.erase(std::unique(freeKeycodes.begin(), freeKeycodes.end()), freeKeycodes.end());
    if (count >= freeKeycodes.size()) {
        return freeKeycodes;
    }
    if (count == 0) {
        return {};
    }
    std::size_t best = 0;
    for (std::size_t first = 1; first + count <= freeKeycodes.size(); ++first) {
        if (freeKeycodes[first + count - 1] - freeKeycodes[first] <
            freeKeycodes[best + count - 1] - freeKeycodes[best]) {
            best = first;
        }
    }
    const auto begin = freeKeycodes.begin() + static_cast<std::ptrdiff_t>(best);
    return {begin, begin + static_cast<std::ptrdiff_t>(count)};
}

TTypingPlan PlanTyping(const std::vector<TStroke>& strokes, const TKeyboardLayout& layout) {
    TTypingPlan plan;
    plan.shiftKeycode = layout.shiftKeycode;
    const auto onLayout = IndexLayout(layout);
    const std::size_t capacity = layout.freeKeycodes.size() * (layout.shiftKeycode != 0 ? 2 : 1);

    std::vector<KeysymValue> keysyms;
    keysyms.reserve(strokes.size());
    for (const TStroke& stroke : strokes) {
        keysyms.push_back(StrokeKeysym(stroke));
    }

    // Cut the text into the longest stretches whose missing keysyms fit the free keycodes at once.
    std::size_t start = 0;
    while (start < keysyms.size()) {
        std::vector<KeysymValue> missing;
        std::unordered_set<KeysymValue> seen;
        std::size_t end = start;
        for (; end < keysyms.size(); ++end) {
            const KeysymValue keysym = keysyms[end];
            if (onLayout.count(keysym) != 0 || seen.count(keysym) != 0 || capacity == 0) {
                continue;
            }
            if (missing.size() == capacity) {
                break;
            }
            seen.insert(keysym);
            missing.push_back(keysym);
        }

        std::unordered_map<KeysymValue, TKeyStroke> bound;
        TBatch batch = missing.empty() ? TBatch{} : BindBatch(missing, layout, bound);
        for (std::size_t i = start; i < end; ++i) {
            if (const auto it = onLayout.find(keysyms[i]); it != onLayout.end()) {
                batch.strokes.push_back(it->second);
            } else if (const auto boundIt = bound.find(keysyms[i]); boundIt != bound.end()) {
                batch.strokes.push_back(boundIt->second);
            } else {
                ++plan.dropped;
            }
        }
        if (!batch.strokes.empty()) {
            plan.batches.push_back(std::move(batch));
        }
        start = end;
    }
    return plan;
}

} // namespace velmora
