#include "X11Display.h"

#include "platform/PlatformError.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

namespace velmora {

TX11Display::TX11Display(const std::string& name) {
    const char* shown = name.empty() ? std::getenv("DISPLAY") : name.c_str();
    const std::string label = shown != nullptr ? shown : "";
    FDisplay.reset(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
    if (!FDisplay) {
        throw PlatformError(label.empty() ? "Cannot type: no X display is set (DISPLAY is empty)."
                                          : "Cannot type: the X display \"" + label + "\" cannot be opened.");
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(FDisplay.get(), &eventBase, &errorBase, &major, &minor)) {
        throw PlatformError("Cannot type: the X server of display \"" + label +
                            "\" lacks the XTEST extension, which typing needs.");
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(FDisplay.get(), &opcode, &eventBase, &errorBase, &major, &minor)) {
        throw PlatformError("Cannot type: the X server of display \"" + label +
                            "\" lacks the XKEYBOARD extension, which typing needs.");
    }
}

} // namespace velmora
