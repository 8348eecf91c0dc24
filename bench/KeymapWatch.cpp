// Prints one line "keymap-change" for every change of the keyboard map on the display ($DISPLAY), until killed.
// The typing benchmark counts the lines to compare how often each typist rewrites the keymap.
//
// The watcher is a core-protocol client (XKB off), so it hears of each change as MappingNotify. The server echoes one
// change once per keyboard device, within microseconds: notices less than 2 ms apart count as one change. A notice
// for every keycode at once is the server copying a device's whole map when another device starts typing, not a
// change of the map: it is not counted.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/x11/X11Display.h"

#include <chrono>
#include <cstdio>
#include <memory>

int main() {
    XkbIgnoreExtension(True);
    const velmora::TXDisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        std::fprintf(stderr, "velmora_keymap_watch: cannot open the display\n");
        return 1;
    }
    XSync(display.get(), False);
    std::printf("ready\n");
    std::fflush(stdout);
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display.get(), &minKeycode, &maxKeycode);
    auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    for (;;) {
        XEvent event;
        XNextEvent(display.get(), &event);
        if (event.type != MappingNotify || event.xmapping.request != MappingKeyboard ||
            (event.xmapping.first_keycode == minKeycode && event.xmapping.count == maxKeycode - minKeycode + 1)) {
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - last > std::chrono::milliseconds(2)) {
            std::printf("keymap-change\n");
            std::fflush(stdout);
        }
        last = now;
    }
}
