#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace velmora {

/// Closes a connection to an X server.
struct TXDisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
/// A connection to an X server, closed when the pointer goes.
using TXDisplayPtr = std::unique_ptr<Display, TXDisplayCloser>;

/// One connection to an X server, opened by name and checked, closed when the object goes.
class TX11Display {
public:
    /// Opens the display by name (empty: $DISPLAY) and checks for XTest and XKB; throws PlatformError.
    explicit TX11Display(const std::string& name);
    TX11Display(const TX11Display&) = delete;
    TX11Display& operator=(const TX11Display&) = delete;

    /// The Xlib connection.
    Display* Get() const { return FDisplay.get(); }

private:
    TXDisplayPtr FDisplay;
};

/// Frees memory that Xlib handed out.
struct TXFree {
    void operator()(void* data) const {
        if (data != nullptr) {
            XFree(data);
        }
    }
};

} // namespace velmora
