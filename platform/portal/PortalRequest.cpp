#include "PortalRequest.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <iostream>

namespace velmora {

QString TPortalResponse::Problem() const {
    switch (code) {
    case 0:
        return {};
    case 1:
        return QStringLiteral("the user did not allow it");
    case 2:
        return QStringLiteral("the desktop refused");
    default:
        return error;
    }
}

void RegisterPortalApp(const QDBusConnection& bus, const QString& appId) {
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage registration =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.host.portal.Registry", "Register");
    registration.setArguments({appId, QVariantMap()});
    const QDBusMessage reply = QDBusConnection(bus).call(registration, QDBus::Block, 5000);
    const QString error = reply.errorName();
    if (reply.type() == QDBusMessage::ErrorMessage && error != "org.freedesktop.DBus.Error.UnknownMethod" &&
        error != "org.freedesktop.DBus.Error.UnknownInterface" &&
        error != "org.freedesktop.DBus.Error.ServiceUnknown") {
        std::cerr << "velmora: the desktop portal did not take the app id " << appId.toStdString() << ": "
                  << reply.errorMessage().toStdString() << std::endl;
    }
}

unsigned PortalProperty(const QDBusConnection& bus, const QString& interface, const QString& name) {
    if (!bus.isConnected()) {
        return 0;
    }
    QDBusMessage get =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({interface, name});
    const QDBusMessage reply = QDBusConnection(bus).call(get, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply.arguments().first().value<QDBusVariant>().variant().toUInt()
               : 0;
}

TPortalRequest::TPortalRequest(QDBusConnection bus, const QString& token)
    : FBus(std::move(bus)), FPath(HandlePath(FBus, "request", token)) {}

QString TPortalRequest::HandlePath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(':') ? 1 : 0).replace('.', '_');
    return QStringLiteral("%1/%2/%3/%4").arg(kPortalPath, kind, sender, token);
}

QString TPortalRequest::NewToken() {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("velmora%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

TPortalResponse TPortalRequest::Call(const QString& interface, const QString& method, const QList<QVariant>& arguments,
                                     std::chrono::milliseconds timeout, const std::function<bool()>& keepWaiting) {
    FBus.connect(kPortalService, FPath, "org.freedesktop.portal.Request", "Response", this,
                 SLOT(Response(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = FBus.call(call, QDBus::Block, static_cast<int>(timeout.count()));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        FBus.disconnect(kPortalService, FPath, "org.freedesktop.portal.Request", "Response", this,
                        SLOT(Response(uint, QVariantMap)));
        TPortalResponse failed;
        failed.error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return failed;
    }
    if (!FAnswered) {
        QEventLoop loop;
        FQuit = [&loop] { loop.quit(); };
        QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
        QTimer poll;
        if (keepWaiting) {
            QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, &keepWaiting] {
                if (!keepWaiting()) {
                    loop.quit();
                }
            });
            poll.start(100);
        }
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        FQuit = nullptr;
    }
    FBus.disconnect(kPortalService, FPath, "org.freedesktop.portal.Request", "Response", this,
                    SLOT(Response(uint, QVariantMap)));
    if (!FAnswered) {
        TPortalResponse late;
        late.code = 3;
        late.error = keepWaiting && !keepWaiting()
                         ? QStringLiteral("the wait was given up")
                         : QStringLiteral("the desktop did not answer within %1 s").arg(timeout.count() / 1000);
        return late;
    }
    return FResponse;
}

void TPortalRequest::Response(uint code, const QVariantMap& results) {
    FAnswered = true;
    FResponse.code = code;
    FResponse.results = results;
    if (FQuit) {
        FQuit();
    }
}

} // namespace velmora
