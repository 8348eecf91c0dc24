#pragma once

#include "RemoteDesktopKeys.h"
#include "RemoteDesktopSession.h"
#include "RemoteTypingStats.h"
#include "platform/PasteRuns.h"
#include "platform/TextSender.h"

#include <QDBusConnection>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace velmora {

/// Types through the desktop's RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop): one session with a
/// keyboard, started at the first text (the desktop may ask the user; the typist's thread waits, the texts after it
/// wait in the queue) and kept for the program's life. Each character goes as its keysym, which the desktop types
/// through the user's keyboard layout; given the layout's chords, as its key and modifier keys instead, and a text
/// a hotkey asked for first lets go of the modifiers the user may still hold. Characters the layout lacks cannot
/// arrive this way: where the portal gives the session the clipboard, each run of them is put on it and pasted
/// with Ctrl+V, the user's clipboard put back after the text; elsewhere they are named. Where the desktop passes the
/// keys of the focused application through the user's IBus input method (GNOME), the text goes through Velmora's own
/// IBus engine instead, made the global one for the text: exact whatever the layout and the modifiers' timing. Each
/// text is planned (PlanRemoteTyping) and the plan played (TRemoteTypingPlayer) over the session
/// (TRemoteDesktopSession). Needs the Qt application object.
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
    /// the layout gives no symbol (see TIbusEngine); 0: the IBus route is not taken. `otherClipboard`: where the
    /// portal gives the session no clipboard, the one to paste through; `chord`: the keys that paste.
    explicit TRemoteDesktopSender(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile = {},
                                  std::optional<TLayoutChords> chords = std::nullopt,
                                  std::uint32_t inputMethodTrigger = 0, TClipboardFactory otherClipboard = {},
                                  PasteChord chord = PasteChord::CtrlV);
    /// Closes the session.
    ~TRemoteDesktopSender() override;

    /// Starts the session when there is none; throws TypingRefused when the desktop gives no keyboard.
    TSendOutcome Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) override;
    /// Presses the key by the session's keyboard as Send types (an application with an input method gets it after
    /// the text before it, and the text after it once it handled the key).
    TSendOutcome SendKey(const TKeyChord& chord, ITypingTurn& turn) override;
    /// Through the session's clipboard (the portal's, or the one given), where it has one.
    bool Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) override;
    /// The desktop has the keys; the X server of XWayland reads them a moment later.
    std::chrono::milliseconds ListenerGrace() const override { return std::chrono::milliseconds(100); }

    /// A copy of the counters; from any thread.
    TRemoteTypingStats Stats() const;

private:
    /// Starts the session with a keyboard and lets it settle; false when the typist stopped meanwhile. Throws
    /// TypingRefused.
    bool StartSession(ITypingTurn& turn);
    /// Tells the user, once, that the layout could not be read.
    void ReportUnknownLayout(ITypingTurn& turn);

    QDBusConnection FBus;
    const TRemoteKeyPlan FPlan;
    const std::string FTokenFile;
    const std::uint32_t FTrigger;
    const TClipboardFactory FOtherClipboard;
    const PasteChord FChord;
    bool FToldUnknownLayout = false;
    TRemoteTypingCounters FCounters;
    std::unique_ptr<TRemoteDesktopSession> FSession; ///< the typist's thread only
};

} // namespace velmora
