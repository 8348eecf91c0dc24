#pragma once

#include "KeyPlan.h"
#include "KeyRelease.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <set>
#include <vector>

namespace velmora {

/// The current layout's first group as the planner needs it, read through XKB.
TKeyboardLayout ReadKeyboardLayout(Display* display);

/// Free keycodes bound to characters for the length of a text; put back as they were when the object goes.
class TX11KeymapBindings {
public:
    explicit TX11KeymapBindings(Display* display) : FDisplay(display) {}
    ~TX11KeymapBindings();
    TX11KeymapBindings(const TX11KeymapBindings&) = delete;
    TX11KeymapBindings& operator=(const TX11KeymapBindings&) = delete;

    /// Binds the keycodes (one or two levels each) in a single keymap change.
    void Bind(const std::vector<TBinding>& bindings);
    /// Empties every keycode bound so far again, in a single keymap change; nothing when none was bound.
    void Restore();
    /// Whether keycodes are bound now.
    bool Bound() const { return !FBound.empty(); }
    /// The keymap changes made so far (binds and restores).
    std::size_t Changes() const { return FChanges; }

private:
    Display* FDisplay;
    std::set<unsigned> FBound;
    std::size_t FChanges = 0;
};

/// Caps Lock and a locked layout group would change what the keys type: both are switched off for the length of a
/// text and put back afterwards.
class TX11LockReset {
public:
    explicit TX11LockReset(Display* display);
    ~TX11LockReset() { End(); }
    TX11LockReset(const TX11LockReset&) = delete;
    TX11LockReset& operator=(const TX11LockReset&) = delete;

    /// Puts the locks back now (once).
    void End();

private:
    Display* FDisplay;
    bool FCapsLock = false;
    int FGroup = 0;
    bool FEnded = false;
};

/// The core keyboard's keys, read with XQueryKeymap and released through XTest.
class TX11KeyboardState final : public IKeyboardState {
public:
    /// `pause` waits and reports whether typing may go on.
    TX11KeyboardState(Display* display, std::function<bool(std::chrono::milliseconds)> pause);

    std::vector<unsigned> HeldKeys() override;
    bool IsModifier(unsigned keycode) override { return FModifiers.count(keycode) != 0; }
    void Release(unsigned keycode) override;
    bool Pause(std::chrono::milliseconds duration) override { return FPause(duration); }

private:
    Display* FDisplay;
    std::function<bool(std::chrono::milliseconds)> FPause;
    std::set<unsigned> FModifiers;
};

} // namespace velmora
