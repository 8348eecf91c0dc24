#include "KeyRelease.h"

#include <algorithm>

namespace velmora {

TReleaseOutcome AwaitKeysReleased(IKeyboardState& keyboard, std::chrono::milliseconds bound,
                                  std::chrono::milliseconds poll) {
    TReleaseOutcome outcome;
    std::chrono::milliseconds waited{0};
    std::vector<unsigned> held = keyboard.HeldKeys();
    while (!held.empty() && waited < bound) {
        if (!keyboard.Pause(poll)) {
            outcome.cancelled = true;
            return outcome;
        }
        waited += poll;
        held = keyboard.HeldKeys();
    }
    // Modifiers go first: while one is down, letting go of the other keys could still make a shortcut of them.
    std::stable_partition(held.begin(), held.end(), [&](unsigned keycode) { return keyboard.IsModifier(keycode); });
    for (unsigned keycode : held) {
        if (keyboard.MayRelease(keycode)) {
            keyboard.Release(keycode);
            outcome.released.push_back(keycode);
        } else {
            keyboard.TypeAround(keycode);
            outcome.left.push_back(keycode);
        }
    }
    return outcome;
}

} // namespace velmora
