#include "X11Clipboard.h"

#include "platform/PlatformError.h"

#include <poll.h>

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kSelectionNames[] = {"CLIPBOARD", "PRIMARY"};

/// A piece of a large target: well below any server's largest request.
constexpr std::uint32_t kPiece = 256 * 1024;

} // namespace

bool IsTerminalWindow(xcb_connection_t* connection, xcb_window_t focus) {
    for (xcb_window_t window = focus; window != XCB_NONE;) {
        const TXcbOwned<xcb_get_property_reply_t> wmClass(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
        if (wmClass && xcb_get_property_value_length(wmClass.get()) > 0) {
            return IsTerminalClass({static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                                    static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get()))});
        }
        const TXcbOwned<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree || tree->parent == tree->root) {
            return false;
        }
        window = tree->parent;
    }
    return false;
}

TX11Clipboard::TX11Clipboard() : FConnection(ConnectXcb()) {
    xcb_connection_t* c = FConnection.get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    FIdMask = setup->resource_id_mask;
    FMaxPiece = std::min<std::uint32_t>(kPiece, xcb_get_maximum_request_length(c) * 4 - 1024);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    FWindow = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, FWindow, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    for (std::size_t i = 0; i < kSelections; ++i) {
        FSelections[i].atom = XcbAtom(c, kSelectionNames[i]);
    }
    xcb_flush(c);
    FThread = std::thread([this] { Loop(); });
}

TX11Clipboard::~TX11Clipboard() {
    FWork.Stop();
    FThread.join();
}

void TX11Clipboard::PasteInto(xcb_window_t focus, bool alsoPrimary) {
    FActive = alsoPrimary ? 2 : 1;
    std::scoped_lock lock(FMutex);
    FPasteWindow = focus;
}

bool TX11Clipboard::KeepUserContent() {
    for (std::size_t i = 0; i < FActive; ++i) {
        TOwned& selection = FSelections[i];
        {
            std::scoped_lock lock(FMutex);
            // Content kept while Velmora still owns the selection is current: no one copied since.
            if (selection.kept && selection.owned) {
                continue;
            }
        }
        selection.kept = FReader.Read(kSelectionNames[i]);
        if (!selection.kept) {
            return false;
        }
    }
    return true;
}

bool TX11Clipboard::Offer(const TClipboardContent& content) {
    return Set(FActive, PasteItems(content));
}

void TX11Clipboard::PutBack() {
    for (std::size_t i = 0; i < FActive; ++i) {
        TOwned& selection = FSelections[i];
        if (!selection.kept) {
            continue;
        }
        // An empty clipboard stays empty; a password manager's secret is not kept beyond the text.
        const TX11Items restored = MarkedSecret(ContentOf(*selection.kept)) ? TX11Items{} : *selection.kept;
        if (restored.empty()) {
            selection.kept.reset();
        }
        const xcb_timestamp_t now = FReader.Now();
        bool ours = false;
        FWork.Run([&] {
            std::scoped_lock lock(FMutex);
            // What the user (or another program) copied during the text stays.
            ours = selection.owned;
            if (ours) {
                xcb_set_selection_owner(FConnection.get(), restored.empty() ? XCB_NONE : FWindow, selection.atom, now);
                selection.items = restored;
                selection.owned = !restored.empty();
                selection.since = now;
            }
        });
        if (!ours) {
            selection.kept.reset();
        }
    }
}

bool TX11Clipboard::Set(std::size_t count, const TX11Items& items) {
    const xcb_timestamp_t now = FReader.Now();
    bool all = true;
    FWork.Run([&] {
        xcb_connection_t* c = FConnection.get();
        for (std::size_t i = 0; i < count; ++i) {
            TOwned& selection = FSelections[i];
            if (items.empty() && !selection.owned) {
                continue; // another client's: not ours to give up
            }
            xcb_set_selection_owner(c, items.empty() ? XCB_NONE : FWindow, selection.atom, now);
            const TXcbOwned<xcb_get_selection_owner_reply_t> owner(
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection.atom), nullptr));
            std::scoped_lock lock(FMutex);
            selection.owned = owner && owner->owner == FWindow;
            selection.items = selection.owned ? items : TX11Items{};
            selection.since = now;
            all = all && selection.owned == !items.empty();
        }
    });
    return all;
}

std::uint64_t TX11Clipboard::Requests() {
    return FRequests.Count();
}

bool TX11Clipboard::WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                                 const std::function<bool()>& keepWaiting) {
    return FRequests.WaitAnswered(mark, timeout, keepWaiting);
}

