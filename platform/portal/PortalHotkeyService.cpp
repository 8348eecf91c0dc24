#include "PortalHotkeyService.h"

#include "PortalRequest.h"
#include "PortalTrigger.h"

#include "platform/ShortcutNames.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>

#include <iostream>
#include <utility>

namespace {

/// One element of the a(sa{sv}) lists of GlobalShortcuts.
struct TPortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TPortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TPortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(TPortalShortcut)

namespace velmora {

namespace {

constexpr const char* kShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
/// A desktop may ask the user (a dialog) before it binds: give the user time.
constexpr std::chrono::seconds kBindTimeout{120};
constexpr std::chrono::seconds kSessionTimeout{20};

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<TPortalShortcut>();
        qDBusRegisterMetaType<QList<TPortalShortcut>>();
        return true;
    }();
    (void)registered;
}

} // namespace

bool TPortalHotkeyService::Offered() {
    return PortalProperty(QDBusConnection::sessionBus(), kShortcutsInterface, QStringLiteral("version")) >= 1;
}

TPortalHotkeyService::TPortalHotkeyService() : FBus(QDBusConnection::sessionBus()) {
    RegisterTypes();
    FBus.connect(kPortalService, kPortalPath, kShortcutsInterface, "Activated", this,
                 SLOT(Activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

TPortalHotkeyService::~TPortalHotkeyService() {
    if (QCoreApplication::instance() == nullptr) {
        return; // the bus went with the application; the portal ends the session when the connection goes
    }
    FBus.disconnect(kPortalService, kPortalPath, kShortcutsInterface, "Activated", this,
                    SLOT(Activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    // A session still being opened goes when the program's connection does: the portal closes a leaver's sessions.
    CloseSession();
}

THotkeyResult TPortalHotkeyService::RegisterHotKey(const THotkeyRequest& request) {
    const std::optional<std::string> trigger = PortalTrigger(request.modifiers, request.virtualKey);
    if (!trigger) {
        return {HotkeyStatus::UnknownKey, {}};
    }
    FShortcuts[request.id] = {*trigger, ShortcutId(request.rowNumber), request.label, TState::Wanted};
    return {}; // bound, or not, once the desktop answers the calls of FinishRegistrations
}

std::map<int, THotkeyResult> TPortalHotkeyService::FinishRegistrations() {
    std::map<int, THotkeyResult> pending;
    for (const auto& [id, shortcut] : FShortcuts) {
        if (shortcut.state == TState::Wanted) {
            pending[id] = {HotkeyStatus::Pending, {}};
        }
    }
    Proceed();
    return pending;
}

void TPortalHotkeyService::SetSettledHandler(HotkeySettledHandler handler) {
    FSettled = std::move(handler);
}

void TPortalHotkeyService::Proceed() {
    if (FRequest != nullptr) {
        return; // its answer proceeds
    }
    QList<TPortalShortcut> wanted;
    for (auto& [id, shortcut] : FShortcuts) {
        if (shortcut.state == TState::Wanted) {
            wanted.push_back({QString::fromStdString(shortcut.shortcutId),
                              {{"description", QString::fromStdString(shortcut.description)},
                               {"preferred_trigger", QString::fromStdString(shortcut.trigger)}}});
        }
    }
    if (wanted.isEmpty()) {
        return;
    }
    const unsigned round = FRound;
    const QString token = TPortalRequest::NewToken();
    TPortalRequest* request = FRequest = new TPortalRequest(FBus, token, this);
    if (FSession.isEmpty()) {
        const QString sessionToken = TPortalRequest::NewToken();
        request->Send(kShortcutsInterface, "CreateSession",
                      {QVariantMap{{"handle_token", token}, {"session_handle_token", sessionToken}}}, kSessionTimeout,
                      [this, request, sessionToken, round](const TPortalResponse& response) {
                          request->deleteLater();
                          SessionCreated(response, sessionToken, round);
                      });
        return;
    }
    for (auto& [id, shortcut] : FShortcuts) {
        if (shortcut.state == TState::Wanted) {
            shortcut.state = TState::Asked;
        }
    }
    request->Send(kShortcutsInterface, "BindShortcuts",
                  {QVariant::fromValue(QDBusObjectPath(FSession)), QVariant::fromValue(wanted), QString(),
                   QVariantMap{{"handle_token", token}}},
                  kBindTimeout, [this, request, round](const TPortalResponse& response) {
                      request->deleteLater();
                      if (round != FRound) {
                          return; // a Stop closed the session meanwhile: nothing of it is bound
                      }
                      FRequest = nullptr;
                      QStringList bound;
                      const QList<TPortalShortcut> given = qdbus_cast<QList<TPortalShortcut>>(
                          response.results.value("shortcuts").value<QDBusArgument>());
                      for (const TPortalShortcut& shortcut : given) {
                          bound << shortcut.id;
                      }
                      Settle(TState::Asked, bound, response.Problem());
                      Proceed();
                  });
}

void TPortalHotkeyService::SessionCreated(const TPortalResponse& response, const QString& sessionToken,
                                          unsigned round) {
    const QString session = response.code == 0 ? response.Session(FBus, sessionToken) : QString();
    if (round != FRound) {
        // A Stop came while the session was being opened: nobody wants it now.
        if (!session.isEmpty()) {
            ClosePortalSession(FBus, session);
        }
        return;
    }
    FRequest = nullptr;
    if (session.isEmpty()) {
        Settle(TState::Wanted, {}, response.Problem());
        return;
    }
    FSession = session;
    Proceed();
}

void TPortalHotkeyService::Settle(TState from, const QStringList& bound, const QString& problem) {
    std::map<int, THotkeyResult> settled;
    for (auto& [id, shortcut] : FShortcuts) {
        if (shortcut.state != from) {
            continue;
        }
        const bool given = bound.contains(QString::fromStdString(shortcut.shortcutId));
        shortcut.state = given ? TState::Bound : TState::Refused;
        if (given) {
            settled[id] = {};
        } else {
            settled[id] = {HotkeyStatus::NotBound,
                           problem.isEmpty() ? std::string("the desktop's shortcut portal left it unbound")
                                             : "the desktop's shortcut portal bound nothing: " + problem.toStdString()};
            std::cerr << "velmora: the desktop did not bind " << shortcut.trigger << " (" << shortcut.description << ")"
                      << std::endl;
        }
    }
    if (!problem.isEmpty()) {
        std::cerr << "velmora: the desktop's shortcut portal bound no hotkeys: " << problem.toStdString() << std::endl;
    }
    if (FSettled && !settled.empty()) {
        FSettled(settled);
    }
}

void TPortalHotkeyService::UnregisterHotKey(int id) {
    FShortcuts.erase(id);
    if (FShortcuts.empty()) {
        // The portal has no unbinding: the session goes, and its shortcuts with it.
        CloseSession();
    }
}

void TPortalHotkeyService::SetPressHandler(HotkeyPressHandler handler) {
    FHandler = std::move(handler);
}

void TPortalHotkeyService::Activated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                     const QVariantMap&) {
    if (FSession.isEmpty() || session.path() != FSession || !FHandler) {
        return;
    }
    for (const auto& [id, shortcut] : FShortcuts) {
        if (shortcut.state == TState::Bound && QString::fromStdString(shortcut.shortcutId) == shortcutId) {
            FHandler(id);
            return;
        }
    }
}

void TPortalHotkeyService::CloseSession() {
    // A call under way is left to answer into the void; a session it opens is closed then (SessionCreated).
    ++FRound;
    FRequest = nullptr;
    if (FSession.isEmpty()) {
        return;
    }
    ClosePortalSession(FBus, FSession);
    FSession.clear();
    for (auto& [id, shortcut] : FShortcuts) {
        shortcut.state = TState::Wanted;
    }
}

} // namespace velmora
