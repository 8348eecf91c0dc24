// The thread that hosts the objects answering the bus: where they are made, used and destroyed, and an object
// registered there answering a peer's blocking call while the caller runs no event loop.
#include "platform/BusThread.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {
namespace {

/// What the probes saw: "made on bus" / "gone on bus" and the like, in order.
struct TSeen {
    std::mutex mutex;
    std::vector<std::string> lines;
    void Add(const std::string& line) {
        std::scoped_lock lock(mutex);
        lines.push_back(line);
    }
};

std::string Where() {
    return QThread::currentThread()->objectName().toStdString();
}

class TProbe final : public QObject {
public:
    TProbe(TSeen& seen, std::string name) : FSeen(seen), FName(std::move(name)) {
        FSeen.Add(FName + " made on " + Where());
    }
    ~TProbe() override { FSeen.Add(FName + " gone on " + Where()); }

private:
    TSeen& FSeen;
    const std::string FName;
};

TEST(BusThread, ObjectsAreMadeAndDestroyedOnTheThreadTheNewestFirstAndRunWorksFromAnywhere) {
    TSeen seen;
    QThread::currentThread()->setObjectName("test");
    {
        TBusThread thread("bus", [&seen] { seen.Add("prepared on " + Where()); });
        TProbe& first = thread.Host<TProbe>(seen, "first");
        thread.Host<TProbe>(seen, "second");
        EXPECT_EQ(first.thread()->objectName(), "bus");
        EXPECT_EQ(thread.Run([] { return Where(); }), "bus");
        // Work run on the thread may run more there without waiting for itself.
        EXPECT_EQ(thread.Run([&thread] { return thread.Run([] { return Where(); }); }), "bus");
        seen.Add("end of scope");
    }
    EXPECT_EQ(seen.lines, (std::vector<std::string>{"prepared on bus", "first made on bus", "second made on bus",
                                                    "end of scope", "second gone on bus", "first gone on bus"}));
}

/// Answers every call with the name of the thread it answers on.
class TWhereObject final : public QDBusVirtualObject {
public:
    QString introspect(const QString& /*path*/) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusConnection(connection).send(message.createReply(QString::fromStdString(Where())));
        return true;
    }
};

TEST(BusThread, AnObjectRegisteredThereAnswersACallerThatRunsNoEventLoopAndQtHasNoComplaint) {
    static std::vector<std::string> warnings;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings.push_back(text.toStdString()); });
    {
        TBusThread thread("bus");
        QDBusServer& server = thread.Host<QDBusServer>(QStringLiteral("unix:tmpdir=/tmp"));
        TWhereObject& object = thread.Host<TWhereObject>();
        std::promise<bool> registered;
        thread.Run([&] {
            QObject::connect(&server, &QDBusServer::newConnection, &server, [&](const QDBusConnection& peer) {
                registered.set_value(
                    QDBusConnection(peer).registerVirtualObject("/where", &object, QDBusConnection::SubPath));
            });
        });
        QDBusConnection client = QDBusConnection::connectToPeer(server.address(), "client");
        ASSERT_TRUE(client.isConnected());
        std::future<bool> answer = registered.get_future();
        ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        ASSERT_TRUE(answer.get());
        const QDBusMessage reply = client.call(
            QDBusMessage::createMethodCall(QString(), "/where/sub", "org.velmora.Test", "Where"), QDBus::Block, 5000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.arguments().value(0).toString(), "bus");
        QDBusConnection::disconnectFromPeer("client");
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, std::vector<std::string>{});
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
