#include "RowCommandServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <exception>
#include <utility>

namespace velmora {

namespace {

/// A request is one short line; anything longer is not one.
constexpr qint64 kMaxRequest = 64;
/// A client that sends nothing is dropped after this long.
constexpr int kClientTimeoutMs = 2000;

} // namespace

TRowCommandServer::TRowCommandServer(const std::string& socketPath, THandler handler, QObject* parent)
    : QObject(parent), FServer(new QLocalServer(this)), FHandler(std::move(handler)) {
    const QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    FServer->listen(path);
    connect(FServer, &QLocalServer::newConnection, this, &TRowCommandServer::Accept);
}

TRowCommandServer::~TRowCommandServer() {
    FServer->close();
}

bool TRowCommandServer::Listening() const {
    return FServer->isListening();
}

std::string TRowCommandServer::ErrorText() const {
    return FServer->errorString().toStdString();
}

void TRowCommandServer::Accept() {
    while (QLocalSocket* client = FServer->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QTimer::singleShot(kClientTimeoutMs, client, [client] { client->abort(); });
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > kMaxRequest) {
                    client->abort();
                }
                return;
            }
            const QByteArray line = client->readLine(kMaxRequest + 1).trimmed();
            std::string answer;
            try {
                answer = FHandler(line.toStdString()) + "\n";
            } catch (const std::exception& error) {
                answer = std::string("error: ") + error.what() + "\n";
            }
            client->write(answer.data(), static_cast<qint64>(answer.size()));
            client->disconnectFromServer();
        });
    }
}

} // namespace velmora
