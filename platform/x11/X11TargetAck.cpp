#include "X11TargetAck.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace velmora {

namespace {

/// How long after its keys a target that gives no sign is taken to have handled them. Such a target (an Xlib
/// program like xterm) translates a key only when it handles it, with the keymap of that moment.
constexpr std::chrono::milliseconds kSilentTargetWait{100};
/// A target that answers pings but has not answered this long is taken to have handled its keys (it may hang). A
/// busy browser on a loaded machine can take seconds: a shorter bound would change keys it has not read yet.
constexpr std::chrono::milliseconds kAnswerBound{10000};
constexpr std::chrono::milliseconds kPoll{1};
/// How far up from the focus window the window that answers pings is looked for.
constexpr int kMaxAncestors = 8;

struct TFreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

/// Whether the window lists the protocol in WM_PROTOCOLS. Requests go through xcb, so that a window that is gone
/// meanwhile yields an error reply here instead of reaching Xlib's process-wide error handler.
bool TakesPart(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t protocols, xcb_atom_t protocol) {
    const auto cookie = xcb_get_property(connection, 0, window, protocols, XCB_ATOM_ATOM, 0, 32);
    const std::unique_ptr<xcb_get_property_reply_t, TFreeReply> reply(
        xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32) {
        return false;
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::find(atoms, atoms + count, protocol) != atoms + count;
}

/// The window's parent, or none at the root or when the window is gone.
xcb_window_t Parent(xcb_connection_t* connection, xcb_window_t window) {
    const std::unique_ptr<xcb_query_tree_reply_t, TFreeReply> reply(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!reply || reply->parent == reply->root) {
        return XCB_WINDOW_NONE;
    }
    return reply->parent;
}

} // namespace

TX11TargetAck::TX11TargetAck(Display* display, Window focus) : FDisplay(display) {
    FProtocols = XInternAtom(FDisplay, "WM_PROTOCOLS", False);
    FPing = XInternAtom(FDisplay, "_NET_WM_PING", False);
    xcb_connection_t* connection = XGetXCBConnection(FDisplay);
    xcb_window_t window = static_cast<xcb_window_t>(focus);
    for (int level = 0; level < kMaxAncestors && window != XCB_WINDOW_NONE; ++level) {
        if (TakesPart(connection, window, static_cast<xcb_atom_t>(FProtocols), static_cast<xcb_atom_t>(FPing))) {
            FPingWindow = window;
            break;
        }
        window = Parent(connection, window);
    }
    if (FPingWindow != None) {
        // The answer is sent to the root window of the pinged window's screen.
        const std::unique_ptr<xcb_query_tree_reply_t, TFreeReply> reply(xcb_query_tree_reply(
            connection, xcb_query_tree(connection, static_cast<xcb_window_t>(FPingWindow)), nullptr));
        FRoot = reply ? reply->root : None;
        if (FRoot == None) {
            FPingWindow = None;
        } else {
            // Answers go to the root window with SubstructureNotify (GTK) or StructureNotify (Qt) in the mask.
            XSelectInput(FDisplay, FRoot, StructureNotifyMask | SubstructureNotifyMask);
        }
    }
    if (FPingWindow == None) {
        FProbe = std::make_unique<TX11RedrawProbe>(FDisplay, focus);
        if (!FProbe->Usable()) {
            FProbe.reset();
        }
    }
}

TX11TargetAck::~TX11TargetAck() {
    FProbe.reset();
    if (FRoot != None) {
        XSelectInput(FDisplay, FRoot, NoEventMask);
        XSync(FDisplay, False);
        while (XPending(FDisplay) > 0) {
            XEvent event;
            XNextEvent(FDisplay, &event);
        }
    }
}

void TX11TargetAck::Sent(std::size_t strokes) {
    FSent = std::max(FSent, strokes);
    if (FPingWindow == None) {
        FSentAt.emplace_back(TClock::now(), FSent);
        if (!FProbe) {
            return;
        }
    }
    ReadAnswers();
    if (!FOpen) {
        Ask();
    }
}

bool TX11TargetAck::Await(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause) {
    strokes = std::min(strokes, FSent);
    if (strokes <= FRead) {
        return true;
    }
    return FPingWindow != None ? AwaitAnswer(strokes, pause) : AwaitWhile(strokes, pause);
}

bool TX11TargetAck::AwaitKeymapSeen(const std::function<bool(std::chrono::milliseconds)>& pause) {
    if (FPingWindow == None && !FProbe) {
        return true;
    }
    const auto bound = FPingWindow != None ? kAnswerBound : std::chrono::milliseconds(kSilentTargetWait);
    const TClock::time_point changed = TClock::now();
    for (;;) {
        ReadAnswers();
        if (FAnsweredAsked && *FAnsweredAsked >= changed) {
            return true;
        }
        if (!FOpen) {
            Ask(); // the question open at the change says nothing of it: a new one after its answer
        } else if (TClock::now() - FOpen->asked > bound) {
            Answered();
            continue;
        }
        if (!pause(kPoll)) {
            return false;
        }
    }
}

void TX11TargetAck::Answered() {
    FRead = std::max(FRead, FOpen->strokes);
    FAnsweredAsked = FOpen->asked;
    FOpen.reset();
}

void TX11TargetAck::Ask() {
    const std::uint32_t stamp = ++FStamp;
    if (FPingWindow == None) {
        FProbe->Ask(stamp % 2 == 0);
        FOpen = TQuestion{stamp, FSent, TClock::now()};
        return;
    }
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = static_cast<xcb_window_t>(FPingWindow);
    ping.type = static_cast<xcb_atom_t>(FProtocols);
    ping.data.data32[0] = static_cast<std::uint32_t>(FPing);
    ping.data.data32[1] = stamp;
    ping.data.data32[2] = static_cast<std::uint32_t>(FPingWindow);
    // Through xcb, checked: a window that is gone gives its error here instead of reaching Xlib's process-wide
    // error handler; the question then goes unanswered until the bound.
    xcb_connection_t* connection = XGetXCBConnection(FDisplay);
    XFlush(FDisplay); // Xlib's requests (the keys) first
    std::free(xcb_request_check(connection, xcb_send_event_checked(connection, 0, ping.window, XCB_EVENT_MASK_NO_EVENT,
                                                                   reinterpret_cast<const char*>(&ping))));
    FOpen = TQuestion{stamp, FSent, TClock::now()};
}

void TX11TargetAck::ReadAnswers() {
    while (XPending(FDisplay) > 0) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        const bool pong = event.type == ClientMessage && event.xclient.message_type == FProtocols &&
                          event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == FPing && FOpen &&
                          static_cast<std::uint32_t>(event.xclient.data.l[1]) == FOpen->stamp;
        if (FOpen && (pong || (FProbe && FProbe->Redrawn(event, FOpen->stamp % 2 == 0)))) {
            Answered();
        }
    }
}

