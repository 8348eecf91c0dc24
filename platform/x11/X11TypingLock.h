#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>

namespace velmora {

/// The copies of the program on one display type one text at a time: the one that types owns the selection
/// _VELMORA_TYPIST with a window of its own, the others wait for it. The server gives the selection up when its
/// owner's connection ends, so a copy that was killed holds nothing, and whoever holds the lock may put back any key
/// bindings still recorded: their owner is gone.
class TX11TypingLock {
public:
    /// Makes the owner window on `display`, which must outlive the lock.
    explicit TX11TypingLock(Display* display);
    ~TX11TypingLock();
    TX11TypingLock(const TX11TypingLock&) = delete;
    TX11TypingLock& operator=(const TX11TypingLock&) = delete;

    /// Takes the lock at once if no copy holds it; false otherwise.
    bool TryTake();
    /// Takes the lock, waiting through `pause` while another copy holds it; false when `pause` says stop, or when
    /// `patience` passed first.
    bool Take(const std::function<bool(std::chrono::milliseconds)>& pause, std::chrono::milliseconds patience);
    /// Gives the lock up (nothing when it is not held).
    void Release();

private:
    Display* FDisplay;
    Atom FSelection;
    Window FWindow;
    bool FHeld = false;
};

} // namespace velmora
