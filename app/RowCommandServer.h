#pragma once

#include "core/UniqueFd.h"

#include <QObject>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>

class QSocketNotifier;
class QTimer;

namespace velmora {

/// Hears row requests from "velmora --type-row N" on a local socket in a folder private to the user, on the GUI
/// thread, and answers each with what the handler returns. Only processes of the same user are heard. When the
/// process runs out of descriptors, the oldest connections that sent no request yet are dropped; the server keeps
/// listening.
class TRowCommandServer : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<std::string(const std::string& request)>;

    /// Listens on `socketPath`: a socket left there by a copy that died is replaced, one that a running copy listens
    /// on is not. When it cannot listen, Listening() is false and ErrorText() says why.
    TRowCommandServer(const std::string& socketPath, THandler handler, QObject* parent = nullptr);
    /// Stops listening and removes the socket, if it is still the one this server made.
    ~TRowCommandServer() override;
    TRowCommandServer(const TRowCommandServer&) = delete;
    TRowCommandServer& operator=(const TRowCommandServer&) = delete;

    bool Listening() const;
    std::string ErrorText() const;

private:
    struct TClient;
    using TClients = std::list<std::unique_ptr<TClient>>;

    void Listen();
    /// Takes the connections waiting in the backlog.
    void Accept();
    /// Reads from one connection; answers it once a whole line has come.
    void Read(TClient* client);
    void Answer(std::unique_ptr<TClient> client, const std::string& request);
    /// Drops the connections that sent no request in time.
    void DropLate();

    std::string FPath;
    THandler FHandler;
    QTimer* FLateTimer = nullptr;
    QSocketNotifier* FAcceptNotifier = nullptr;
    TFd FListener{-1};
    std::string FError;
    dev_t FSocketDevice = 0;
    ino_t FSocketInode = 0;
    /// Connections waiting for their request, the oldest first.
    TClients FClients;
};

} // namespace velmora
