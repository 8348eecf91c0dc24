#pragma once

#include "X11SelectionRules.h"
#include "X11Xcb.h"

#include <optional>
#include <string>

namespace velmora {

/// Reads an X selection whole, every target its owner offers, over a connection and a window of its own; the calls
/// wait for the owner (on the caller's thread) and so does Now().
class TX11SelectionReader {
public:
    /// Connects to $DISPLAY; throws PlatformError.
    TX11SelectionReader();
    TX11SelectionReader(const TX11SelectionReader&) = delete;
    TX11SelectionReader& operator=(const TX11SelectionReader&) = delete;

    /// The content of `selection` ("CLIPBOARD", "PRIMARY"): empty when no one owns it; none when it cannot be read
    /// whole (the owner does not answer, refuses TARGETS, or offers more than 64 MiB).
    std::optional<TX11Items> Read(const std::string& selection);
    /// The server's time now, for taking a selection.
    xcb_timestamp_t Now();

private:
    /// Asks the owner of `selection` for `target` and reads the answer (also in increments); none when refused,
    /// and then `silent` set when the owner did not answer in time.
    std::optional<TX11Item> Convert(xcb_atom_t selection, xcb_atom_t target,
                                    std::chrono::steady_clock::time_point deadline, bool& silent);
    /// The property's value, deleting it; none when it could not be read.
    std::optional<TX11Item> TakeProperty();
    /// Waits for an event of `type` about our window; none when the time ran out.
    TXcbOwned<xcb_generic_event_t> Await(std::uint8_t type, std::chrono::steady_clock::time_point deadline);

    TXcbConnection FConnection;
    xcb_window_t FWindow = 0;
    xcb_atom_t FProperty = 0;
    xcb_atom_t FIncr = 0;
    xcb_atom_t FClock = 0; ///< the property whose changes tell the time
};

} // namespace velmora
