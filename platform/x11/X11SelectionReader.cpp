#include "X11SelectionReader.h"

#include <cstring>
#include <utility>
#include <vector>

namespace velmora {

namespace {

/// How long an owner may take to give one target (or one increment of it).
constexpr std::chrono::milliseconds kOwnerTime{2000};
/// More than this is not kept: the content then counts as unreadable.
constexpr std::size_t kMaxKept = 64 * 1024 * 1024;

} // namespace

TX11SelectionReader::TX11SelectionReader() : FConnection(ConnectXcb()) {
    xcb_connection_t* c = FConnection.get();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    FWindow = xcb_generate_id(c);
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, FWindow, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    FProperty = XcbAtom(c, "VELMORA_SELECTION");
    FIncr = XcbAtom(c, "INCR");
    FClock = XcbAtom(c, "VELMORA_CLOCK");
}

xcb_timestamp_t TX11SelectionReader::Now() {
    // A change of a property of our own window carries the server's time.
    xcb_change_property(FConnection.get(), XCB_PROP_MODE_APPEND, FWindow, FClock, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(FConnection.get());
    const auto deadline = std::chrono::steady_clock::now() + kOwnerTime;
    while (const auto event = Await(XCB_PROPERTY_NOTIFY, deadline)) {
        const auto* changed = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if (changed->atom == FClock) {
            return changed->time;
        }
    }
    return XCB_CURRENT_TIME;
}

std::optional<TX11Items> TX11SelectionReader::Read(const std::string& selection) {
    xcb_connection_t* c = FConnection.get();
    // A late answer to a read given up before is no answer to this one.
    while (TXcbOwned<xcb_generic_event_t>(xcb_poll_for_event(c))) {
    }
    const xcb_atom_t selectionAtom = XcbAtom(c, selection);
    const TXcbOwned<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom), nullptr));
    if (!owner) {
        return std::nullopt;
    }
    if (owner->owner == XCB_NONE) {
        return TX11Items{};
    }
    const auto deadline = [] { return std::chrono::steady_clock::now() + kOwnerTime; };
    bool silent = false;
    const std::optional<TX11Item> targets = Convert(selectionAtom, XcbAtom(c, "TARGETS"), deadline(), silent);
    if (!targets || targets->format != 32) {
        return std::nullopt;
    }
    std::vector<xcb_atom_t> atoms(targets->bytes.size() / 4);
    std::memcpy(atoms.data(), targets->bytes.data(), atoms.size() * 4);
    TX11Items items;
    std::size_t total = 0;
    for (const xcb_atom_t atom : atoms) {
        const std::string name = XcbAtomName(c, atom);
        if (name.empty() || IsMetaTarget(name) || items.contains(name)) {
            continue;
        }
        std::optional<TX11Item> item = Convert(selectionAtom, atom, deadline(), silent);
        if (silent) {
            return std::nullopt; // an owner that does not answer would hold every target for as long
        }
        if (!item) {
            continue; // the owner listed a target it does not give: not offered again either
        }
        total += item->bytes.size();
        if (total > kMaxKept) {
            return std::nullopt;
        }
        items[name] = std::move(*item);
    }
    return items;
}

std::optional<TX11Item> TX11SelectionReader::Convert(xcb_atom_t selection, xcb_atom_t target,
                                                     std::chrono::steady_clock::time_point deadline, bool& silent) {
    xcb_connection_t* c = FConnection.get();
    xcb_delete_property(c, FWindow, FProperty);
    xcb_convert_selection(c, FWindow, selection, target, FProperty, XCB_CURRENT_TIME);
    xcb_flush(c);
    const auto notified = Await(XCB_SELECTION_NOTIFY, deadline);
    silent = !notified;
    if (!notified || reinterpret_cast<const xcb_selection_notify_event_t*>(notified.get())->property == XCB_NONE) {
        return std::nullopt;
    }
    std::optional<TX11Item> item = TakeProperty();
    if (!item || XcbAtom(c, item->type) != FIncr) {
        return item;
    }
    // Incrementally: each deletion of the property asks for the next piece; an empty one ends.
    TX11Item whole{};
    for (bool first = true;; first = false) {
        const auto changed = Await(XCB_PROPERTY_NOTIFY, std::chrono::steady_clock::now() + kOwnerTime);
        if (!changed) {
            silent = true;
            return std::nullopt;
        }
        const auto* event = reinterpret_cast<const xcb_property_notify_event_t*>(changed.get());
        if (event->atom != FProperty || event->state != XCB_PROPERTY_NEW_VALUE) {
            continue;
        }
        std::optional<TX11Item> piece = TakeProperty();
        if (!piece) {
            return std::nullopt;
        }
        if (first) {
            whole.type = piece->type;
            whole.format = piece->format;
        }
        if (piece->bytes.empty()) {
            return whole;
        }
        whole.bytes += piece->bytes;
        if (whole.bytes.size() > kMaxKept) {
            return std::nullopt;
        }
    }
}

std::optional<TX11Item> TX11SelectionReader::TakeProperty() {
    xcb_connection_t* c = FConnection.get();
    const TXcbOwned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 1, FWindow, FProperty, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4), nullptr));
    if (!reply) {
        return std::nullopt;
    }
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply.get()));
    TX11Item item;
    item.type = reply->type == XCB_ATOM_NONE ? std::string() : XcbAtomName(c, reply->type);
    item.format = reply->format == 0 ? 8 : reply->format;
    item.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
    return item;
}

TXcbOwned<xcb_generic_event_t> TX11SelectionReader::Await(std::uint8_t type,
                                                          std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        TXcbOwned<xcb_generic_event_t> event = NextXcbEvent(FConnection.get(), deadline);
        if (!event || (event->response_type & 0x7F) == type) {
            return event;
        }
    }
}

} // namespace velmora
