#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace velmora {

/// Frees what xcb hands out (replies, events).
struct TXcbFreer {
    void operator()(void* data) const { std::free(data); }
};
/// An xcb reply or event, freed when it goes.
template <class T>
using TXcbOwned = std::unique_ptr<T, TXcbFreer>;

/// Closes an xcb connection.
struct TXcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
/// An xcb connection of its own: its protocol errors come as events to whoever reads them, never to Xlib's handler.
using TXcbConnection = std::unique_ptr<xcb_connection_t, TXcbDisconnect>;

/// Connects to $DISPLAY; throws PlatformError when it cannot.
TXcbConnection ConnectXcb();
/// The atom named `name`, made if need be.
xcb_atom_t XcbAtom(xcb_connection_t* connection, const std::string& name);
/// The name of `atom`; empty when it has none.
std::string XcbAtomName(xcb_connection_t* connection, xcb_atom_t atom);
/// The next event, waiting for it until `deadline`; none when the time ran out or the connection broke.
TXcbOwned<xcb_generic_event_t> NextXcbEvent(xcb_connection_t* connection,
                                            std::chrono::steady_clock::time_point deadline);

} // namespace velmora
