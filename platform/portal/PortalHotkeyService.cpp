#include "PortalHotkeyService.h"

#include "PortalRequest.h"
#include "PortalTrigger.h"

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
    CloseSession();
}

void TPortalHotkeyService::DescribeHotKey(int id, std::size_t rowNumber, const std::string& text) {
    FDescriptions[id] = {rowNumber, text};
}

HotkeyStatus TPortalHotkeyService::RegisterHotKey(int id, unsigned modifiers, std::int32_t virtualKey) {
    const std::optional<std::string> trigger = PortalTrigger(modifiers, virtualKey);
    if (!trigger) {
        return HotkeyStatus::UnknownKey;
    }
    TShortcut shortcut;
    shortcut.modifiers = modifiers;
    shortcut.virtualKey = virtualKey;
    shortcut.trigger = *trigger;
    const auto described = FDescriptions.find(id);
    const std::size_t rowNumber = described != FDescriptions.end() ? described->second.first : std::size_t(id);
    shortcut.shortcutId = PortalShortcutId(rowNumber);
    shortcut.description = PortalShortcutDescription(
        rowNumber, described != FDescriptions.end() ? described->second.second : std::string());
    FShortcuts[id] = std::move(shortcut);
    return HotkeyStatus::Registered; // bound, or not, by FinishRegistrations
}

std::map<int, HotkeyStatus> TPortalHotkeyService::FinishRegistrations() {
    FDescriptions.clear();
    std::map<int, HotkeyStatus> refused;
    QList<TPortalShortcut> wanted;
    for (auto& [id, shortcut] : FShortcuts) {
        if (!shortcut.bound) {
            wanted.push_back({QString::fromStdString(shortcut.shortcutId),
                              {{"description", QString::fromStdString(shortcut.description)},
                               {"preferred_trigger", QString::fromStdString(shortcut.trigger)}}});
        }
    }
    if (wanted.isEmpty()) {
        return refused;
    }
    QString problem;
    QStringList bound;
    if (EnsureSession()) {
        const QString token = TPortalRequest::NewToken();
        TPortalRequest request(FBus, token);
        const TPortalResponse response =
            request.Call(kShortcutsInterface, "BindShortcuts",
                         {QVariant::fromValue(QDBusObjectPath(FSession)), QVariant::fromValue(wanted), QString(),
                          QVariantMap{{"handle_token", token}}},
                         kBindTimeout);
        problem = response.Problem();
        const QList<TPortalShortcut> given =
            qdbus_cast<QList<TPortalShortcut>>(response.results.value("shortcuts").value<QDBusArgument>());
        for (const TPortalShortcut& shortcut : given) {
            bound << shortcut.id;
        }
    } else {
        problem = FLastError;
    }
    for (auto& [id, shortcut] : FShortcuts) {
        if (shortcut.bound) {
            continue;
        }
        shortcut.bound = bound.contains(QString::fromStdString(shortcut.shortcutId));
        if (!shortcut.bound) {
            refused[id] = HotkeyStatus::NotBound;
            FRefusals[id] = problem.isEmpty() ? std::string("the desktop's shortcut portal left it unbound")
                                              : "the desktop's shortcut portal bound nothing: " + problem.toStdString();
            std::cerr << "velmora: the desktop did not bind " << shortcut.trigger << " (" << shortcut.description << ")"
                      << std::endl;
        }
    }
    if (!problem.isEmpty()) {
        std::cerr << "velmora: the desktop's shortcut portal bound no hotkeys: " << problem.toStdString() << std::endl;
    }
    return refused;
}

std::string TPortalHotkeyService::RefusalReason(int id) const {
    const auto found = FRefusals.find(id);
    return found != FRefusals.end() ? found->second : std::string();
}

void TPortalHotkeyService::UnregisterHotKey(int id) {
    FShortcuts.erase(id);
    FRefusals.erase(id);
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
        if (shortcut.bound && QString::fromStdString(shortcut.shortcutId) == shortcutId) {
            FHandler(static_cast<std::uint16_t>(shortcut.modifiers), static_cast<std::uint16_t>(shortcut.virtualKey));
            return;
        }
    }
}

bool TPortalHotkeyService::EnsureSession() {
    if (!FSession.isEmpty()) {
        return true;
    }
    const QString token = TPortalRequest::NewToken();
    const QString sessionToken = TPortalRequest::NewToken();
    TPortalRequest request(FBus, token);
    const TPortalResponse response =
        request.Call(kShortcutsInterface, "CreateSession",
                     {QVariantMap{{"handle_token", token}, {"session_handle_token", sessionToken}}}, kSessionTimeout);
    if (response.code != 0) {
        FLastError = response.Problem();
        return false;
    }
    // Older portals give the handle as a string, newer ones as an object path.
    const QVariant handle = response.results.value("session_handle");
    FSession = handle.userType() == qMetaTypeId<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                   : handle.toString();
    if (FSession.isEmpty()) {
        FSession = TPortalRequest::HandlePath(FBus, "session", sessionToken);
    }
    return true;
}

void TPortalHotkeyService::CloseSession() {
    if (FSession.isEmpty()) {
        return;
    }
    QDBusMessage close =
        QDBusMessage::createMethodCall(kPortalService, FSession, "org.freedesktop.portal.Session", "Close");
    FBus.call(close, QDBus::Block, 5000);
    FSession.clear();
    for (auto& [id, shortcut] : FShortcuts) {
        shortcut.bound = false;
    }
}

} // namespace velmora
