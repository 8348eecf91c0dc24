#include "RemoteDesktopSession.h"

#include "HeldKeyProbe.h"
#include "PortalClipboard.h"
#include "PortalRequest.h"
#include "platform/PlatformError.h"
#include "platform/ibus/IbusEngine.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

/// The desktop asks the user before it starts the session: give the user time.
constexpr std::chrono::seconds kStartTimeout{120};
constexpr std::chrono::seconds kSessionTimeout{20};
/// How long the IBus engine may take to be told that an application's input method has the focus.
constexpr std::chrono::milliseconds kImeFocusWait{200};
/// How long a piece for the input method may take to go out after the trigger key's press; longer means that the
/// trigger key went straight to an application without an input method.
constexpr std::chrono::milliseconds kImeSendWait{700};
/// How long an application may take to show that it handled a piece's Return or Tab keys before the next piece.
constexpr std::chrono::milliseconds kImeKeysWait{500};

using TKeepWaiting = std::function<bool()>;

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

/// Calls a method of the RemoteDesktop portal with `arguments` and then `options`, under a handle token of its own,
/// and waits for the answer.
TPortalResponse Ask(const QDBusConnection& bus, const QString& method, QList<QVariant> arguments, QVariantMap options,
                    std::chrono::milliseconds timeout, const TKeepWaiting& keepWaiting) {
    const QString token = TPortalRequest::NewToken();
    options.insert("handle_token", token);
    arguments.append(options);
    return TPortalRequest(bus, token).Call(TRemoteDesktopSession::kInterface, method, arguments, timeout, keepWaiting);
}

/// The SelectDevices options: a keyboard; where the portal keeps permissions, until the user revokes it, restored
/// from the last session's token if there is one (older portals refuse options they do not know).
QVariantMap SelectOptions(bool persists, const std::string& tokenFile) {
    QVariantMap options{{"types", TRemoteDesktopSession::kKeyboardDevice}};
    if (persists) {
        options.insert("persist_mode", 2U);
        if (const QString restore = ReadToken(tokenFile); !restore.isEmpty()) {
            options.insert("restore_token", restore);
        }
    }
    return options;
}

/// Selects the keyboard and starts `session`: the answer of the start, or of the call that failed; a start that
/// gives no keyboard fails.
TPortalResponse SelectAndStart(const QDBusConnection& bus, const QString& session, const QVariantMap& selectOptions,
                               const TKeepWaiting& keepWaiting) {
    const QVariant path = QVariant::fromValue(QDBusObjectPath(session));
    TPortalResponse response = Ask(bus, "SelectDevices", {path}, selectOptions, kSessionTimeout, keepWaiting);
    if (response.code == 0) {
        response = Ask(bus, "Start", {path, QString()}, {}, kStartTimeout, keepWaiting);
    }
    if (response.code == 0 &&
        (response.results.value("devices").toUInt() & TRemoteDesktopSession::kKeyboardDevice) == 0) {
        response.code = 2;
    }
    return response;
}

/// The clipboard of `session`, asked for before its start; none where the portal has none or refused.
std::unique_ptr<TPortalClipboard> AskForClipboard(const QDBusConnection& bus, const QString& session) {
    if (TPortalClipboard::Offered(bus) && TPortalClipboard::Request(bus, session)) {
        return std::make_unique<TPortalClipboard>(bus, session);
    }
    return nullptr;
}

/// After the desktop refused: nothing when the typist stopped meanwhile, else throws TypingRefused.
std::nullptr_t Refuse(const TPortalResponse& response, ITypingTurn& turn, TRemoteTypingCounters& counters) {
    if (!turn.Pause(std::chrono::milliseconds(0))) {
        return nullptr;
    }
    counters.Add(&TRemoteTypingStats::refused, 1);
    throw TypingRefused("the desktop gave Velmora no keyboard (" + response.Problem().toStdString() + ").");
}

} // namespace

bool TRemoteDesktopSession::KeepsPermission(const QDBusConnection& bus) {
    return PortalProperty(bus, kInterface, QStringLiteral("version")) >= 2;
}

