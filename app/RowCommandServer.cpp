#include "RowCommandServer.h"

#include "PrivateSocket.h"

#include "core/FileSystem.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <utility>

namespace velmora {

namespace {

/// A request is one short line; anything longer is not one.
constexpr std::size_t kMaxRequest = 64;
/// A client that sends no request is dropped after this long.
constexpr std::chrono::milliseconds kClientTimeout{2000};
/// While no descriptor is free and no connection can be dropped, the backlog waits this long.
constexpr int kRetryMs = 100;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

struct TRowCommandServer::TClient {
    TClient(int socketFd, QObject* owner)
        : fd(socketFd), notifier(new QSocketNotifier(socketFd, QSocketNotifier::Read, owner)),
          since(std::chrono::steady_clock::now()) {}
    ~TClient() {
        // The notifier may be the one whose signal is being handled: it goes once that is over.
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    TClient(const TClient&) = delete;
    TClient& operator=(const TClient&) = delete;

    TFd fd;
    QSocketNotifier* notifier;
    std::chrono::steady_clock::time_point since;
    std::string received;
};

TRowCommandServer::TRowCommandServer(const std::string& socketPath, THandler handler, QObject* parent)
    : QObject(parent), FPath(socketPath), FHandler(std::move(handler)), FLateTimer(new QTimer(this)),
      FListener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    Listen();
    FLateTimer->setInterval(kClientTimeout / 4);
    connect(FLateTimer, &QTimer::timeout, this, &TRowCommandServer::DropLate);
    if (!FError.empty()) {
        FListener.Close();
        return;
    }
    FAcceptNotifier = new QSocketNotifier(FListener.Get(), QSocketNotifier::Read, this);
    connect(FAcceptNotifier, &QSocketNotifier::activated, this, &TRowCommandServer::Accept);
}

TRowCommandServer::~TRowCommandServer() {
    if (FAcceptNotifier != nullptr) {
        FAcceptNotifier->setEnabled(false);
    }
    FClients.clear();
    if (FListener.Get() >= 0) {
        FListener.Close();
        // Another copy of the same program may have taken the name since: its socket stays.
        struct stat info {};
        if (::lstat(FPath.c_str(), &info) == 0 && info.st_dev == FSocketDevice && info.st_ino == FSocketInode) {
            ::unlink(FPath.c_str());
        }
    }
}

bool TRowCommandServer::Listening() const {
    return FError.empty();
}

std::string TRowCommandServer::ErrorText() const {
    return FError;
}

void TRowCommandServer::Listen() {
    if (FListener.Get() < 0) {
        FError = std::string("cannot make a socket: ") + std::strerror(errno);
        return;
    }
    try {
        MakePrivateFolder(std::filesystem::path(FPath).parent_path(), ::getuid());
    } catch (const FileError& error) {
        FError = error.what();
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (FPath.size() >= sizeof address.sun_path) {
        FError = "the socket path " + FPath + " is too long";
        return;
    }
    std::memcpy(address.sun_path, FPath.c_str(), FPath.size() + 1);
    struct stat info {};
    if (::lstat(FPath.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
        // A socket another copy of the same list still listens on stays its own; one nobody listens on is replaced.
        if (SomeoneListens(FPath)) {
            FError = "another Velmora of the same list listens on " + FPath;
            return;
        }
        ::unlink(FPath.c_str());
    }
    if (::bind(FListener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListener.Get(), SOMAXCONN) != 0 || ::lstat(FPath.c_str(), &info) != 0) {
        FError = "cannot listen on " + FPath + ": " + std::strerror(errno);
        return;
    }
    FSocketDevice = info.st_dev;
    FSocketInode = info.st_ino;
}

void TRowCommandServer::Accept() {
    for (;;) {
        const int fd = ::accept4(FListener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the oldest connection still waiting for its request makes room.
                if (!FClients.empty()) {
                    FClients.erase(FClients.begin());
                    continue;
                }
                FAcceptNotifier->setEnabled(false);
                QTimer::singleShot(kRetryMs, this, [this] { FAcceptNotifier->setEnabled(true); });
            }
            return;
        }
        auto client = std::make_unique<TClient>(fd, this);
        if (PeerUid(fd) != ::getuid()) {
            continue; // another user's process: closed unheard
        }
        TClient* added = client.get();
        connect(client->notifier, &QSocketNotifier::activated, this, [this, added] { Read(added); });
        FClients.push_back(std::move(client));
        if (!FLateTimer->isActive()) {
            FLateTimer->start();
        }
    }
}

void TRowCommandServer::Read(TClient* client) {
    const auto it =
        std::find_if(FClients.begin(), FClients.end(), [client](const auto& c) { return c.get() == client; });
    if (it == FClients.end()) {
        return;
    }
    char buffer[256];
    const ssize_t n = ::recv(client->fd.Get(), buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        FClients.erase(it);
        return;
    }
    client->received.append(buffer, static_cast<std::size_t>(n));
    const std::size_t end = client->received.find('\n');
    if (end == std::string::npos ? client->received.size() > kMaxRequest : end > kMaxRequest) {
        FClients.erase(it);
        return;
    }
    if (end == std::string::npos) {
        return;
    }
    // Out of the list before the handler runs: whatever runs meanwhile (a dialog's event loop, more requests,
    // the drop of late or surplus connections) cannot close this one.
    std::unique_ptr<TClient> taken = std::move(*it);
    FClients.erase(it);
    taken->notifier->setEnabled(false);
    Answer(std::move(taken), Trimmed(client->received.substr(0, end)));
}

void TRowCommandServer::Answer(std::unique_ptr<TClient> client, const std::string& request) {
    std::string answer;
    try {
        answer = FHandler(request) + "\n";
    } catch (const std::exception& error) {
        answer = std::string("error: ") + error.what() + "\n";
    }
    // One short line fits the socket's buffer whole: nothing waits for the client to read it.
    ::send(client->fd.Get(), answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void TRowCommandServer::DropLate() {
    const auto now = std::chrono::steady_clock::now();
    while (!FClients.empty() && now - FClients.front()->since > kClientTimeout) {
        FClients.erase(FClients.begin());
    }
    if (FClients.empty()) {
        FLateTimer->stop();
    }
}

} // namespace velmora
