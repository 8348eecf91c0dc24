#pragma once

#include "X11RedrawProbe.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace velmora {

/// Finds out how many of the strokes sent so far the program that owns the focused window has handled, so that the
/// keycodes it may still be translating are bound anew or emptied only after it has: through _NET_WM_PING when one
/// of its windows takes part in that protocol (it answers only after the events queued before the ping); otherwise
/// by asking it to redraw a spot of its window (see TX11RedrawProbe), or at the latest a fixed while after the keys
/// were sent.
class TX11TargetAck {
public:
    /// Looks for the window that answers pings: the focus window or one of its ancestors.
    TX11TargetAck(Display* display, Window focus);
    ~TX11TargetAck();
    TX11TargetAck(const TX11TargetAck&) = delete;
    TX11TargetAck& operator=(const TX11TargetAck&) = delete;

    /// Notes that the first `strokes` strokes of the text have been sent, and asks the target to confirm them when
    /// no question is open yet.
    void Sent(std::size_t strokes);
    /// Returns once the target has handled the first `strokes` strokes (or a bound passed); false when `pause`
    /// reports that typing is being abandoned.
    bool Await(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause);
    /// Returns once the target has answered a question (ping or redraw) asked after the last keymap change, so that
    /// the change has reached it before keys that need it (some programs translate keys through a second
    /// connection, which hears of the change on its own). At once for a target that cannot be asked; false when
    /// `pause` reports stopping.
    bool AwaitKeymapSeen(const std::function<bool(std::chrono::milliseconds)>& pause);
    /// Whether the target answers pings.
    bool Pings() const { return FPingWindow != None; }

private:
    using TClock = std::chrono::steady_clock;

    void Ask();
    void ReadAnswers();
    void Answered();
    bool AwaitAnswer(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause);
    bool AwaitWhile(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause);

    Display* FDisplay;
    Window FRoot = None;
    Window FPingWindow = None;
    Atom FProtocols = None;
    Atom FPing = None;
    std::uint32_t FStamp = 0;
    std::size_t FSent = 0; ///< strokes sent
    std::size_t FRead = 0; ///< strokes the target has handled
    struct TQuestion {
        std::uint32_t stamp = 0;
        std::size_t strokes = 0;
        TClock::time_point asked;
    };
    std::optional<TQuestion> FOpen;                                 ///< the ping not answered yet
    std::optional<TClock::time_point> FAnsweredAsked;               ///< when the question answered last was asked
    std::deque<std::pair<TClock::time_point, std::size_t>> FSentAt; ///< when strokes went out, for a silent target
    std::unique_ptr<TX11RedrawProbe> FProbe;                        ///< for a target that does not answer pings
};

} // namespace velmora
