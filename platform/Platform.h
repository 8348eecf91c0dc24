#pragma once

#include "EventSource.h"
#include "HotkeyService.h"
#include "Typist.h"

#include <memory>
#include <stdexcept>

namespace velmora {

/// The window system cannot be reached (no display); the message says what to do.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The window-system services of the backend chosen at build time.
class IPlatform {
public:
    IPlatform() = default;
    IPlatform(const IPlatform&) = delete;
    IPlatform& operator=(const IPlatform&) = delete;
    virtual ~IPlatform() = default;

    /// System-wide hotkeys.
    virtual IHotkeyService& Hotkeys() = 0;
    /// Typing into the focused control.
    virtual ITypist& Typist() = 0;
    /// The connection the GUI thread's event loop must watch for hotkey presses.
    virtual IEventSource& Events() = 0;
};

/// Opens the backend on the current display; throws PlatformError.
std::unique_ptr<IPlatform> CreatePlatform();

} // namespace velmora