bool TX11TargetAck::AwaitAnswer(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause) {
    for (;;) {
        ReadAnswers();
        if (strokes <= FRead) {
            return true;
        }
        if (!FOpen) {
            Ask();
        } else if (TClock::now() - FOpen->asked > kAnswerBound) {
            Answered();
            continue;
        }
        if (!pause(kPoll)) {
            return false;
        }
    }
}

bool TX11TargetAck::AwaitWhile(std::size_t strokes, const std::function<bool(std::chrono::milliseconds)>& pause) {
    const auto sent =
        std::find_if(FSentAt.begin(), FSentAt.end(), [strokes](const auto& entry) { return entry.second >= strokes; });
    const TClock::time_point ready = (sent != FSentAt.end() ? sent->first : TClock::now()) + kSilentTargetWait;
    for (auto now = TClock::now(); now < ready; now = TClock::now()) {
        if (FProbe) {
            ReadAnswers();
            if (strokes <= FRead) {
                return true;
            }
            if (!FOpen) {
                // An answer says nothing of which question it answers: a new question is asked only once the
                // open one is answered.
                Ask();
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(ready - now) + kPoll;
        if (!pause(FProbe ? std::min(left, kPoll) : left)) {
            return false;
        }
    }
    FRead = strokes;
    while (!FSentAt.empty() && FSentAt.front().second <= FRead) {
        FSentAt.pop_front();
    }
    return true;
}

} // namespace velmora
