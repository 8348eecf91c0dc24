#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <vector>

namespace velmora {

/// Finds out when a program that does not answer pings has handled the events sent to it so far: asks its windows
/// to redraw one small spot each, as if it had just been uncovered, and hears through the DAMAGE extension when the
/// program drew there. A program handles that request after the events queued before it. Only a small drawing that
/// covers the spot counts: a redraw of the whole window (scrolling) may come from an earlier key. Questions take
/// turns between two spots, so that the last drawing for one question is never taken for the answer to the next.
class TX11RedrawProbe {
public:
    /// Watches the focus window and its direct children; unusable without DAMAGE or when they are gone.
    TX11RedrawProbe(Display* display, Window focus);
    ~TX11RedrawProbe();
    TX11RedrawProbe(const TX11RedrawProbe&) = delete;
    TX11RedrawProbe& operator=(const TX11RedrawProbe&) = delete;

    /// Whether there is a window to ask.
    bool Usable() const { return !FSpots.empty(); }
    /// Asks every window to redraw its first or its second spot.
    void Ask(bool second);
    /// Whether the event reports the first or the second spot redrawn (an answer only when it came after Ask).
    bool Redrawn(const XEvent& event, bool second) const;

private:
    struct TSpot {
        Window window = None;
        Damage damage = None;
        short x = 0;
        short y[2] = {0, 0};
    };
    Display* FDisplay;
    int FDamageEvent = 0;
    std::vector<TSpot> FSpots;
};

} // namespace velmora
