#include "X11Xcb.h"

#include "core/FdWait.h"
#include "platform/PlatformError.h"

#include <poll.h>

namespace velmora {

TXcbConnection ConnectXcb() {
    TXcbConnection connection(xcb_connect(nullptr, nullptr));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        const char* display = std::getenv("DISPLAY");
        throw PlatformError("Cannot reach the clipboard: the X display \"" + std::string(display ? display : "") +
                            "\" cannot be opened.");
    }
    return connection;
}

xcb_atom_t XcbAtom(xcb_connection_t* connection, const std::string& name) {
    const TXcbOwned<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string XcbAtomName(xcb_connection_t* connection, xcb_atom_t atom) {
    const TXcbOwned<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr));
    if (!reply) {
        return {};
    }
    return {xcb_get_atom_name_name(reply.get()), static_cast<std::size_t>(xcb_get_atom_name_name_length(reply.get()))};
}

TXcbOwned<xcb_generic_event_t> NextXcbEvent(xcb_connection_t* connection,
                                            std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            return TXcbOwned<xcb_generic_event_t>(event);
        }
        if (xcb_connection_has_error(connection) != 0 ||
            !WaitForFd(xcb_get_file_descriptor(connection), POLLIN, deadline)) {
            return nullptr;
        }
    }
}

} // namespace velmora
