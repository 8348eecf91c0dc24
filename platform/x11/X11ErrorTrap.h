#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <bitset>

namespace velmora {

/// Catches the X protocol errors of one connection for as long as it lives, on the thread that made it.
/// Xlib's error handler is process-wide: the trap installs its own and puts the previous one back; errors of other
/// connections, or of other threads, still go to the handler that was there before. Qt's xcb connection does not
/// use Xlib's handler and is not affected.
class TX11ErrorTrap {
public:
    explicit TX11ErrorTrap(Display* display);
    ~TX11ErrorTrap();
    TX11ErrorTrap(const TX11ErrorTrap&) = delete;
    TX11ErrorTrap& operator=(const TX11ErrorTrap&) = delete;

    /// Waits until the server has handled every request sent so far, so that their errors are in.
    void Sync();
    /// Whether an error with this code (e.g. BadAccess) was caught.
    bool Caught(unsigned char errorCode) const { return FCaught.test(errorCode); }
    /// Forgets the errors caught so far.
    void Clear() { FCaught.reset(); }

private:
    static int Handle(Display* display, XErrorEvent* error);

    // Xlib keeps one handler for the whole process; these mirror that process-wide state.
    static thread_local TX11ErrorTrap* tActive;
    static std::atomic<XErrorHandler> sOuterHandler;

    Display* FDisplay;
    XErrorHandler FPrevious;
    TX11ErrorTrap* FEnclosing;
    std::bitset<256> FCaught;
};

} // namespace velmora
