#include "X11WindowFocus.h"

#include "X11ErrorTrap.h"

#include "platform/PlatformError.h"

#include <X11/Xatom.h>

#include <memory>

namespace velmora {

TX11WindowFocus::TX11WindowFocus(const std::string& displayName)
    : FDisplay(XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str())) {
    if (!FDisplay) {
        throw PlatformError("Cannot open the X display for the picker: set DISPLAY to a running X server.");
    }
    FActiveAtom = XInternAtom(FDisplay.get(), "_NET_ACTIVE_WINDOW", False);
}

Window TX11WindowFocus::ActiveWindow() const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(FDisplay.get(), DefaultRootWindow(FDisplay.get()), FActiveAtom, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &after, &data);
    const std::unique_ptr<unsigned char, TXFree> owned(data);
    if (status != Success || type != XA_WINDOW || format != 32 || count != 1) {
        return 0;
    }
    return static_cast<Window>(*reinterpret_cast<const unsigned long*>(data));
}

Window TX11WindowFocus::FocusedWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(FDisplay.get(), &focus, &revert);
    return focus;
}

void TX11WindowFocus::Remember() {
    FActive = ActiveWindow();
    FFocus = FocusedWindow();
}

void TX11WindowFocus::Activate(unsigned long window) {
    Focus(ActiveWindow() != 0 ? window : 0, window);
}

void TX11WindowFocus::GiveBack() {
    Focus(FActive, FFocus);
}

void TX11WindowFocus::Focus(Window window, Window fallback) {
    Display* display = FDisplay.get();
    TX11ErrorTrap trap(display); // the window may have gone meanwhile
    if (window != 0) {
        // Source 2 (a pager): the window manager obeys it without second thoughts about focus stealing.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = FActiveAtom;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else if (fallback != None && fallback != PointerRoot) {
        XSetInputFocus(display, fallback, RevertToParent, CurrentTime);
    }
    trap.Sync();
}

bool TX11WindowFocus::IsBack() const {
    return FActive != 0 ? ActiveWindow() == FActive : FocusedWindow() == FFocus;
}

} // namespace velmora
