#include "X11RedrawProbe.h"

#include "X11ErrorTrap.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace velmora {

namespace {

/// How many windows below the focus window are asked, and the largest drawing that counts as the spot's redraw.
constexpr unsigned kMaxChildren = 8;
constexpr int kMaxSpotArea = 48 * 48;

struct TFreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

} // namespace

TX11RedrawProbe::TX11RedrawProbe(Display* display, Window focus) : FDisplay(display) {
    int errorBase = 0;
    if (!XDamageQueryExtension(FDisplay, &FDamageEvent, &errorBase)) {
        return;
    }
    xcb_connection_t* connection = XGetXCBConnection(FDisplay);
    std::vector<Window> windows{focus};
    const std::unique_ptr<xcb_query_tree_reply_t, TFreeReply> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, static_cast<xcb_window_t>(focus)), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()) && windows.size() <= kMaxChildren; ++i) {
            windows.push_back(children[i]);
        }
    }
    TX11ErrorTrap trap(FDisplay); // a window may go at any moment
    for (const Window window : windows) {
        const std::unique_ptr<xcb_get_geometry_reply_t, TFreeReply> geometry(xcb_get_geometry_reply(
            connection, xcb_get_geometry(connection, static_cast<xcb_drawable_t>(window)), nullptr));
        if (!geometry || geometry->width < 32 || geometry->height < 48) {
            continue;
        }
        // Near the top right corner: away from where text starts, inside a terminal's last column, two lines apart.
        const TSpot spot{window,
                         XDamageCreate(FDisplay, window, XDamageReportRawRectangles),
                         static_cast<short>(geometry->width - 12),
                         {8, 30}};
        trap.Sync();
        if (trap.Caught(BadWindow) || trap.Caught(BadDrawable)) {
            trap.Clear();
            continue;
        }
        FSpots.push_back(spot);
    }
}

TX11RedrawProbe::~TX11RedrawProbe() {
    if (FSpots.empty()) {
        return;
    }
    TX11ErrorTrap trap(FDisplay); // the server dropped the damage of a window that is gone
    for (const TSpot& spot : FSpots) {
        XDamageDestroy(FDisplay, spot.damage);
    }
    trap.Sync();
}

void TX11RedrawProbe::Ask(bool second) {
    xcb_connection_t* connection = XGetXCBConnection(FDisplay);
    XFlush(FDisplay); // the keys first
    std::vector<xcb_void_cookie_t> cookies;
    for (const TSpot& spot : FSpots) {
        xcb_expose_event_t expose{};
        expose.response_type = XCB_EXPOSE;
        expose.window = static_cast<xcb_window_t>(spot.window);
        expose.x = static_cast<std::uint16_t>(spot.x);
        expose.y = static_cast<std::uint16_t>(spot.y[second ? 1 : 0]);
        expose.width = 1;
        expose.height = 1;
        cookies.push_back(xcb_send_event_checked(connection, 0, expose.window, XCB_EVENT_MASK_EXPOSURE,
                                                 reinterpret_cast<const char*>(&expose)));
    }
    for (const xcb_void_cookie_t cookie : cookies) {
        // Checked, so that a window that is gone gives its error here and not to Xlib's error handler.
        std::free(xcb_request_check(connection, cookie));
    }
}

bool TX11RedrawProbe::Redrawn(const XEvent& event, bool second) const {
    if (FSpots.empty() || event.type != FDamageEvent + XDamageNotify) {
        return false;
    }
    const auto& notice = reinterpret_cast<const XDamageNotifyEvent&>(event);
    const XRectangle& area = notice.area;
    const auto covers = [&area](short x, short y) {
        return x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
    };
    for (const TSpot& spot : FSpots) {
        if (notice.damage == spot.damage && area.width * area.height <= kMaxSpotArea &&
            covers(spot.x, spot.y[second ? 1 : 0]) && !covers(spot.x, spot.y[second ? 0 : 1])) {
            return true;
        }
    }
    return false;
}

} // namespace velmora
