#pragma once

#include "platform/BusThread.h"
#include "platform/PasteClipboard.h"
#include "platform/PasteRequests.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace velmora {

/// What the session knows of the clipboard; shared by the typist's thread and the thread that answers the desktop.
struct TClipboardState {
    std::mutex mutex;
    TClipboardContent offer;               ///< what the session has on the clipboard
    TPasteRequests requests;               ///< the desktop's requests for the offer
    QStringList ownerTypes;                ///< the MIME types of the newest owner the desktop told of
    bool told = false;                     ///< whether the desktop told of an owner since the session started
    bool owned = false;                    ///< whether the session owns the clipboard
    std::optional<TClipboardContent> kept; ///< the user's content, to be put back
};

class TClipboardServer;

/// The clipboard of a RemoteDesktop session (org.freedesktop.portal.Clipboard, xdg-desktop-portal 1.17 and later):
/// text goes onto it for a paste, and the user's content is kept and put back afterwards. While the session owns
/// the clipboard, the desktop asks it for the content whenever an application pastes, at any time: a thread of its
/// own answers. The protocol has no way to give the clipboard back to its owner: the user's content is offered
/// again by the session.
class TPortalClipboard final : public IPasteClipboard {
public:
    /// Whether the portal has the clipboard interface.
    static bool Offered(const QDBusConnection& bus);
    /// Asks for the clipboard in `session`, before its Start; false when the portal refused.
    static bool Request(const QDBusConnection& bus, const QString& session);

    /// Follows the clipboard of `session` from now on (before its Start: the desktop may tell the owner then).
    TPortalClipboard(QDBusConnection bus, QString session);
    /// Stops answering the desktop.
    ~TPortalClipboard() override;
    TPortalClipboard(const TPortalClipboard&) = delete;
    TPortalClipboard& operator=(const TPortalClipboard&) = delete;

    // IPasteClipboard. Where the desktop told of no owner since the session started (GNOME tells of the owner when
    // the session gets the clipboard), the clipboard counts as empty if its text cannot be read, as unreadable if
    // it can: its other formats are unknown.
    bool KeepUserContent() override;
    bool Offer(const TClipboardContent& content) override;
    std::uint64_t Requests() override;
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                      const std::function<bool()>& keepWaiting) override;
    void PutBack() override;

private:
    /// The user's content of `type`; none when it could not be read.
    std::optional<std::string> Read(const QString& type);
    /// Empties the clipboard.
    void Clear();

    QDBusConnection FBus;
    const QString FSession;
    TClipboardState FState;
    TClipboardServer* FServer = nullptr; ///< hosted by FThread
    TBusThread FThread;                  ///< after the state its server uses
};

} // namespace velmora