std::unique_ptr<TRemoteDesktopSession> TRemoteDesktopSession::Start(QDBusConnection bus, const std::string& tokenFile,
                                                                    std::uint32_t trigger, ITypingTurn& turn,
                                                                    TRemoteTypingCounters& counters,
                                                                    const TClipboardFactory& otherClipboard) {
    counters.Add(&TRemoteTypingStats::sessions, 1);
    const TKeepWaiting keepWaiting = [&turn] { return turn.Pause(std::chrono::milliseconds(0)); };
    const QString sessionToken = TPortalRequest::NewToken();
    TPortalResponse response =
        Ask(bus, "CreateSession", {}, {{"session_handle_token", sessionToken}}, kSessionTimeout, keepWaiting);
    if (response.code != 0) {
        return Refuse(response, turn, counters);
    }
    const QString handle = response.Session(bus, sessionToken);
    // The clipboard is asked for before the session starts; the session has it when the start says so.
    std::unique_ptr<TPortalClipboard> clipboard = AskForClipboard(bus, handle);
    const bool persists = KeepsPermission(bus);
    response = SelectAndStart(bus, handle, SelectOptions(persists, tokenFile), keepWaiting);
    if (response.code != 0) {
        // Closing the session also takes a question the desktop still shows away.
        ClosePortalSession(bus, handle);
        return Refuse(response, turn, counters);
    }
    if (persists) {
        KeepToken(tokenFile, response.results.value("restore_token").toString());
    }
    std::unique_ptr<TRemoteDesktopSession> session(new TRemoteDesktopSession(std::move(bus), handle, trigger));
    try {
        session->FIbus = trigger != 0 ? TIbusEngine::Connect(trigger) : nullptr;
    } catch (const PlatformError& error) {
        turn.Report(std::string("Velmora types without IBus: ") + error.what());
    }
    // The IBus route's trigger key has no symbol: nobody holds it, no application acts on it.
    session->FHeldKeys = THeldKeyProbe::ForDesktop(session->FBus, trigger);
    if (response.results.value("clipboard_enabled").toBool()) {
        session->FClipboard = std::move(clipboard);
    } else if (otherClipboard) {
        session->FClipboard = otherClipboard();
    }
    return session;
}

TRemoteDesktopSession::TRemoteDesktopSession(QDBusConnection bus, QString handle, std::uint32_t trigger)
    : FBus(std::move(bus)), FHandle(std::move(handle)), FTrigger(trigger) {}

TRemoteDesktopSession::~TRemoteDesktopSession() {
    if (QCoreApplication::instance() != nullptr) {
        ClosePortalSession(FBus, FHandle);
    }
}

void TRemoteDesktopSession::Send(const TRemoteKey& key) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kInterface, key.keycode ? "NotifyKeyboardKeycode" : "NotifyKeyboardKeysym");
    notify.setArguments({QVariant::fromValue(QDBusObjectPath(FHandle)), QVariantMap(), static_cast<int>(key.value),
                         key.pressed ? 1U : 0U});
    // One at a time: the portal may hand calls that overlap to its backend in another order.
    FBus.call(notify, QDBus::Block, 5000);
}

std::optional<std::vector<std::uint32_t>> TRemoteDesktopSession::HeldKeys(const std::vector<std::uint32_t>& codes) {
    if (!FHeldKeys) {
        return std::nullopt;
    }
    return FHeldKeys->Held(codes, [this](const TRemoteKey& key) { Send(key); });
}

bool TRemoteDesktopSession::ImeActivate() {
    return FIbus && FIbus->Activate();
}

bool TRemoteDesktopSession::ImeFocused() {
    return FIbus->InputFocused(kImeFocusWait);
}

bool TRemoteDesktopSession::ImeSend(TImePiece piece) {
    FIbus->Queue(std::move(piece));
    Send({true, FTrigger, true});
    const bool went = FIbus->WaitSent(kImeSendWait);
    Send({true, FTrigger, false});
    return went;
}

bool TRemoteDesktopSession::ImeKeysHandled(StrokeKind lastKey) {
    return FIbus->WaitKeysHandled(lastKey, kImeKeysWait);
}

void TRemoteDesktopSession::ImeChord(const std::vector<TRemoteKey>& keys) {
    // mutter hands a key on to the application once the input method has seen it, with the modifiers held at that
    // moment: they are let go of only after the key went by the engine.
    auto keyUp = std::find_if(keys.begin(), keys.end(), [](const TRemoteKey& key) { return !key.pressed; });
    keyUp += keyUp != keys.end() ? 1 : 0;
    FIbus->MarkKeys(kImeFocusWait);
    std::for_each(keys.begin(), keyUp, [this](const TRemoteKey& key) { Send(key); });
    FIbus->WaitKeyPassed(kImeKeysWait);
    std::for_each(keyUp, keys.end(), [this](const TRemoteKey& key) { Send(key); });
    FIbus->WaitKeysHandledSinceMark(kImeKeysWait);
}

void TRemoteDesktopSession::ImeDeactivate() {
    FIbus->Deactivate();
}

} // namespace velmora
