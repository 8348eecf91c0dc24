#include "PortalRequest.h"

#include "platform/BusThread.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

#include <atomic>
#include <future>
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

QString TPortalResponse::Session(const QDBusConnection& bus, const QString& sessionToken) const {
    // Older portals give the handle as a string, newer ones as an object path.
    const QVariant handle = results.value("session_handle");
    const QString session = handle.userType() == qMetaTypeId<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                                : handle.toString();
    return session.isEmpty() ? TPortalRequest::HandlePath(bus, "session", sessionToken) : session;
}

void ClosePortalSession(const QDBusConnection& bus, const QString& session) {
    QDBusConnection(bus).call(
        QDBusMessage::createMethodCall(kPortalService, session, "org.freedesktop.portal.Session", "Close"),
        QDBus::Block, 5000);
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

TPortalRequest::TPortalRequest(QDBusConnection bus, const QString& token, QObject* parent)
    : QObject(parent), FBus(std::move(bus)), FToken(token), FPath(HandlePath(FBus, "request", token)) {}

QString TPortalRequest::HandlePath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    QString sender = bus.baseService();
    sender.remove(0, sender.startsWith(':') ? 1 : 0).replace('.', '_');
    return QStringLiteral("%1/%2/%3/%4").arg(kPortalPath, kind, sender, token);
}

QString TPortalRequest::NewToken() {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("velmora%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

void TPortalRequest::Send(const QString& interface, const QString& method, const QList<QVariant>& arguments,
                          std::chrono::milliseconds timeout, TAnswered answered) {
    FAnswered = std::move(answered);
    FBus.connect(kPortalService, FPath, "org.freedesktop.portal.Request", "Response", this,
                 SLOT(Response(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    call.setArguments(arguments);
    auto* reply = new QDBusPendingCallWatcher(FBus.asyncCall(call, static_cast<int>(timeout.count())), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        if (watcher->isError()) {
            TPortalResponse failed;
            failed.error = watcher->error().message().isEmpty() ? watcher->error().name() : watcher->error().message();
            Finish(failed);
        }
    });
    QTimer::singleShot(timeout, this, [this, timeout] {
        TPortalResponse late;
        late.code = 3;
        late.error = QStringLiteral("the desktop did not answer within %1 s")
                         .arg(std::chrono::duration_cast<std::chrono::seconds>(timeout).count());
        Finish(late);
    });
}

TPortalResponse TPortalRequest::Call(const QString& interface, const QString& method, const QList<QVariant>& arguments,
                                     std::chrono::milliseconds timeout, const std::function<bool()>& keepWaiting) {
    std::promise<TPortalResponse> promise;
    std::future<TPortalResponse> answer = promise.get_future();
    // The request that listens lives on a thread whose event loop serves it; this thread only waits for the answer.
    TBusThread thread(QStringLiteral("velmora-portal-request"));
    TPortalRequest& listener = thread.Host<TPortalRequest>(FBus, FToken);
    thread.Run([&] {
        listener.Send(interface, method, arguments, timeout,
                      [&promise](const TPortalResponse& response) { promise.set_value(response); });
    });
    while (answer.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (keepWaiting && !keepWaiting()) {
            thread.Run([&listener] {
                TPortalResponse givenUp;
                givenUp.code = 3;
                givenUp.error = QStringLiteral("the wait was given up");
                listener.Finish(givenUp);
            });
        }
    }
    return answer.get();
}

void TPortalRequest::Response(uint code, const QVariantMap& results) {
    TPortalResponse response;
    response.code = code;
    response.results = results;
    Finish(response);
}

void TPortalRequest::Finish(const TPortalResponse& response) {
    if (!FAnswered) {
        return;
    }
    FBus.disconnect(kPortalService, FPath, "org.freedesktop.portal.Request", "Response", this,
                    SLOT(Response(uint, QVariantMap)));
    const TAnswered answered = std::move(FAnswered);
    FAnswered = nullptr;
    answered(response);
}

} // namespace velmora
