#include "KGlobalAccelHotkeyService.h"

#include "KdeShortcutKey.h"
#include "platform/ShortcutNames.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QList>

#include <iostream>
#include <utility>

namespace {

/// A key sequence as the service marshals it: a structure of exactly four key codes (0 for none). The service
/// reads four whatever the array holds, and a shorter array makes it abort.
struct TKeySequence {
    QList<int> keys;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TKeySequence& sequence) {
    argument.beginStructure();
    argument.beginArray(qMetaTypeId<int>());
    for (int i = 0; i < 4; ++i) {
        argument << (i < sequence.keys.size() ? sequence.keys.at(i) : 0);
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TKeySequence& sequence) {
    argument.beginStructure();
    argument.beginArray();
    sequence.keys.clear();
    while (!argument.atEnd()) {
        int key = 0;
        argument >> key;
        sequence.keys << key;
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

/// What the service tells of a shortcut that holds a key (KGlobalShortcutInfo).
struct TShortcutInfo {
    QString action;
    QString actionName;
    QString component;
    QString componentName;
    QString context;
    QString contextName;
    QList<int> keys;
    QList<int> defaultKeys;
};

const QDBusArgument& operator>>(const QDBusArgument& argument, TShortcutInfo& info) {
    argument.beginStructure();
    argument >> info.action >> info.actionName >> info.component >> info.componentName >> info.context >>
        info.contextName >> info.keys >> info.defaultKeys;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TShortcutInfo& info) {
    argument.beginStructure();
    argument << info.action << info.actionName << info.component << info.componentName << info.context
             << info.contextName << info.keys << info.defaultKeys;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(TKeySequence)
Q_DECLARE_METATYPE(TShortcutInfo)

namespace velmora {

namespace {

constexpr const char* kService = "org.kde.kglobalaccel";
constexpr const char* kPath = "/kglobalaccel";
constexpr const char* kInterface = "org.kde.KGlobalAccel";
constexpr const char* kComponentInterface = "org.kde.kglobalaccel.Component";
constexpr int kTimeoutMs = 5000;
/// setShortcutKeys flags: the action's program is there (SetPresent, 2), and the keys given are the ones to use,
/// not those the service's settings file may remember (NoAutoloading, 4).
constexpr unsigned kSetPresentKeys = 6;

void RegisterTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<TKeySequence>();
        qDBusRegisterMetaType<QList<TKeySequence>>();
        qDBusRegisterMetaType<TShortcutInfo>();
        qDBusRegisterMetaType<QList<TShortcutInfo>>();
        return true;
    }();
    (void)registered;
}

QDBusMessage Call(QDBusConnection& bus, const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, kTimeoutMs);
}

bool Answered(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

} // namespace

bool TKGlobalAccelHotkeyService::Offered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                                       "org.freedesktop.DBus", "NameHasOwner")
                                            << QString(kService),
                                        QDBus::Block, kTimeoutMs);
    return Answered(reply) && reply.arguments().first().toBool();
}

TKGlobalAccelHotkeyService::TKGlobalAccelHotkeyService(const QString& component, const QString& componentName)
    : FBus(QDBusConnection::sessionBus()), FComponent(component), FComponentName(componentName) {
    RegisterTypes();
    // Any path: the component's object is named by the service; the signal names the component.
    FBus.connect(kService, QString(), kComponentInterface, "globalShortcutPressed", this,
                 SLOT(Pressed(QString, QString, qlonglong)));
    // A copy that was killed left its shortcuts in force, holding their keys for nobody.
    const QDBusMessage reply = Call(FBus, "allActionsForComponent", {QStringList{FComponent}});
    if (Answered(reply)) {
        const auto actions = qdbus_cast<QList<QStringList>>(reply.arguments().first());
        for (const QStringList& action : actions) {
            if (action.size() > 1) {
                Remove(action.at(1));
            }
        }
    }
}

TKGlobalAccelHotkeyService::~TKGlobalAccelHotkeyService() {
    if (QCoreApplication::instance() == nullptr) {
        return; // the bus went with the application
    }
    FBus.disconnect(kService, QString(), kComponentInterface, "globalShortcutPressed", this,
                    SLOT(Pressed(QString, QString, qlonglong)));
    for (const auto& [id, shortcut] : FShortcuts) {
        Remove(shortcut.action);
    }
}

QStringList TKGlobalAccelHotkeyService::ActionId(const QString& action, const QString& description) const {
    return {FComponent, action, FComponentName, description};
}

THotkeyResult TKGlobalAccelHotkeyService::RegisterHotKey(const THotkeyRequest& request) {
    UnregisterHotKey(request.id);
    const std::optional<int> key = KdeShortcutKey(request.modifiers, request.virtualKey);
    if (!key) {
        return {HotkeyStatus::UnknownKey, {}};
    }
    const QString action = QString::fromStdString(ShortcutId(request.rowNumber));
    const QStringList actionId = ActionId(action, QString::fromStdString(request.label));

    Call(FBus, "doRegister", {actionId});
    const QDBusMessage reply = Call(FBus, "setShortcutKeys",
                                    {actionId, QVariant::fromValue(QList<TKeySequence>{TKeySequence{{*key}}}),
                                     QVariant::fromValue(kSetPresentKeys)});
    // The answer is the keys now in force: the one asked for, or none when another component holds it.
    const auto given =
        Answered(reply) ? qdbus_cast<QList<TKeySequence>>(reply.arguments().first()) : QList<TKeySequence>();
    if (!given.isEmpty() && !given.first().keys.isEmpty() && given.first().keys.first() == *key) {
        FShortcuts[request.id] = {action};
        return {};
    }
    Remove(action);
    if (!Answered(reply)) {
        THotkeyResult result{HotkeyStatus::NotBound, "the desktop's shortcut service did not answer (" +
                                                         reply.errorMessage().toStdString() + ")"};
        std::cerr << "velmora: " << result.reason << std::endl;
        return result;
    }
    return {HotkeyStatus::HeldElsewhere, Holder(*key)};
}

std::string TKGlobalAccelHotkeyService::Holder(int key) {
    const QDBusMessage reply = Call(FBus, "getGlobalShortcutsByKey", {key});
    if (!Answered(reply)) {
        return {};
    }
    for (const TShortcutInfo& info : qdbus_cast<QList<TShortcutInfo>>(reply.arguments().first())) {
        const QString component = info.componentName.isEmpty() ? info.component : info.componentName;
        const QString action = info.actionName.isEmpty() ? info.action : info.actionName;
        return QStringLiteral("%1 uses it for \u201c%2\u201d").arg(component, action).toStdString();
    }
    return {};
}

void TKGlobalAccelHotkeyService::Remove(const QString& action) {
    Call(FBus, "unregister", {FComponent, action});
}

void TKGlobalAccelHotkeyService::UnregisterHotKey(int id) {
    const auto found = FShortcuts.find(id);
    if (found == FShortcuts.end()) {
        return;
    }
    Remove(found->second.action);
    FShortcuts.erase(found);
}

void TKGlobalAccelHotkeyService::SetPressHandler(HotkeyPressHandler handler) {
    FHandler = std::move(handler);
}

void TKGlobalAccelHotkeyService::Pressed(const QString& component, const QString& action, qlonglong) {
    if (component != FComponent || !FHandler) {
        return;
    }
    for (const auto& [id, shortcut] : FShortcuts) {
        if (shortcut.action == action) {
            FHandler(id);
            return;
        }
    }
}

} // namespace velmora
