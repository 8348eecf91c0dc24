#pragma once

#include <chrono>
#include <vector>

namespace velmora {

/// The keys the user holds, as the typist sees and may change them.
class IKeyboardState {
public:
    IKeyboardState() = default;
    IKeyboardState(const IKeyboardState&) = delete;
    IKeyboardState& operator=(const IKeyboardState&) = delete;
    virtual ~IKeyboardState() = default;

    /// The keycodes that are down now.
    virtual std::vector<unsigned> HeldKeys() = 0;
    /// Whether the key sets a modifier (Shift, Control, Alt, Super, ...).
    virtual bool IsModifier(unsigned keycode) = 0;
    /// Lets go of a held key as if the user had released it.
    virtual void Release(unsigned keycode) = 0;
    /// Waits this long; false when typing is being abandoned meanwhile.
    virtual bool Pause(std::chrono::milliseconds duration) = 0;
};

/// What the wait for the user's keys came to.
struct TReleaseOutcome {
    bool cancelled = false;         ///< the typist is stopping: type nothing
    std::vector<unsigned> released; ///< keys still held at the bound that were let go of for the user
};

/// Waits, polling, until no key is held (the hotkey's keys and every modifier). Keys still held when `bound` has
/// passed are released, modifiers first; they are never pressed again, so a held Ctrl cannot stick.
TReleaseOutcome AwaitKeysReleased(IKeyboardState& keyboard,
                                  std::chrono::milliseconds bound = std::chrono::milliseconds(2000),
                                  std::chrono::milliseconds poll = std::chrono::milliseconds(10));

} // namespace velmora
