#pragma once

#include "platform/PasteClipboard.h"
#include "platform/ThreadWork.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

/// The clipboard of the compositor's first seat through its data-control protocol (zwlr_data_control_manager_v1:
/// wlroots compositors, KWin): over a Wayland connection and a thread of its own, which follows the clipboard's
/// owner and answers the applications that paste what Velmora offers. The protocol has no way to give the clipboard
/// back to an application: the user's content is offered again by Velmora, until someone copies something else or
/// Velmora ends.
class TDataControlClipboard final : public IPasteClipboard {
public:
    /// Connects to $WAYLAND_DISPLAY; throws PlatformError when there is no compositor or it offers no data control.
    TDataControlClipboard();
    /// Stops the thread and lets go of the clipboard.
    ~TDataControlClipboard() override;
    TDataControlClipboard(const TDataControlClipboard&) = delete;
    TDataControlClipboard& operator=(const TDataControlClipboard&) = delete;

    // IPasteClipboard.
    bool KeepUserContent() override;
    bool Offer(const TClipboardContent& content) override;
    std::uint64_t Requests() override;
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                      const std::function<bool()>& keepWaiting) override;
    void PutBack() override;

    /// The clipboard's text now (UTF-8), read from the application that holds it; empty when it holds no text; none
    /// when the connection has ended or the owner did not hand the text over in time. Any thread; waits for the owner.
    std::optional<std::string> Text();

    struct TWire;

private:
    /// The connection's thread: dispatches the compositor's events and the work handed over.
    void Loop();

    std::unique_ptr<TWire> FWire;           ///< the protocol objects, used on the thread only
    TThreadWork FWork;                      ///< what the typist's thread hands the connection's
    std::optional<TClipboardContent> FKept; ///< the user's content, to be put back; the typist's thread only
    std::thread FThread;                    ///< last: started once the rest is there
};

} // namespace velmora
