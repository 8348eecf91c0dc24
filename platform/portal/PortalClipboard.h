#pragma once

#include "platform/BusThread.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace velmora {

/// Clipboard content: the data of each MIME type.
using TClipboardContent = std::map<QString, QByteArray>;

/// What the session knows of the clipboard; shared by the typist's thread and the thread that answers the desktop.
struct TClipboardState {
    std::mutex mutex;
    std::condition_variable served;
    TClipboardContent offer;               ///< what the session has on the clipboard
    std::uint64_t transfers = 0;           ///< requests for the offer answered so far
    QStringList ownerTypes;                ///< the MIME types of the newest owner the desktop told of
    bool told = false;                     ///< whether the desktop tells of owner changes at all
    bool owned = false;                    ///< whether the session owns the clipboard
    std::optional<TClipboardContent> kept; ///< the user's content, to be put back
};

class TClipboardServer;

/// The clipboard of a RemoteDesktop session (org.freedesktop.portal.Clipboard, xdg-desktop-portal 1.17 and later):
/// text goes onto it for a paste, and the user's content is kept and put back afterwards. While the session owns
/// the clipboard, the desktop asks it for the content whenever an application pastes, at any time: a thread of its
/// own answers.
class TPortalClipboard final {
public:
    /// The MIME type of the text the session offers.
    static constexpr const char* kTextType = "text/plain;charset=utf-8";

    /// Whether the portal has the clipboard interface.
    static bool Offered(const QDBusConnection& bus);
    /// Asks for the clipboard in `session`, before its Start; false when the portal refused.
    static bool Request(const QDBusConnection& bus, const QString& session);

    /// Follows the clipboard of `session` from now on (before its Start: the desktop may tell the owner then).
    TPortalClipboard(QDBusConnection bus, QString session);
    /// Stops answering the desktop.
    ~TPortalClipboard();
    TPortalClipboard(const TPortalClipboard&) = delete;
    TPortalClipboard& operator=(const TPortalClipboard&) = delete;

    /// Reads the user's content to put back later, unless the session keeps it already; false when the desktop
    /// named an owner's types and they could not be read (then nothing may go onto the clipboard).
    bool KeepUserContent();
    /// Makes `content` the session's clipboard; false when the desktop refused.
    bool Offer(TClipboardContent content);
    /// How many requests for the offer were answered so far, for WaitForPaste.
    std::uint64_t Transfers();
    /// Waits until a request after the `mark`-th was answered, up to `timeout` or until `keepWaiting` says no.
    bool WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout, const std::function<bool()>& keepWaiting);
    /// Puts the kept user content back; without any, the last offer stays.
    void PutBack();

private:
    std::optional<QByteArray> Read(const QString& type);

    QDBusConnection FBus;
    const QString FSession;
    TClipboardState FState;
    TClipboardServer* FServer = nullptr; ///< hosted by FThread
    TBusThread FThread;                  ///< after the state its server uses
};

} // namespace velmora
