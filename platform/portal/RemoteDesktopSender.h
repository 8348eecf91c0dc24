#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/TextSender.h"
#include "platform/TextWalk.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora {

class TIbusEngine;
class TPortalClipboard;

/// What the remote-desktop sender has done so far (for diagnostics and tests).
struct TRemoteTypingStats {
    std::size_t texts = 0;       ///< texts handed to the sender
    std::size_t keysyms = 0;     ///< characters sent (each pressed and released)
    std::size_t offLayout = 0;   ///< characters not sent because the user's layout has no key for them
    std::size_t refused = 0;     ///< texts not typed because the desktop gave no keyboard
    std::size_t sessions = 0;    ///< sessions the desktop was asked for
    std::size_t imeStrokes = 0;  ///< strokes that went through the input method
    std::size_t imeKeyWaits = 0; ///< waits for an application to handle Return or Tab keys that ran out
    std::size_t pasted = 0;      ///< characters pasted through the session's clipboard
};

/// Types through the desktop's RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop): one session with a
/// keyboard, started at the first text (the desktop may ask the user; the typist's thread waits, the texts after it
/// wait in the queue) and kept for the program's life. Each character goes as its keysym, which the desktop types
/// through the user's keyboard layout; given the layout's chords, as its key and modifier keys instead, and a text
/// a hotkey asked for first lets go of the modifiers the user may still hold. Characters the layout lacks cannot
/// arrive this way: where the portal gives the session the clipboard, each run of them is put on it and pasted
/// with Ctrl+V, the user's clipboard put back after the text; elsewhere they are named. Where the desktop passes the
/// keys of the focused application through the user's IBus input method (GNOME), the text goes through Velmora's own
/// IBus engine instead, made the global one for the text: exact whatever the layout and the modifiers' timing. Needs
/// the Qt application object.
class TRemoteDesktopSender final : public ITextSender {
public:
    /// Whether the session bus has a portal that offers RemoteDesktop with a keyboard.
    static bool Offered();
    /// Whether the portal keeps the user's permission from one session to the next (RemoteDesktop version 2).
    static bool KeepsPermission();

    /// `layoutKeysyms`: the keysyms of the user's layout; none when it could not be read (then everything is sent
    /// and the user is told once that characters the layout lacks may be missing). `tokenFile`: where the
    /// desktop's restore token is kept, so that portals that offer it (RemoteDesktop version 2) ask the user only
    /// once, not every session; empty: nowhere. `chords`: the layout's keys, to type by key code (see
    /// TRemoteKeyPlan). `inputMethodTrigger`: where the desktop passes keys through IBus, the evdev code of a key
    /// the layout gives no symbol (see TIbusEngine); 0: the IBus route is not taken.
    explicit TRemoteDesktopSender(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile = {},
                                  std::optional<TLayoutChords> chords = std::nullopt,
                                  std::uint32_t inputMethodTrigger = 0);
    /// Closes the session.
    ~TRemoteDesktopSender() override;

    /// Starts the session when there is none; throws TypingRefused when the desktop gives no keyboard.
    TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) override;
    /// The desktop has the keys; the X server of XWayland reads them a moment later.
    std::chrono::milliseconds ListenerGrace() const override { return std::chrono::milliseconds(100); }

    /// A copy of the counters; from any thread.
    TRemoteTypingStats Stats() const;

private:
    /// Starts the session with a keyboard; false when the typist stopped meanwhile. Throws TypingRefused.
    bool StartSession(ITypingTurn& turn);
    /// Sends the strokes from the first on through the IBus engine while the focused application takes them that
    /// way; how many went.
    std::size_t SendThroughInputMethod(const std::vector<TStroke>& strokes, ITypingTurn& turn);
    /// Pastes `run` through the session's clipboard; false when it did not go.
    bool Paste(const std::u32string& run, ITypingTurn& turn);
    void SendKeysym(std::uint32_t keysym);
    void Send(const TRemoteKey& key);

    QDBusConnection FBus;
    QString FSession; ///< the typist's thread only
    const TRemoteKeyPlan FPlan;
    const std::string FTokenFile;
    const std::uint32_t FTrigger;
    bool FToldUnknownLayout = false;
    std::unique_ptr<TIbusEngine> FIbus;           ///< the typist's thread only; none where IBus cannot be used
    std::unique_ptr<TPortalClipboard> FClipboard; ///< the typist's thread only; none without the portal's clipboard

    mutable std::mutex FMutex;
    TRemoteTypingStats FStats;
};

} // namespace velmora
