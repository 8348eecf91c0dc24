#include "PortalClipboard.h"

#include "PortalRequest.h"
#include "core/FdWait.h"
#include "core/UniqueFd.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kClipboardInterface = "org.freedesktop.portal.Clipboard";
/// How long an application may take to read what the session writes, and the session to read the user's content.
constexpr std::chrono::milliseconds kTransferTime{2000};
/// More than this is not kept: the user's content is then taken as unreadable.
constexpr std::size_t kMaxKept = 64 * 1024 * 1024;

QDBusMessage CallClipboard(const QDBusConnection& bus, const QString& method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kClipboardInterface, method);
    call.setArguments(arguments);
    return QDBusConnection(bus).call(call, QDBus::Block, 5000);
}

/// The file descriptor a clipboard method answers with, owned and non-blocking; -1 when it failed.
TFd CallForFd(const QDBusConnection& bus, const QString& method, const QList<QVariant>& arguments) {
    const QDBusMessage reply = CallClipboard(bus, method, arguments);
    const int given = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                          ? reply.arguments().first().value<QDBusUnixFileDescriptor>().fileDescriptor()
                          : -1;
    const int fd = given >= 0 ? ::fcntl(given, F_DUPFD_CLOEXEC, 0) : -1;
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return TFd(fd);
}

} // namespace

/// Answers the desktop's requests for the session's clipboard and follows its owner, in a thread of its own.
class TClipboardServer : public QObject {
    Q_OBJECT
public:
    TClipboardServer(QDBusConnection bus, QString session, TClipboardState& state)
        : FBus(std::move(bus)), FSession(std::move(session)), FState(state) {}

public slots:
    void OwnerChanged(const QDBusObjectPath& session, const QVariantMap& options) {
        if (session.path() != FSession) {
            return;
        }
        std::scoped_lock lock(FState.mutex);
        FState.told = true;
        FState.owned = options.value("session_is_owner").toBool();
        FState.ownerTypes = qdbus_cast<QStringList>(options.value("mime_types"));
        if (!FState.owned) {
            FState.kept.reset(); // the user put something else on it
        }
    }

    void Transfer(const QDBusObjectPath& session, const QString& type, uint serial) {
        if (session.path() != FSession) {
            return;
        }
        std::optional<std::string> data;
        std::uint64_t number = 0;
        {
            number = FState.requests.Arrived();
            std::scoped_lock lock(FState.mutex);
            if (const auto found = FState.offer.find(type.toStdString()); found != FState.offer.end()) {
                data = found->second;
            }
        }
        bool written = false;
        if (data) {
            TFd fd = CallForFd(FBus, "SelectionWrite", {QVariant::fromValue(session), serial});
            written = fd.Get() >= 0 &&
                      WriteAllUntil(fd.Get(), *data, std::chrono::steady_clock::now() + kTransferTime) &&
                      fd.Close() == 0;
        }
        CallClipboard(FBus, "SelectionWriteDone", {QVariant::fromValue(session), serial, written});
        if (written) {
            FState.requests.Answered(number);
        }
    }

private:
    QDBusConnection FBus;
    const QString FSession;
    TClipboardState& FState;
};

bool TPortalClipboard::Offered(const QDBusConnection& bus) {
    return PortalProperty(bus, kClipboardInterface, QStringLiteral("version")) >= 1;
}

bool TPortalClipboard::Request(const QDBusConnection& bus, const QString& session) {
    return CallClipboard(bus, "RequestClipboard", {QVariant::fromValue(QDBusObjectPath(session)), QVariantMap()})
               .type() == QDBusMessage::ReplyMessage;
}

