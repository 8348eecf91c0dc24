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

    /// The keycodes that are down now, but those the typist has agreed to type around.
    virtual std::vector<unsigned> HeldKeys() = 0;
    /// Whether the key sets a modifier (Shift, Control, Alt, Super, ...).
    virtual bool IsModifier(unsigned keycode) = 0;
    /// Whether the typist may let go of the key for the user: a modifier, or a key of the hotkey that asked for the
    /// text. Any other key (push-to-talk in another program, a game's key) is the user's own.
    virtual bool MayRelease(unsigned keycode) = 0;
    /// Lets go of a held key as if the user had released it.
    virtual void Release(unsigned keycode) = 0;
    /// From now on HeldKeys leaves out this key for as long as it stays down.
    virtual void TypeAround(unsigned keycode) = 0;
    /// Waits this long; false when typing is being abandoned meanwhile.
    virtual bool Pause(std::chrono::milliseconds duration) = 0;
};

/// What the wait for the user's keys came to.
struct TReleaseOutcome {
    bool cancelled = false;         ///< the typist is stopping: type nothing
    std::vector<unsigned> released; ///< keys still held at the bound that were let go of for the user
    std::vector<unsigned> left;     ///< the user's own keys still held at the bound: typed around, never touched
};

/// Waits, polling, until no key is held. At the bound, the held keys that may be released are let go of,
/// modifiers first, and never pressed again, so that a held Ctrl cannot stick; the others stay down untouched and
/// are typed around.
TReleaseOutcome AwaitKeysReleased(IKeyboardState& keyboard,
                                  std::chrono::milliseconds bound = std::chrono::milliseconds(2000),
                                  std::chrono::milliseconds poll = std::chrono::milliseconds(10));

} // namespace velmora
