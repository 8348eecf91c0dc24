#include "X11ErrorTrap.h"

namespace velmora {

thread_local TX11ErrorTrap* TX11ErrorTrap::tActive = nullptr;
std::atomic<XErrorHandler> TX11ErrorTrap::sOuterHandler{nullptr};

TX11ErrorTrap::TX11ErrorTrap(Display* display) : FDisplay(display), FEnclosing(tActive) {
    XSync(FDisplay, False); // errors of earlier requests are not ours to catch
    FPrevious = XSetErrorHandler(&TX11ErrorTrap::Handle);
    if (FPrevious != &TX11ErrorTrap::Handle) {
        sOuterHandler.store(FPrevious);
    }
    tActive = this;
}

TX11ErrorTrap::~TX11ErrorTrap() {
    XSync(FDisplay, False);
    tActive = FEnclosing;
    XSetErrorHandler(FPrevious);
}

void TX11ErrorTrap::Sync() {
    XSync(FDisplay, False);
}

int TX11ErrorTrap::Handle(Display* display, XErrorEvent* error) {
    for (TX11ErrorTrap* trap = tActive; trap != nullptr; trap = trap->FEnclosing) {
        if (trap->FDisplay == display) {
            trap->FCaught.set(error->error_code);
            return 0;
        }
    }
    // Not ours: the handler that was there before us decides (Xlib's default one prints and exits).
    const XErrorHandler outer = sOuterHandler.load();
    if (outer != nullptr && outer != &TX11ErrorTrap::Handle) {
        return outer(display, error);
    }
    return 0;
}

} // namespace velmora
