#include "X11TargetAck.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace velmora {

namespace {

/// The wait when the target cannot be asked, and the bound on a wait for its answer. Such a target (an Xlib program
/// like xterm) translates a key only when it handles it, with the keymap of that moment: the wait leaves room for a
/// busy machine.
constexpr std::chrono::milliseconds kFixedWait{500};
constexpr std::chrono::milliseconds kAnswerBound{2000};
constexpr std::chrono::milliseconds kPoll{2};
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
    for (int i = 0; i < count; ++i) {
        if (atoms[i] == protocol) {
            return true;
        }
    }
    return false;
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
        }
    }
}

bool TX11TargetAck::Await(const std::function<bool(std::chrono::milliseconds)>& pause) {
    XSync(FDisplay, False);
    if (FPingWindow == None) {
        return pause(kFixedWait);
    }
    xcb_connection_t* connection = XGetXCBConnection(FDisplay);
    XSelectInput(FDisplay, FRoot, StructureNotifyMask | SubstructureNotifyMask);
    XSync(FDisplay, False);

    const std::uint32_t stamp = ++FStamp;
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = static_cast<xcb_window_t>(FPingWindow);
    ping.type = static_cast<xcb_atom_t>(FProtocols);
    ping.data.data32[0] = static_cast<std::uint32_t>(FPing);
    ping.data.data32[1] = stamp;
    ping.data.data32[2] = static_cast<std::uint32_t>(FPingWindow);
    const xcb_void_cookie_t cookie = xcb_send_event_checked(connection, 0, ping.window, XCB_EVENT_MASK_NO_EVENT,
                                                            reinterpret_cast<const char*>(&ping));
    const std::unique_ptr<xcb_generic_error_t, TFreeReply> error(xcb_request_check(connection, cookie));

    bool going = true;
    if (error) {
        FPingWindow = None; // the window is gone: nobody left to read the keys
    } else {
        going = AwaitPong(stamp, pause);
    }
    XSelectInput(FDisplay, FRoot, NoEventMask);
    XSync(FDisplay, False);
    while (XPending(FDisplay) > 0) {
        XEvent event;
        XNextEvent(FDisplay, &event);
    }
    return going;
}

bool TX11TargetAck::AwaitPong(std::uint32_t stamp, const std::function<bool(std::chrono::milliseconds)>& pause) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerBound;
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(FDisplay) > 0) {
            XEvent event;
            XNextEvent(FDisplay, &event);
            if (event.type == ClientMessage && event.xclient.message_type == FProtocols && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == FPing &&
                static_cast<std::uint32_t>(event.xclient.data.l[1]) == stamp) {
                return true;
            }
        }
        if (!pause(kPoll)) {
            return false;
        }
    }
    return true;
}

} // namespace velmora
