#pragma once

#include "X11SelectionReader.h"
#include "X11SelectionRules.h"
#include "X11Xcb.h"
#include "platform/PasteClipboard.h"
#include "platform/PasteRequests.h"
#include "platform/ThreadWork.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

/// Whether the window `focus` belongs to a terminal emulator: the WM_CLASS of it or of the first window above it
/// that has one.
bool IsTerminalWindow(xcb_connection_t* connection, xcb_window_t focus);

/// The X clipboard (the CLIPBOARD selection, and PRIMARY for terminals, which paste it by Shift+Insert) that pasted
/// texts go through: over two connections of its own, one that reads the user's content on the typist's thread and
/// one whose thread owns the selections and answers the applications' requests. X cannot give a selection back to
/// the application that owned it: the user's content is offered by Velmora after the text, target by target as
/// that application gave it, until someone selects or copies something else; when Velmora ends, no one offers it
/// any more (unless a clipboard manager kept a copy).
class TX11Clipboard final : public IPasteClipboard {
public:
    /// Connects to $DISPLAY; throws PlatformError.
    TX11Clipboard();
    /// Stops the thread; the selections go with its connection.
    ~TX11Clipboard() override;
    TX11Clipboard(const TX11Clipboard&) = delete;
    TX11Clipboard& operator=(const TX11Clipboard&) = delete;

    /// The pastes that follow go into the application of the window `focus` (only its requests count as the
    /// paste); `alsoPrimary`: the text goes on PRIMARY too, and PRIMARY is put back as well.
    void PasteInto(xcb_window_t focus, bool alsoPrimary);

    // IPasteClipboard.
    bool KeepUserContent() override;
    bool Offer(const TClipboardContent& content) override;
    std::uint64_t Requests() override;
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                      const std::function<bool()>& keepWaiting) override;
    void PutBack() override;

private:
    static constexpr std::size_t kSelections = 2; ///< CLIPBOARD, PRIMARY

    /// One selection as this program holds it.
    struct TOwned {
        xcb_atom_t atom = 0;
        TX11Items items;               ///< what is offered while owned
        bool owned = false;            ///< whether Velmora owns it
        xcb_timestamp_t since = 0;     ///< when Velmora took it
        std::optional<TX11Items> kept; ///< the user's content, to be put back; the typist's thread only
    };
    /// A large target written in pieces, each when the requestor deleted the one before.
    struct TTransfer {
        xcb_window_t requestor = 0;
        xcb_atom_t property = 0;
        xcb_atom_t type = 0;
        std::string bytes;
        std::size_t offset = 0;
        std::uint64_t number = 0; ///< the request's, 0: not a paste
    };

    /// Makes `items` the content of the first `count` selections (empty: gives them up); false unless all are ours.
    bool Set(std::size_t count, const TX11Items& items);
    /// The thread: answers the server's events and runs the work handed over.
    void Loop();
    void Answer(const xcb_selection_request_event_t& request);
    void Continue(const xcb_property_notify_event_t& event);
    /// The atom's name, asked once.
    const std::string& NameOf(xcb_atom_t atom);

    TX11SelectionReader FReader; ///< the typist's thread only
    TXcbConnection FConnection;  ///< the thread's (and the constructor's)
    xcb_window_t FWindow = 0;    ///< the owner of the selections
    std::uint32_t FIdMask = 0;   ///< the bits of a resource id that a client chooses
    std::uint32_t FMaxPiece = 0; ///< larger targets go in pieces
    std::map<xcb_atom_t, std::string> FNames;
    std::vector<TTransfer> FTransfers;
    TThreadWork FWork;       ///< what the typist's thread hands this one
    std::size_t FActive = 1; ///< how many of the selections the pastes use; the typist's thread only

    TPasteRequests FRequests; ///< the requests of the application pasted into
    std::mutex FMutex;
    std::array<TOwned, kSelections> FSelections; ///< under FMutex but for `kept`
    xcb_window_t FPasteWindow = 0;
    std::thread FThread; ///< last: started once the rest is there
};

} // namespace velmora
