#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/PasteClipboard.h"
#include "platform/TextWalk.h"
#include "platform/ibus/ImePieces.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

/// What a text is played over: the keyboard of a started RemoteDesktop session, a clipboard, and Velmora's IBus
/// engine where the session has one. The typist's thread only.
class IRemoteSession {
public:
    virtual ~IRemoteSession() = default;

    /// Sends one key call and waits for the portal's answer.
    virtual void Send(const TRemoteKey& key) = 0;
    /// The keys of `codes` (Linux input key codes) that the user holds now, each pressed and let go of through the
    /// session to find out; none where the desktop cannot tell.
    virtual std::optional<std::vector<std::uint32_t>> HeldKeys(const std::vector<std::uint32_t>& codes) = 0;

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
    /// Plays a chord's calls while the engine is global: its modifiers stay down until the key went by the engine,
    /// and it returns once the application shows that it handled the key (or after a while).
    virtual void ImeChord(const std::vector<TRemoteKey>& keys) = 0;
    /// Gives the global engine back to the user's.
    virtual void ImeDeactivate() = 0;

    /// The clipboard that runs the layout lacks are pasted through; none where the session has none.
    virtual IPasteClipboard* Clipboard() = 0;
};

} // namespace velmora