void TX11Clipboard::Loop() {
    xcb_connection_t* c = FConnection.get();
    for (;;) {
        while (TXcbOwned<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            switch (event->response_type & 0x7F) {
            case XCB_SELECTION_REQUEST:
                Answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event.get()));
                break;
            case XCB_SELECTION_CLEAR: {
                const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event.get());
                std::scoped_lock lock(FMutex);
                for (TOwned& selection : FSelections) {
                    if (selection.atom == clear->selection) {
                        selection.owned = false;
                        selection.items.clear();
                    }
                }
                break;
            }
            case XCB_PROPERTY_NOTIFY:
                Continue(*reinterpret_cast<const xcb_property_notify_event_t*>(event.get()));
                break;
            default:
                break; // errors of requests to windows that went meanwhile, and the like
            }
        }
        xcb_flush(c);
        // Work may read events into xcb's queue, which poll cannot see: the loop empties that queue first.
        const bool broken = xcb_connection_has_error(c) != 0; // nothing more to answer; work still runs
        pollfd fds[2] = {{FWork.Fd(), POLLIN, 0}, {broken ? -1 : xcb_get_file_descriptor(c), POLLIN, 0}};
        ::poll(fds, 2, -1);
        std::vector<std::function<void()>> work;
        if (!FWork.Take(work)) {
            return;
        }
        for (const std::function<void()>& item : work) {
            item();
        }
        xcb_flush(c);
    }
}

void TX11Clipboard::Answer(const xcb_selection_request_event_t& request) {
    xcb_connection_t* c = FConnection.get();
    const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
    const std::string& target = NameOf(request.target);
    bool answered = true;
    std::uint64_t number = 0;
    {
        std::scoped_lock lock(FMutex);
        const auto selection = std::find_if(FSelections.begin(), FSelections.end(), [&](const TOwned& owned) {
            return owned.atom == request.selection && owned.owned;
        });
        const auto item = selection != FSelections.end() ? selection->items.find(target) : TX11Items::iterator{};
        if (selection == FSelections.end()) {
            answered = false;
        } else if (target == "TARGETS") {
            std::vector<xcb_atom_t> atoms;
            for (const std::string& name : ServedTargets(selection->items)) {
                atoms.push_back(XcbAtom(c, name));
            }
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                                static_cast<std::uint32_t>(atoms.size()), atoms.data());
        } else if (target == "TIMESTAMP") {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER, 32, 1,
                                &selection->since);
        } else if (item == selection->items.end()) {
            answered = false;
        } else {
            if (CountsAsPaste(target, request.requestor, FPasteWindow, FIdMask)) {
                number = FRequests.Arrived();
            }
            const TX11Item& value = item->second;
            const xcb_atom_t type = XcbAtom(c, value.type);
            if (value.format == 8 && value.bytes.size() > FMaxPiece) {
                // In pieces: the requestor deletes the property for each next one.
                const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request.requestor, XCB_CW_EVENT_MASK, &events);
                const auto size = static_cast<std::uint32_t>(value.bytes.size());
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, XcbAtom(c, "INCR"), 32, 1,
                                    &size);
                FTransfers.push_back({request.requestor, property, type, value.bytes, 0, number});
                number = 0;
            } else {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, type, value.format,
                                    static_cast<std::uint32_t>(value.bytes.size() / (value.format / 8)),
                                    value.bytes.data());
            }
        }
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : XCB_NONE;
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
    if (number != 0) {
        FRequests.Answered(number);
    }
}

void TX11Clipboard::Continue(const xcb_property_notify_event_t& event) {
    if (event.state != XCB_PROPERTY_DELETE) {
        return;
    }
    const auto transfer = std::find_if(FTransfers.begin(), FTransfers.end(), [&](const TTransfer& t) {
        return t.requestor == event.window && t.property == event.atom;
    });
    if (transfer == FTransfers.end()) {
        return;
    }
    xcb_connection_t* c = FConnection.get();
    const std::size_t piece = std::min<std::size_t>(FMaxPiece, transfer->bytes.size() - transfer->offset);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, transfer->requestor, transfer->property, transfer->type, 8,
                        static_cast<std::uint32_t>(piece), transfer->bytes.data() + transfer->offset);
    transfer->offset += piece;
    if (piece == 0) {
        // The empty piece ends it.
        const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c, transfer->requestor, XCB_CW_EVENT_MASK, &none);
        const std::uint64_t number = transfer->number;
        FTransfers.erase(transfer);
        xcb_flush(c);
        if (number != 0) {
            FRequests.Answered(number);
        }
    }
}

const std::string& TX11Clipboard::NameOf(xcb_atom_t atom) {
    auto found = FNames.find(atom);
    if (found == FNames.end()) {
        found = FNames.emplace(atom, XcbAtomName(FConnection.get(), atom)).first;
    }
    return found->second;
}

} // namespace velmora
