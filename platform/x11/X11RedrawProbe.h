#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <vector>

namespace velmora {

/// Finds out when a program that does not answer pings has handled the events sent to it so far: asks its windows
/// to redraw one small spot each, as if it had just been uncovered, and hears through the DAMAGE extension when the
/// program drew there. A program handles that request after the events queued before it. Only a small drawing that
/// covers the spot counts: a redraw of the whole window (scrolling) may come from an earlier key.
class TX11RedrawProbe {
public:
    /// Watches the focus window and its direct children; unusable without DAMAGE or when they are gone.
    TX11RedrawProbe(Display* display, Window focus);
    ~TX11RedrawProbe();
    TX11RedrawProbe(const TX11RedrawProbe&) = delete;
    TX11RedrawProbe& operator=(const TX11RedrawProbe&) = delete;

    /// Whether there is a window to ask.
    bool Usable() const { return !FSpots.empty(); }
    /// Asks every window to redraw its spot.
    void Ask();
    /// Whether the event reports a spot redrawn (by itself: an answer only when it came after Ask).
    bool Redrawn(const XEvent& event) const;

private:
    struct TSpot {
        Window window = None;
        Damage damage = None;
        short x = 0;
        short y = 0;
    };
    Display* FDisplay;
    int FDamageEvent = 0;
    std::vector<TSpot> FSpots;
};

} // namespace velmora
