#include "RemoteDesktopKeys.h"

#include "platform/Keysyms.h"

#include <utility>

namespace velmora {

TRemoteKeyPlan::TRemoteKeyPlan(std::optional<std::set<std::uint32_t>> layoutKeysyms,
                               std::optional<TLayoutChords> chords)
    : FLayout(std::move(layoutKeysyms)), FChords(std::move(chords)) {}

std::optional<std::vector<TRemoteKey>> TRemoteKeyPlan::Keys(const TStroke& stroke) const {
    const std::uint32_t keysym = XkbKeysymOf(stroke);
    if (keysym == 0) {
        return std::nullopt;
    }
    if (FChords) {
        const std::optional<std::vector<TKeyEvent>> chord = FChords->Chord(keysym);
        if (!chord) {
            return std::nullopt;
        }
        std::vector<TRemoteKey> keys;
        for (const TKeyEvent& event : *chord) {
            keys.push_back({true, event.code, event.pressed});
        }
        return keys;
    }
    if (FLayout && FLayout->count(keysym) == 0) {
        return std::nullopt;
    }
    return std::vector<TRemoteKey>{{false, keysym, true}, {false, keysym, false}};
}

std::optional<std::vector<TRemoteKey>> TRemoteKeyPlan::ChordKeys(const TKeyChord& chord) const {
    const KeysymValue key = KeyKeysym(chord.key);
    if (key == 0 || (FLayout && FLayout->count(key) == 0)) {
        return std::nullopt;
    }
    std::vector<TRemoteKey> modifiers;
    std::vector<TRemoteKey> keys;
    if (FChords) {
        // The modifier is the key that types its keysym alone; the key's own level may add Shift or AltGr.
        for (const KeysymValue modifier : ChordModifierKeysyms(chord)) {
            const std::optional<std::vector<TKeyEvent>> events = FChords->Chord(modifier);
            if (!events || events->size() != 2) {
                return std::nullopt;
            }
            modifiers.push_back({true, events->front().code, true});
        }
        const std::optional<std::vector<TKeyEvent>> events = FChords->Chord(key);
        if (!events) {
            return std::nullopt;
        }
        for (const TKeyEvent& event : *events) {
            keys.push_back({true, event.code, event.pressed});
        }
    } else {
        for (const KeysymValue modifier : ChordModifierKeysyms(chord)) {
            modifiers.push_back({false, modifier, true});
        }
        keys = {{false, key, true}, {false, key, false}};
    }
    std::vector<TRemoteKey> calls = modifiers;
    calls.insert(calls.end(), keys.begin(), keys.end());
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        calls.push_back({modifier->keycode, modifier->value, false});
    }
    return calls;
}

std::vector<TRemoteKey> TRemoteKeyPlan::LetGoOfModifiers() const {
    std::vector<TRemoteKey> keys;
    if (FChords) {
        for (const std::uint32_t code : FChords->ModifierKeys()) {
            keys.push_back({true, code, false});
        }
    }
    return keys;
}

} // namespace velmora
