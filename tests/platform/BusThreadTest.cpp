// The thread that hosts the objects answering the bus: one made and registered there answers there, Qt silent.
#include "platform/BusThread.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

#include <future>

namespace velmora {
namespace {

std::vector<std::string> gSeen; // written by turns (each Run waits for its work), Qt's warnings too
const auto Where = [] { return QThread::currentThread()->objectName().toStdString(); };

/// Tells where it was made and destroyed; answers a call with the name of the thread that answers.
class TProbe final : public QDBusVirtualObject {
public:
    TProbe() { gSeen.push_back("made on " + Where()); }
    ~TProbe() override { gSeen.push_back("gone on " + Where()); }
    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        return QDBusConnection(connection).send(message.createReply(QString::fromStdString(Where())));
    }
};

TEST(BusThread, ObjectsLiveOnTheThreadAndOneRegisteredThereAnswersACallerThatRunsNoEventLoop) {
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { gSeen.push_back(text.toStdString()); });
    {
        TBusThread thread("bus", [] { gSeen.push_back("prepared on " + Where()); });
        QDBusServer& server = thread.Host<QDBusServer>(QStringLiteral("unix:tmpdir=/tmp"));
        TProbe& probe = thread.Host<TProbe>();
        std::promise<bool> registered;
        thread.Run([&] {
            QObject::connect(&server, &QDBusServer::newConnection, &server, [&](const QDBusConnection& peer) {
                registered.set_value(
                    QDBusConnection(peer).registerVirtualObject("/where", &probe, QDBusConnection::SubPath));
            });
        });
        QDBusConnection client = QDBusConnection::connectToPeer(server.address(), "client");
        std::future<bool> done = registered.get_future();
        ASSERT_TRUE(done.wait_for(std::chrono::seconds(5)) == std::future_status::ready && done.get());
        const QDBusMessage reply = client.call(
            QDBusMessage::createMethodCall(QString(), "/where/sub", "org.velmora.Test", "Where"), QDBus::Block, 5000);
        EXPECT_EQ(reply.arguments().value(0).toString(), "bus") << reply.errorMessage().toStdString();
        // Work run on the thread may run more there without waiting for itself.
        EXPECT_EQ(thread.Run([&thread] { return thread.Run([] { return Where(); }); }), "bus");
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"prepared on bus", "made on bus", "gone on bus"}));
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
