#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/TextWalk.h"
#include "platform/ibus/ImePieces.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace velmora {

/// What a text is played over: the keyboard and clipboard of a started RemoteDesktop session, and Velmora's IBus
/// engine where the session has one. The typist's thread only.
class IRemoteSession {
public:
    virtual ~IRemoteSession() = default;

    /// Sends one key call and waits for the portal's answer.
    virtual void Send(const TRemoteKey& key) = 0;

    /// Makes the IBus engine the global one; false when there is none or the daemon refused.
    virtual bool ImeActivate() = 0;
    /// Whether an application's input method has the focus, so that pieces reach it.
    virtual bool ImeFocused() = 0;
    /// Sends one piece through the engine; false when it did not go (the focus is with an application that takes
    /// keys only).
    virtual bool ImeSend(TImePiece piece) = 0;
    /// Waits until the application handled a piece's Return or Tab keys, ending with `lastKey`; false when the wait
    /// ran out.
    virtual bool ImeKeysHandled(StrokeKind lastKey) = 0;
    /// Gives the global engine back to the user's.
    virtual void ImeDeactivate() = 0;

    /// Reads the user's clipboard to be put back after the text; false when it could not be read.
    virtual bool KeepClipboard() = 0;
    /// Puts `run` on the clipboard; false when the desktop refused.
    virtual bool Offer(const std::u32string& run) = 0;
    /// How many requests for the offer were answered so far.
    virtual std::uint64_t Transfers() = 0;
    /// Waits until a request after the `mark`-th was answered, up to `timeout` or until `keepWaiting` says no.
    virtual bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                              const std::function<bool()>& keepWaiting) = 0;
    /// Puts the user's clipboard back.
    virtual void PutBack() = 0;
};

} // namespace velmora
