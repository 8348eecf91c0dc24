#include "RemoteDesktopTypist.h"

#include "PortalRequest.h"
#include "core/TextCodec.h"
#include "platform/wayland/KeymapPlan.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <iostream>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kRemoteInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr unsigned kKeyboardDevice = 1;
constexpr std::uint32_t kShiftL = 0xFFE1;
/// The desktop asks the user before it starts the session: give the user time.
constexpr std::chrono::seconds kStartTimeout{120};
constexpr std::chrono::seconds kSessionTimeout{20};
/// Some desktops lose the first keys of a new session; a modifier tap and a pause let it settle.
constexpr int kSettleMs = 300;
/// How many of the characters left out are named in the report.
constexpr std::size_t kNamedCharacters = 12;

QString Problem(const TPortalResponse& response) {
    switch (response.code) {
    case 0:
        return {};
    case 1:
        return QStringLiteral("the user did not allow it");
    case 2:
        return QStringLiteral("the desktop refused");
    default:
        return response.error;
    }
}

/// The portal's RemoteDesktop version; 0 when it cannot be read.
unsigned RemoteVersion(QDBusConnection& bus) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({QString(kRemoteInterface), QStringLiteral("version")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply.arguments().first().value<QDBusVariant>().variant().toUInt()
               : 0;
}

QString ReadToken(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (path.empty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.read(4096)).trimmed();
}

/// Keeps the token for the next session, readable by the user only; a token that cannot be kept only costs the
/// user a question next time.
void KeepToken(const std::string& path, const QString& token) {
    if (path.empty() || token.isEmpty()) {
        return;
    }
    const QString name = QString::fromStdString(path);
    QDir().mkpath(QFileInfo(name).absolutePath());
    QSaveFile file(name);
    if (file.open(QIODevice::WriteOnly)) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        file.write(token.toUtf8());
        file.commit();
    }
}

} // namespace

bool TRemoteDesktopTypist::Offered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage get =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({QString(kRemoteInterface), QStringLiteral("AvailableDeviceTypes")});
    const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           (reply.arguments().first().value<QDBusVariant>().variant().toUInt() & kKeyboardDevice) != 0;
}

TRemoteDesktopTypist::TRemoteDesktopTypist(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile,
                                           std::optional<TLayoutChords> chords)
    : FBus(QDBusConnection::sessionBus()), FPlan(std::move(layoutKeysyms), std::move(chords)),
      FTokenFile(std::move(tokenFile)), FWorker([this] { Run(); }) {}

TRemoteDesktopTypist::~TRemoteDesktopTypist() {
    {
        std::scoped_lock lock(FMutex);
        FStop = true;
        FQueue.clear();
    }
    FWake.notify_all();
    FWorker.join();
    if (!FSession.isEmpty() && QCoreApplication::instance() != nullptr) {
        FBus.call(QDBusMessage::createMethodCall(kPortalService, FSession, "org.freedesktop.portal.Session", "Close"),
                  QDBus::Block, 5000);
    }
}

void TRemoteDesktopTypist::SetProblemHandler(TypingProblemHandler handler) {
    std::scoped_lock lock(FMutex);
    FProblemHandler = std::move(handler);
}

void TRemoteDesktopTypist::Report(const std::string& message) {
    TypingProblemHandler handler;
    {
        std::scoped_lock lock(FMutex);
        handler = FProblemHandler;
    }
    if (handler) {
        handler(message);
    } else {
        std::cerr << "velmora: " << message << std::endl;
    }
}

TRemoteTypingStats TRemoteDesktopTypist::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

bool TRemoteDesktopTypist::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FIdle.wait_for(lock, timeout, [this] { return FQueue.empty() && !FBusy; });
}

void TRemoteDesktopTypist::TypeText(const std::string& bytes, std::int32_t pressedKey) {
    {
        std::scoped_lock lock(FMutex);
        ++FStats.texts;
    }
    if (WalkBytes(bytes).empty()) {
        return;
    }
    if (!EnsureSession()) {
        {
            std::scoped_lock lock(FMutex);
            ++FStats.refused;
        }
        Report("The text was not typed: the desktop gave Velmora no keyboard (" + FProblem.toStdString() + ").");
        return;
    }
    {
        std::scoped_lock lock(FMutex);
        FQueue.emplace_back(bytes, pressedKey);
    }
    FWake.notify_all();
}

void TRemoteDesktopTypist::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FStop) {
            break;
        }
        const auto [text, pressedKey] = std::move(FQueue.front());
        FQueue.pop_front();
        FBusy = true;
        lock.unlock();
        TypeOne(text, pressedKey);
        lock.lock();
        FBusy = false;
        FIdle.notify_all();
    }
    FBusy = false;
    FIdle.notify_all();
}

