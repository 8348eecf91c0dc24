#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>

namespace velmora {

/// Finds out when the program that owns the focused window has handled every key sent to it so far, so that the
/// keycodes it may still be translating can be bound anew or emptied: through _NET_WM_PING when one of its windows
/// takes part in that protocol (it answers only after the events queued before the ping), otherwise by waiting a
/// fixed while.
class TX11TargetAck {
public:
    /// Looks for the window that answers pings: the focus window or one of its ancestors.
    TX11TargetAck(Display* display, Window focus);
    TX11TargetAck(const TX11TargetAck&) = delete;
    TX11TargetAck& operator=(const TX11TargetAck&) = delete;

    /// Returns once the target has handled the keys sent so far (or a bound passed); false when `pause` reports
    /// that typing is being abandoned.
    bool Await(const std::function<bool(std::chrono::milliseconds)>& pause);
    /// Whether the target answers pings.
    bool Pings() const { return FPingWindow != None; }

private:
    bool AwaitPong(std::uint32_t stamp, const std::function<bool(std::chrono::milliseconds)>& pause);

    Display* FDisplay;
    Window FRoot = None;
    Window FPingWindow = None;
    Atom FProtocols = None;
    Atom FPing = None;
    std::uint32_t FStamp = 0;
};

} // namespace velmora
