#include "HotkeyPresses.h"

#include "KeyPlan.h"

#include <X11/keysym.h>

#include <algorithm>

namespace velmora {

void THotkeyPressTracker::KeyDown(unsigned keycode, unsigned state, const THotkeyLookup& lookup) {
    const auto pending = std::find_if(FPending.begin(), FPending.end(),
                                      [keycode](const TPending& entry) { return entry.keycode == keycode; });
    if (pending != FPending.end()) {
        ++pending->count; // auto-repeat of a held hotkey
        return;
    }
    if (const auto press = lookup(keycode, state & kHotkeyStateMask)) {
        FPending.push_back({keycode, *press, 1});
    }
}

void THotkeyPressTracker::KeyUp(unsigned keycode, std::vector<THotkeyPress>& presses) {
    const auto pending = std::find_if(FPending.begin(), FPending.end(),
                                      [keycode](const TPending& entry) { return entry.keycode == keycode; });
    if (pending == FPending.end()) {
        return;
    }
    presses.insert(presses.end(), static_cast<std::size_t>(pending->count), pending->press);
    FPending.erase(pending);
}

std::vector<unsigned> KeycodesCarrying(std::vector<KeySym> keysyms, const KeySym* map, int minKeycode, int keycodeCount,
                                       int perKeycode) {
    std::sort(keysyms.begin(), keysyms.end());
    std::vector<unsigned> keycodes;
    for (int index = 0; map != nullptr && index < keycodeCount; ++index) {
        const KeySym* row = map + static_cast<std::ptrdiff_t>(index) * perKeycode;
        const bool carries = std::any_of(row, row + perKeycode, [&](KeySym keysym) {
            return keysym != NoSymbol && std::binary_search(keysyms.begin(), keysyms.end(), keysym);
        });
        if (carries) {
            keycodes.push_back(static_cast<unsigned>(minKeycode + index));
        }
    }
    return keycodes;
}

std::vector<KeySym> KeysymsTyping(const std::u32string& text, const std::vector<TKeyChord>& keys) {
    std::vector<KeySym> keysyms{XK_Shift_L, XK_Shift_R, XK_Caps_Lock, XK_ISO_Level3_Shift, XK_Mode_switch};
    for (const char32_t character : text) {
        keysyms.push_back(CharacterKeysym(character));
    }
    for (const TKeyChord& key : keys) {
        keysyms.push_back(KeyKeysym(key.key));
        for (const KeysymValue modifier : ChordModifierKeysyms(key)) {
            keysyms.push_back(modifier);
        }
    }
    return keysyms;
}

} // namespace velmora
