#pragma once

#include "RemoteSession.h"
#include "RemoteTypingStats.h"
#include "platform/TextSender.h"

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class TIbusEngine;
class THeldKeyProbe;

/// Makes a clipboard to paste through; none where there is none.
using TClipboardFactory = std::function<std::unique_ptr<IPasteClipboard>()>;

/// One started session of the desktop's RemoteDesktop portal with a keyboard (and the clipboard where the portal
/// grants it), and Velmora's IBus engine where the text may go through IBus. Closed when it goes. Needs the Qt
/// application object; the typist's thread only.
class TRemoteDesktopSession final : public IRemoteSession {
public:
    /// The portal's interface.
    static constexpr const char* kInterface = "org.freedesktop.portal.RemoteDesktop";
    /// The portal's device type of a keyboard.
    static constexpr unsigned kKeyboardDevice = 1;
    /// Whether the portal on `bus` keeps the user's permission from one session to the next (version 2).
    static bool KeepsPermission(const QDBusConnection& bus);

    /// Asks the desktop for a session with a keyboard (it may ask the user), keeping its restore token in
    /// `tokenFile` where the portal offers one; `trigger`: the IBus route's trigger key (0: no IBus route);
    /// `otherClipboard`: where the portal gives the session no clipboard, the one to paste through (none: no
    /// pastes). None when the typist stopped meanwhile; throws TypingRefused when the desktop gives no keyboard.
    static std::unique_ptr<TRemoteDesktopSession> Start(QDBusConnection bus, const std::string& tokenFile,
                                                        std::uint32_t trigger, ITypingTurn& turn,
                                                        TRemoteTypingCounters& counters,
                                                        const TClipboardFactory& otherClipboard);
    /// Closes the session.
    ~TRemoteDesktopSession() override;
    TRemoteDesktopSession(const TRemoteDesktopSession&) = delete;
    TRemoteDesktopSession& operator=(const TRemoteDesktopSession&) = delete;

    /// Whether the session has a clipboard to paste through.
    bool HasClipboard() const { return FClipboard != nullptr; }
    /// Whether the IBus route may be taken.
    bool HasInputMethod() const { return FIbus != nullptr; }

    // IRemoteSession: the session's keyboard, the IBus engine and the session's clipboard.
    void Send(const TRemoteKey& key) override;
    std::optional<std::vector<std::uint32_t>> HeldKeys(const std::vector<std::uint32_t>& codes) override;
    bool ImeActivate() override;
    bool ImeFocused() override;
    bool ImeSend(TImePiece piece) override;
    bool ImeKeysHandled(StrokeKind lastKey) override;
    void ImeChord(const std::vector<TRemoteKey>& keys) override;
    void ImeDeactivate() override;
    IPasteClipboard* Clipboard() override { return FClipboard.get(); }

private:
    TRemoteDesktopSession(QDBusConnection bus, QString handle, std::uint32_t trigger);

    QDBusConnection FBus;
    const QString FHandle;
    const std::uint32_t FTrigger;
    std::unique_ptr<TIbusEngine> FIbus;          ///< none where IBus cannot be used
    std::unique_ptr<IPasteClipboard> FClipboard; ///< the portal's, or the one given; none without either
    std::unique_ptr<THeldKeyProbe> FHeldKeys;    ///< none where the desktop cannot tell which keys are held
};

} // namespace velmora
