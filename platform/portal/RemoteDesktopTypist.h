#pragma once

#include "RemoteDesktopKeys.h"
#include "platform/Typist.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace velmora {

/// What the remote-desktop typist has done so far (for diagnostics and tests).
struct TRemoteTypingStats {
    std::size_t texts = 0;     ///< texts handed over
    std::size_t keysyms = 0;   ///< keysyms sent (each pressed and released)
    std::size_t offLayout = 0; ///< characters not sent because the user's layout has no key for them
    std::size_t refused = 0;   ///< texts not typed because the desktop gave no keyboard
};

/// Types texts through the desktop's RemoteDesktop portal (org.freedesktop.portal.RemoteDesktop): one session with
/// a keyboard for the program's life, started (the desktop asks the user) on the GUI thread at the first text;
/// each character is sent as its keysym, which the desktop types through the user's keyboard layout, on a worker
/// thread, one text at a time in the order queued; given the layout's chords, each character goes as its key and
/// modifier keys instead, and a text a hotkey asked for first lets go of the modifiers the user may still hold.
/// Characters the layout lacks cannot arrive this way: they are left out and named to the problem handler (on the
/// worker thread), never dropped silently. Needs the Qt application object.
class TRemoteDesktopTypist final : public QObject, public ITypist {
    Q_OBJECT
public:
    /// Whether the session bus has a portal that offers RemoteDesktop with a keyboard.
    static bool Offered();

    /// `layoutKeysyms`: the keysyms of the user's layout; none when it could not be read (then everything is sent
    /// and the user is told once that characters the layout lacks may be missing). `tokenFile`: where the
    /// desktop's restore token is kept, so that portals that offer it (RemoteDesktop version 2) ask the user only
    /// once, not every session; empty: nowhere. `chords`: the layout's keys, to type by key code (see
    /// TRemoteKeyPlan).
    explicit TRemoteDesktopTypist(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile = {},
                                  std::optional<TLayoutChords> chords = std::nullopt);
    ~TRemoteDesktopTypist() override;

    /// Starts the session first if there is none yet (waiting for the desktop, and the user, on the GUI thread),
    /// then queues the text and returns.
    void TypeText(const std::string& bytes, std::int32_t pressedKey) override;
    void SetProblemHandler(TypingProblemHandler handler) override;

    /// Waits until every queued text is sent; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);
    /// A copy of the counters.
    TRemoteTypingStats Stats() const;

private:
    /// Starts the session with a keyboard when there is none; false when the desktop refused (reason in FProblem).
    bool EnsureSession();
    void Run();
    void TypeOne(const std::string& bytes, std::int32_t pressedKey);
    void SendKeysym(std::uint32_t keysym);
    void Send(const TRemoteKey& key);
    void Report(const std::string& message);

    QDBusConnection FBus;
    QString FSession; ///< set on the GUI thread before the first text is queued, then never changed
    QString FProblem;
    const TRemoteKeyPlan FPlan;
    const std::string FTokenFile;
    bool FToldUnknownLayout = false; ///< worker only

    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::deque<std::pair<std::string, std::int32_t>> FQueue; ///< texts and the keys that asked for them
    bool FStop = false;
    bool FBusy = false;
    TypingProblemHandler FProblemHandler;
    TRemoteTypingStats FStats;

    std::thread FWorker; // last: starts after everything above exists
};

} // namespace velmora
