#pragma once

#include "KeyPlan.h"
#include "KeyRelease.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace velmora {

/// The current layout, in all its groups, as the planner needs it, read through XKB.
TKeyboardLayout ReadKeyboardLayout(Display* display);

/// Free keycodes bound to characters for the length of a text; emptied again when the object goes. What is bound is
/// also written on the root window, so that a copy of the program that ends without putting it back (killed, lost
/// its connection) has it put back by the next one. A keycode gets as many groups as its characters need, each of
/// one level, two (Shift) or four (Shift and the Level3 shift of the layout).
class TX11KeymapBindings {
public:
    explicit TX11KeymapBindings(Display* display);
    ~TX11KeymapBindings();
    TX11KeymapBindings(const TX11KeymapBindings&) = delete;
    TX11KeymapBindings& operator=(const TX11KeymapBindings&) = delete;

    /// Gives the keycodes this content in a single keymap change.
    void Bind(const std::vector<TBinding>& bindings);
    /// Empties the keycodes again in a single keymap change; keycodes not bound here are left alone.
    void Unbind(const std::vector<unsigned>& keycodes);
    /// Whether keycodes are bound now.
    bool Bound() const { return !FBound.empty(); }
    /// The keymap changes made so far (binds and unbinds).
    std::size_t Changes() const { return FChanges; }

private:
    void Record();

    Display* FDisplay;
    Atom FRecord;
    std::map<unsigned, TBinding> FBound;
    std::size_t FChanges = 0;
};

/// Empties the keycodes that a copy of the program recorded as bound and did not put back, where they still hold
/// what it bound, and lets go of those it left down; returns how many. Called when the typist starts and before each
/// text, under the typing lock.
std::size_t RestoreAbandonedBindings(Display* display);

/// Caps Lock would change what the keys type: it is switched off for the length of a text and put back afterwards.
/// (The group and the Shift and Level3 locks go with each key: see IKeySender::Select.)
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
    bool FEnded = false;
};

/// The core keyboard's keys, read with XQueryKeymap and released through XTest.
class TX11KeyboardState final : public IKeyboardState {
public:
    /// `hotkeyKeys` are the keycodes of the hotkey that asked for the text; `pause` waits and reports whether
    /// typing may go on.
    TX11KeyboardState(Display* display, std::vector<unsigned> hotkeyKeys,
                      std::function<bool(std::chrono::milliseconds)> pause);

    std::vector<unsigned> HeldKeys() override;
    bool IsModifier(unsigned keycode) override { return FModifiers.count(keycode) != 0; }
    bool MayRelease(unsigned keycode) override;
    void Release(unsigned keycode) override;
    void TypeAround(unsigned keycode) override { FAround.insert(keycode); }
    bool Pause(std::chrono::milliseconds duration) override { return FPause(duration); }

    /// The keys down in XQueryKeymap's bits, but those typed around (which leave that set once they are up).
    std::vector<unsigned> HeldIn(const std::uint8_t* bits);

private:
    Display* FDisplay;
    std::vector<unsigned> FHotkeyKeys;
    std::function<bool(std::chrono::milliseconds)> FPause;
    std::set<unsigned> FModifiers;
    std::set<unsigned> FAround;
};

} // namespace velmora
