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
    // A copy that waits looks without a grab: the typing copy's runs are not kept from the server.
    if (XGetSelectionOwner(FDisplay, FSelection) != None) {
        return false;
    }
    // Looked at again and taken while no other client can act: two copies never both see it free. Taken at the
    // server's current time by our own window, it cannot be refused.
    XGrabServer(FDisplay);
    const bool free = XGetSelectionOwner(FDisplay, FSelection) == None;
    if (free) {
        XSetSelectionOwner(FDisplay, FSelection, FWindow, CurrentTime);
    }
    XUngrabServer(FDisplay);
    XFlush(FDisplay);
    FHeld = free;
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
