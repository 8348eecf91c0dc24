#include "KdeLeftovers.h"

#include "KGlobalAccelHotkeyService.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QStringList>

namespace velmora {

namespace {

constexpr const char* kService = "org.kde.kglobalaccel";
constexpr const char* kInterface = "org.kde.KGlobalAccel";
constexpr int kTimeoutMs = 5000;

QDBusMessage Call(const QString& path, const char* interface, const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, kTimeoutMs);
}

/// The answer's first argument; an empty variant when the call failed.
QVariant FirstArgument(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() ? reply.arguments().first()
                                                                                      : QVariant();
}

/// The unique names of the service's components.
QStringList Components() {
    QStringList names;
    const QVariant paths = FirstArgument(Call("/kglobalaccel", kInterface, "allComponents", {}));
    for (const QDBusObjectPath& path : qdbus_cast<QList<QDBusObjectPath>>(paths)) {
        const QVariant name =
            FirstArgument(Call(path.path(), "org.freedesktop.DBus.Properties", "Get",
                               {QStringLiteral("org.kde.kglobalaccel.Component"), QStringLiteral("uniqueName")}));
        names << qdbus_cast<QDBusVariant>(name).variant().toString();
    }
    return names;
}

} // namespace

QString KdeComponent(const std::string& appId, const std::string& copyTag) {
    return QString::fromStdString(appId + "." + copyTag);
}

void RemoveKdeLeftovers(const std::string& appId, const std::function<bool(const std::string& copyTag)>& copyRuns) {
    if (!TKGlobalAccelHotkeyService::Offered()) {
        return;
    }
    const QString prefix = QString::fromStdString(appId + ".");
    for (const QString& component : Components()) {
        const bool shared = component == QString::fromStdString(appId);
        if (!shared && (!component.startsWith(prefix) || copyRuns(component.mid(prefix.size()).toStdString()))) {
            continue;
        }
        const QVariant actions =
            FirstArgument(Call("/kglobalaccel", kInterface, "allActionsForComponent", {QStringList{component}}));
        for (const QStringList& action : qdbus_cast<QList<QStringList>>(actions)) {
            if (action.size() > 1) {
                Call("/kglobalaccel", kInterface, "unregister", {component, action.at(1)});
            }
        }
    }
}

} // namespace velmora
