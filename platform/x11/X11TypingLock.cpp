#include "X11TypingLock.h"

namespace velmora {

namespace {

/// How often a waiting copy looks again.
constexpr std::chrono::milliseconds kPoll{20};

} // namespace

TX11TypingLock::TX11TypingLock(Display* display)
    : FDisplay(display), FSelection(XInternAtom(display, "_VELMORA_TYPIST", False)),
      FWindow(XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0,
                            nullptr)) {}

TX11TypingLock::~TX11TypingLock() {
    Release();
    XDestroyWindow(FDisplay, FWindow);
    XFlush(FDisplay);
}

bool TX11TypingLock::TryTake() {
    if (FHeld) {
        return true;
    }
    // Looked at and taken while no other client can act: two copies never both see it free.
    XGrabServer(FDisplay);
    if (XGetSelectionOwner(FDisplay, FSelection) == None) {
        XSetSelectionOwner(FDisplay, FSelection, FWindow, CurrentTime);
    }
    XUngrabServer(FDisplay);
    FHeld = XGetSelectionOwner(FDisplay, FSelection) == FWindow;
    return FHeld;
}

bool TX11TypingLock::Take(const std::function<bool(std::chrono::milliseconds)>& pause,
                          std::chrono::milliseconds patience) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!TryTake()) {
        if (std::chrono::steady_clock::now() >= end || !pause(kPoll)) {
            return false;
        }
    }
    return true;
}

void TX11TypingLock::Release() {
    if (FHeld) {
        XSetSelectionOwner(FDisplay, FSelection, None, CurrentTime);
        XFlush(FDisplay);
        FHeld = false;
    }
}

} // namespace velmora