TPortalClipboard::TPortalClipboard(QDBusConnection bus, QString session)
    : FBus(std::move(bus)), FSession(std::move(session)), FThread(QStringLiteral("velmora-clipboard"), [] {
          // An application that stops reading must not end the program: writes to it fail with EPIPE instead.
          sigset_t pipe;
          sigemptyset(&pipe);
          sigaddset(&pipe, SIGPIPE);
          pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
      }) {
    FServer = &FThread.Host<TClipboardServer>(FBus, FSession, FState);
    FThread.Run([this] {
        FBus.connect(kPortalService, kPortalPath, kClipboardInterface, "SelectionOwnerChanged", FServer,
                     SLOT(OwnerChanged(QDBusObjectPath, QVariantMap)));
        FBus.connect(kPortalService, kPortalPath, kClipboardInterface, "SelectionTransfer", FServer,
                     SLOT(Transfer(QDBusObjectPath, QString, uint)));
    });
}

TPortalClipboard::~TPortalClipboard() {
    FThread.Run([this] {
        FBus.disconnect(kPortalService, kPortalPath, kClipboardInterface, "SelectionOwnerChanged", FServer,
                        SLOT(OwnerChanged(QDBusObjectPath, QVariantMap)));
        FBus.disconnect(kPortalService, kPortalPath, kClipboardInterface, "SelectionTransfer", FServer,
                        SLOT(Transfer(QDBusObjectPath, QString, uint)));
    });
}

bool TPortalClipboard::KeepUserContent() {
    QStringList types;
    bool told = false;
    {
        std::scoped_lock lock(FState.mutex);
        // Content kept while the session still owns the clipboard is current: no one copied since.
        if (FState.kept && FState.owned) {
            return true;
        }
        types = FState.ownerTypes;
        told = FState.told;
    }
    TClipboardContent kept;
    if (!told) {
        if (Read(QString::fromLatin1(kClipboardTextType))) {
            return false; // content whose formats the desktop did not name cannot be put back whole
        }
    }
    for (const QString& type : types) {
        std::optional<std::string> data = Read(type);
        if (!data) {
            return false;
        }
        kept[type.toStdString()] = std::move(*data);
    }
    std::scoped_lock lock(FState.mutex);
    FState.kept = std::move(kept);
    return true;
}

std::optional<std::string> TPortalClipboard::Read(const QString& type) {
    TFd fd = CallForFd(FBus, "SelectionRead", {QVariant::fromValue(QDBusObjectPath(FSession)), type});
    if (fd.Get() < 0) {
        return std::nullopt;
    }
    return ReadAllUntil(fd.Get(), std::chrono::steady_clock::now() + kTransferTime, kMaxKept);
}

bool TPortalClipboard::Offer(const TClipboardContent& content) {
    if (content.empty()) {
        Clear();
        return true;
    }
    QStringList types;
    for (const auto& [type, data] : content) {
        types << QString::fromStdString(type);
    }
    {
        std::scoped_lock lock(FState.mutex);
        FState.offer = content;
    }
    const bool set = CallClipboard(FBus, "SetSelection",
                                   {QVariant::fromValue(QDBusObjectPath(FSession)), QVariantMap{{"mime_types", types}}})
                         .type() == QDBusMessage::ReplyMessage;
    std::scoped_lock lock(FState.mutex);
    FState.owned = FState.owned || set;
    return set;
}

void TPortalClipboard::Clear() {
    // Without types the desktop takes the session's content off the clipboard.
    CallClipboard(FBus, "SetSelection", {QVariant::fromValue(QDBusObjectPath(FSession)), QVariantMap()});
    std::scoped_lock lock(FState.mutex);
    FState.offer.clear();
    FState.owned = false;
}

std::uint64_t TPortalClipboard::Requests() {
    return FState.requests.Count();
}

bool TPortalClipboard::WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                                    const std::function<bool()>& keepWaiting) {
    return FState.requests.WaitAnswered(mark, timeout, keepWaiting);
}

void TPortalClipboard::PutBack() {
    TClipboardContent restored;
    {
        std::scoped_lock lock(FState.mutex);
        if (!FState.kept) {
            return;
        }
        restored = RestoredContent(*FState.kept);
        if (restored.empty()) {
            FState.kept.reset(); // a secret is not kept beyond the text
        }
    }
    Offer(restored);
}

} // namespace velmora

#include "PortalClipboard.moc"
