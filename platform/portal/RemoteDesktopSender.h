#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/TextSender.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace velmora {

/// What the remote-desktop sender has done so far (for diagnostics and tests).
struct TRemoteTypingStats {
    std::size_t texts = 0;     ///< texts handed to the sender
    std::size_t keysyms = 0;   ///< characters sent (each pressed and released)
    std::size_t offLayout = 0; ///< characters not sent because the user's layout has no key for them
    std::size_t refused = 0;   ///< texts not typed because the desktop gave no keyboard
    std::size_t sessions = 0;  ///< sessions the desktop was asked for
};

/// Types through the desktop's RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop): one session with a
/// keyboard, started at the first text (the desktop may ask the user; the typist's thread waits, the texts after it
/// wait in the queue) and kept for the program's life. Each character goes as its keysym, which the desktop types
/// through the user's keyboard layout; given the layout's chords, as its key and modifier keys instead, and a text
/// a hotkey asked for first lets go of the modifiers the user may still hold. Characters the layout lacks cannot
/// arrive this way and are named. Needs the Qt application object.
class TRemoteDesktopSender final : public ITextSender {
public:
    /// Whether the session bus has a portal that offers RemoteDesktop with a keyboard.
    static bool Offered();

    /// `layoutKeysyms`: the keysyms of the user's layout; none when it could not be read (then everything is sent
    /// and the user is told once that characters the layout lacks may be missing). `tokenFile`: where the
    /// desktop's restore token is kept, so that portals that offer it (RemoteDesktop version 2) ask the user only
    /// once, not every session; empty: nowhere. `chords`: the layout's keys, to type by key code (see
    /// TRemoteKeyPlan).
    explicit TRemoteDesktopSender(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile = {},
                                  std::optional<TLayoutChords> chords = std::nullopt);
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
    void SendKeysym(std::uint32_t keysym);
    void Send(const TRemoteKey& key);

    QDBusConnection FBus;
    QString FSession; ///< the typist's thread only
    const TRemoteKeyPlan FPlan;
    const std::string FTokenFile;
    bool FToldUnknownLayout = false;

    mutable std::mutex FMutex;
    TRemoteTypingStats FStats;
};

} // namespace velmora
