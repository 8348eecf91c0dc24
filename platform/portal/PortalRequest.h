#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>

namespace velmora {

/// The answer of a portal request: 0 success, 1 cancelled by the user, 2 other failure (3: no answer in time,
/// 4: the call itself failed); results as the portal gave them.
struct TPortalResponse {
    unsigned code = 4;
    QVariantMap results;
    QString error; ///< what went wrong, for codes 3 and 4

    /// What went wrong, for the user ("the user did not allow it"); empty for success.
    QString Problem() const;
    /// The session a successful CreateSession opened, whose handle the caller named with `sessionToken`.
    QString Session(const QDBusConnection& bus, const QString& sessionToken) const;
};

/// One call of a portal method that answers through a Request object's Response signal: subscribes to the
/// Response before the call (the answer can come before the call returns), makes the call and hands on the first
/// answer, or why there is none. The object lives in the thread that uses it.
class TPortalRequest : public QObject {
    Q_OBJECT
public:
    /// Hears the answer of Send.
    using TAnswered = std::function<void(const TPortalResponse& response)>;

    /// `bus` must be connected; `token` is the handle_token the caller puts into the call's options.
    TPortalRequest(QDBusConnection bus, const QString& token, QObject* parent = nullptr);

    /// Calls `method` of `interface` on the portal's desktop object with `arguments` (the options last, holding
    /// handle_token) and returns at once; `answered` hears the answer once, from the thread's event loop, or code 3
    /// after `timeout`; nothing once the object is gone. Once per object.
    void Send(const QString& interface, const QString& method, const QList<QVariant>& arguments,
              std::chrono::milliseconds timeout, TAnswered answered);
    /// Send, then waits for the answer, or until `keepWaiting` (asked every 100 ms, if given) says no; the answer is
    /// heard on a bus thread of the call's own, so that the calling thread needs no event loop. For worker threads:
    /// the GUI thread uses Send.
    TPortalResponse Call(const QString& interface, const QString& method, const QList<QVariant>& arguments,
                         std::chrono::milliseconds timeout, const std::function<bool()>& keepWaiting = {});

    /// The object path of a portal object the caller names with `token` ("request" or "session").
    static QString HandlePath(const QDBusConnection& bus, const QString& kind, const QString& token);
    /// A fresh token for a handle.
    static QString NewToken();

private slots:
    void Response(uint code, const QVariantMap& results);

private:
    /// Stops listening and hands the first answer on; later ones are dropped.
    void Finish(const TPortalResponse& response);

    QDBusConnection FBus;
    QString FToken;
    QString FPath;
    TAnswered FAnswered;
};

/// The portal's service name and desktop object.
inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";

/// Tells the portal which program this connection is (org.freedesktop.host.portal.Registry, xdg-desktop-portal 1.19
/// and later; GlobalShortcuts wants it from 1.21): `appId` names the installed .desktop file. It must be the
/// connection's first portal call, or the portal guesses the id itself. Portals without the registry are left
/// alone; a refusal is printed on standard error.
void RegisterPortalApp(const QDBusConnection& bus, const QString& appId);

/// Closes a portal session (and a question the desktop still shows for it); waits up to 5 s for the answer.
void ClosePortalSession(const QDBusConnection& bus, const QString& session);

/// A number property of one of the portal's interfaces ("version", say); 0 when the bus, the portal or the
/// property is not there.
unsigned PortalProperty(const QDBusConnection& bus, const QString& interface, const QString& name);

} // namespace velmora