void TRemoteDesktopTypist::TypeOne(const std::string& bytes, std::int32_t pressedKey) {
    if (pressedKey != 0) {
        // The user may still hold the hotkey's modifiers: typed with them, the keys would be shortcuts.
        for (const TRemoteKey& key : FPlan.LetGoOfModifiers()) {
            Send(key);
        }
    }
    std::u32string missing;
    std::size_t left = 0;
    for (const TStroke& stroke : WalkBytes(bytes)) {
        const std::optional<std::vector<TRemoteKey>> keys = FPlan.Keys(stroke);
        if (!keys) {
            ++left;
            if (missing.find(stroke.character) == std::u32string::npos) {
                missing += stroke.character;
            }
            continue;
        }
        {
            std::scoped_lock lock(FMutex);
            if (FStop) {
                return;
            }
        }
        for (const TRemoteKey& key : *keys) {
            Send(key);
        }
        std::scoped_lock lock(FMutex);
        ++FStats.keysyms;
    }
    {
        std::scoped_lock lock(FMutex);
        FStats.offLayout += left;
    }
    if (left > 0) {
        std::u32string named;
        for (std::size_t i = 0; i < missing.size() && i < kNamedCharacters; ++i) {
            named += (i > 0 ? U" " : U"") + std::u32string(1, missing[i]);
        }
        if (missing.size() > kNamedCharacters) {
            named += U" …";
        }
        Report(std::to_string(left) + " characters were not typed: your keyboard layout has no key for " +
               UnicodeToText(named) + ". Add a layout that has them, or use an X11 application.");
    } else if (!FPlan.LayoutKnown() && !FToldUnknownLayout) {
        FToldUnknownLayout = true;
        Report("Velmora could not read your keyboard layout: characters it lacks may be missing from typed texts.");
    }
}

void TRemoteDesktopTypist::Send(const TRemoteKey& key) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kRemoteInterface, key.keycode ? "NotifyKeyboardKeycode" : "NotifyKeyboardKeysym");
    notify.setArguments({QVariant::fromValue(QDBusObjectPath(FSession)), QVariantMap(), static_cast<int>(key.value),
                         key.pressed ? 1U : 0U});
    // One at a time: the portal may hand calls that overlap to its backend in another order.
    FBus.call(notify, QDBus::Block, 5000);
}

void TRemoteDesktopTypist::SendKeysym(std::uint32_t keysym) {
    Send({false, keysym, true});
    Send({false, keysym, false});
}

bool TRemoteDesktopTypist::EnsureSession() {
    if (!FSession.isEmpty()) {
        return true;
    }
    const QString token = TPortalRequest::NewToken();
    const QString sessionToken = TPortalRequest::NewToken();
    TPortalResponse response =
        TPortalRequest(FBus, token)
            .Call(kRemoteInterface, "CreateSession",
                  {QVariantMap{{"handle_token", token}, {"session_handle_token", sessionToken}}}, kSessionTimeout);
    if (response.code != 0) {
        FProblem = Problem(response);
        return false;
    }
    const QVariant handle = response.results.value("session_handle");
    QString session = handle.userType() == qMetaTypeId<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                          : handle.toString();
    if (session.isEmpty()) {
        session = TPortalRequest::HandlePath(FBus, "session", sessionToken);
    }
    const QString selectToken = TPortalRequest::NewToken();
    QVariantMap selectOptions{{"handle_token", selectToken}, {"types", kKeyboardDevice}};
    const bool persists = RemoteVersion(FBus) >= 2; // older portals refuse options they do not know
    if (persists) {
        selectOptions.insert("persist_mode", 2U); // until the user revokes it
        if (const QString restore = ReadToken(FTokenFile); !restore.isEmpty()) {
            selectOptions.insert("restore_token", restore);
        }
    }
    response = TPortalRequest(FBus, selectToken)
                   .Call(kRemoteInterface, "SelectDevices",
                         {QVariant::fromValue(QDBusObjectPath(session)), selectOptions}, kSessionTimeout);
    if (response.code == 0) {
        const QString startToken = TPortalRequest::NewToken();
        response = TPortalRequest(FBus, startToken)
                       .Call(kRemoteInterface, "Start",
                             {QVariant::fromValue(QDBusObjectPath(session)), QString(),
                              QVariantMap{{"handle_token", startToken}}},
                             kStartTimeout);
    }
    if (response.code == 0 && (response.results.value("devices").toUInt() & kKeyboardDevice) == 0) {
        response.code = 2;
    }
    if (response.code != 0) {
        FProblem = Problem(response);
        FBus.call(QDBusMessage::createMethodCall(kPortalService, session, "org.freedesktop.portal.Session", "Close"),
                  QDBus::Block, 5000);
        return false;
    }
    if (persists) {
        KeepToken(FTokenFile, response.results.value("restore_token").toString());
    }
    FSession = session;
    SendKeysym(kShiftL);
    QEventLoop settle;
    QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
    settle.exec(QEventLoop::ExcludeUserInputEvents);
    return true;
}

} // namespace velmora
