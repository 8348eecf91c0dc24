// Tells whether another client holds a key combination grabbed on the root window, for the end-to-end tests.
//
//   velmora_grab_probe MODIFIERS KEYSYM_NAME      (MODIFIERS: "none", or "ctrl", "alt", "ctrl+alt"...)
//
// Exit status 0: the combination is grabbed by someone else; 1: it is free; 2: the probe could not run.

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/X11Display.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool gRefused = false;

int RecordError(Display*, XErrorEvent* event) {
    if (event->error_code == BadAccess) {
        gRefused = true;
    }
    return 0;
}

unsigned ParseModifiers(const std::string& text) {
    unsigned mask = 0;
    if (text.find("ctrl") != std::string::npos) {
        mask |= ControlMask;
    }
    if (text.find("alt") != std::string::npos) {
        mask |= Mod1Mask;
    }
    if (text.find("shift") != std::string::npos) {
        mask |= ShiftMask;
    }
    return mask;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MODIFIERS KEYSYM_NAME\n", argv[0]);
        return 2;
    }
    const velmora::TXDisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    const KeySym keysym = XStringToKeysym(argv[2]);
    const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display.get(), keysym);
    if (keycode == 0) {
        std::fprintf(stderr, "unknown key %s\n", argv[2]);
        return 2;
    }
    const unsigned modifiers = ParseModifiers(argv[1]);
    const Window root = DefaultRootWindow(display.get());
    XSetErrorHandler(RecordError);
    // The trial grab holds the combination for a moment; under the server grab no other client's request comes in
    // between, so a program grabbing the same combination meanwhile (at its Start) is never refused because of us.
    XGrabServer(display.get());
    XGrabKey(display.get(), keycode, modifiers, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display.get(), False);
    if (!gRefused) {
        XUngrabKey(display.get(), keycode, modifiers, root);
    }
    XUngrabServer(display.get());
    XSync(display.get(), False);
    return gRefused ? 0 : 1;
}
