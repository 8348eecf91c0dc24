#include "RemoteDesktopSender.h"

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

#include <utility>

namespace velmora {

namespace {

constexpr const char* kRemoteInterface = "org.freedesktop.portal.RemoteDesktop";
constexpr unsigned kKeyboardDevice = 1;
constexpr std::uint32_t kShiftL = 0xFFE1;
constexpr std::uint32_t kControlL = 0xFFE3;
/// Linux input's key code of V, for a layout without a Latin v (its applications take Ctrl+V by the key).
constexpr std::uint32_t kKeyV = 47;
/// How long an application may take to ask for a pasted run; longer means that the paste went nowhere.
constexpr std::chrono::milliseconds kPasteWait{1500};
/// A clipboard manager (KDE's Klipper) reads new content at once: its reads go before the paste, lest they count as
/// the application's.
constexpr std::chrono::milliseconds kOfferSettle{100};
/// An application inserts what it read a moment after the read: the next keys wait for it.
constexpr std::chrono::milliseconds kPasteSettle{50};
/// The desktop asks the user before it starts the session: give the user time.
constexpr std::chrono::seconds kStartTimeout{120};
constexpr std::chrono::seconds kSessionTimeout{20};
/// Some desktops lose the first keys of a new session; a modifier tap and a pause let it settle.
constexpr std::chrono::milliseconds kSettle{300};
/// How long the IBus engine may take to be told that an application's input method has the focus.
constexpr std::chrono::milliseconds kImeFocusWait{200};
/// How long a piece for the input method may take to go out after the trigger key's press; longer means that the
/// trigger key went straight to an application without an input method.
constexpr std::chrono::milliseconds kImeSendWait{700};
/// How long an application may take to show that it handled a piece's Return or Tab keys before the next piece.
constexpr std::chrono::milliseconds kImeKeysWait{500};

/// Whether a character the layout lacks may go by paste: not control characters, which name no text.
bool Pastable(const TStroke& stroke) {
    return stroke.kind == StrokeKind::Character && !IsControlCharacter(stroke.character);
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

bool TRemoteDesktopSender::Offered() {
    return (PortalProperty(QDBusConnection::sessionBus(), kRemoteInterface, QStringLiteral("AvailableDeviceTypes")) &
            kKeyboardDevice) != 0;
}

TRemoteDesktopSender::TRemoteDesktopSender(std::optional<std::set<std::uint32_t>> layoutKeysyms, std::string tokenFile,
                                           std::optional<TLayoutChords> chords, std::uint32_t inputMethodTrigger)
    : FBus(QDBusConnection::sessionBus()), FPlan(std::move(layoutKeysyms), std::move(chords)),
      FTokenFile(std::move(tokenFile)), FTrigger(inputMethodTrigger) {}

bool TRemoteDesktopSender::KeepsPermission() {
    return PortalProperty(QDBusConnection::sessionBus(), kRemoteInterface, QStringLiteral("version")) >= 2;
}

TRemoteDesktopSender::~TRemoteDesktopSender() {
    if (!FSession.isEmpty() && QCoreApplication::instance() != nullptr) {
        ClosePortalSession(FBus, FSession);
    }
}

TRemoteTypingStats TRemoteDesktopSender::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

TSendOutcome TRemoteDesktopSender::Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) {
    {
        std::scoped_lock lock(FMutex);
        ++FStats.texts;
    }
    if (FSession.isEmpty() && !StartSession(turn)) {
        return {};
    }
    TSendOutcome outcome;
    outcome.why = "your keyboard layout has no key for them. Add a layout that has them, or use an X11 application.";
    turn.KeysBegin();
    if (pressedKey != 0) {
        // The user may still hold the hotkey's modifiers: typed with them, the keys would be shortcuts.
        for (const TRemoteKey& key : FPlan.LetGoOfModifiers()) {
            Send(key);
        }
    }
    const std::vector<TStroke> strokes = WalkText(text);
    const std::size_t viaInputMethod = SendThroughInputMethod(strokes, turn);
    // The user's clipboard is read before the first paste and put back after the text, however it ends.
    std::optional<bool> clipboardKept;
    struct TPutBack {
        TPortalClipboard* clipboard = nullptr;
        ~TPutBack() {
            if (clipboard != nullptr) {
                clipboard->PutBack();
            }
        }
    } putBack;
    for (std::size_t i = viaInputMethod; i < strokes.size(); ++i) {
        // A stopped text ends here: what it did not reach is not what the layout lacks.
        if (!turn.Pause(std::chrono::milliseconds(0))) {
            break;
        }
        const TStroke& stroke = strokes[i];
        const std::optional<std::vector<TRemoteKey>> keys = FPlan.Keys(stroke);
        if (!keys) {
            std::u32string run;
            for (; i < strokes.size() && Pastable(strokes[i]) && !FPlan.Keys(strokes[i]); ++i) {
                run += strokes[i].character;
            }
            if (run.empty()) {
                outcome.unsent += stroke.character;
                continue;
            }
            --i;
            if (!FClipboard) {
                outcome.unsent += run;
                continue;
            }
            if (!clipboardKept) {
                clipboardKept = FClipboard->KeepUserContent();
                putBack.clipboard = *clipboardKept ? FClipboard.get() : nullptr;
            }
            if (!*clipboardKept) {
                outcome.unsent += run;
                outcome.why = "your keyboard layout has no key for them, and your clipboard could not be read to "
                              "be put back after a paste.";
            } else if (!Paste(run, turn)) {
                outcome.unsent += run;
                outcome.why = "your keyboard layout has no key for them, and the application did not take them "
                              "from the clipboard.";
            }
            continue;
        }
        for (const TRemoteKey& key : *keys) {
            Send(key);
        }
        std::scoped_lock lock(FMutex);
        ++FStats.keysyms;
    }
    {
        std::scoped_lock lock(FMutex);
        FStats.offLayout += outcome.unsent.size();
    }
    if (!FPlan.LayoutKnown() && !FToldUnknownLayout) {
        FToldUnknownLayout = true;
        turn.Report(
            "Velmora could not read your keyboard layout: characters it lacks may be missing from typed texts.");
    }
    return outcome;
}

std::size_t TRemoteDesktopSender::SendThroughInputMethod(const std::vector<TStroke>& strokes, ITypingTurn& turn) {
    if (!FIbus || !FIbus->Activate()) {
        return 0;
    }
    std::size_t sent = 0;
    std::size_t keyWaits = 0;
    if (FIbus->InputFocused(kImeFocusWait)) {
        for (TImePiece& piece : ImePieces(strokes)) {
            if (!turn.Pause(std::chrono::milliseconds(0))) {
                break;
            }
            const std::size_t count = piece.text.size() + piece.keys.size();
            const std::optional<StrokeKind> lastKey =
                piece.keys.empty() ? std::nullopt : std::optional(piece.keys.back());
            FIbus->Queue(std::move(piece));
            Send({true, FTrigger, true});
            const bool went = FIbus->WaitSent(kImeSendWait);
            Send({true, FTrigger, false});
            if (!went) {
                break; // the focus is with an application that takes keys only
            }
            sent += count;
            // An application may handle keys after strings committed later: the next piece waits for them.
            if (lastKey && !FIbus->WaitKeysHandled(*lastKey, kImeKeysWait)) {
                ++keyWaits;
            }
        }
    }
    FIbus->Deactivate();
    std::scoped_lock lock(FMutex);
    FStats.imeStrokes += sent;
    FStats.imeKeyWaits += keyWaits;
    return sent;
}

void TRemoteDesktopSender::Send(const TRemoteKey& key) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kRemoteInterface, key.keycode ? "NotifyKeyboardKeycode" : "NotifyKeyboardKeysym");
    notify.setArguments({QVariant::fromValue(QDBusObjectPath(FSession)), QVariantMap(), static_cast<int>(key.value),
                         key.pressed ? 1U : 0U});
    // One at a time: the portal may hand calls that overlap to its backend in another order.
    FBus.call(notify, QDBus::Block, 5000);
}

bool TRemoteDesktopSender::Paste(const std::u32string& run, ITypingTurn& turn) {
    const QByteArray utf8 = QString::fromUcs4(run.data(), static_cast<qsizetype>(run.size())).toUtf8();
    if (!turn.Pause(std::chrono::milliseconds(0)) ||
        !FClipboard->Offer({{TPortalClipboard::kTextType, utf8}, {"text/plain", utf8}}) || !turn.Pause(kOfferSettle)) {
        return false;
    }
    const std::uint64_t mark = FClipboard->Transfers();
    std::vector<TRemoteKey> v = FPlan.Keys({StrokeKind::Character, U'v'})
                                    .value_or(std::vector<TRemoteKey>{{true, kKeyV, true}, {true, kKeyV, false}});
    Send({false, kControlL, true});
    for (const TRemoteKey& key : v) {
        Send(key);
    }
    Send({false, kControlL, false});
    if (!FClipboard->WaitForPaste(mark, kPasteWait, [&turn] { return turn.Pause(std::chrono::milliseconds(0)); }) ||
        !turn.Pause(kPasteSettle)) {
        return false;
    }
    std::scoped_lock lock(FMutex);
    FStats.pasted += run.size();
    return true;
}

void TRemoteDesktopSender::SendKeysym(std::uint32_t keysym) {
    Send({false, keysym, true});
    Send({false, keysym, false});
}

bool TRemoteDesktopSender::StartSession(ITypingTurn& turn) {
    {
        std::scoped_lock lock(FMutex);
        ++FStats.sessions;
    }
    const auto keepWaiting = [&turn] { return turn.Pause(std::chrono::milliseconds(0)); };
    const auto refusal = [this](const TPortalResponse& response) {
        std::scoped_lock lock(FMutex);
        ++FStats.refused;
        return TypingRefused("the desktop gave Velmora no keyboard (" + response.Problem().toStdString() + ").");
    };
    const QString token = TPortalRequest::NewToken();
    const QString sessionToken = TPortalRequest::NewToken();
    TPortalResponse response = TPortalRequest(FBus, token)
                                   .Call(kRemoteInterface, "CreateSession",
                                         {QVariantMap{{"handle_token", token}, {"session_handle_token", sessionToken}}},
                                         kSessionTimeout, keepWaiting);
    if (response.code != 0) {
        if (!keepWaiting()) {
            return false;
        }
        throw refusal(response);
    }
    const QString session = response.Session(FBus, sessionToken);
    // The clipboard is asked for before the session starts; the session has it when the start says so.
    std::unique_ptr<TPortalClipboard> clipboard;
    if (TPortalClipboard::Offered(FBus) && TPortalClipboard::Request(FBus, session)) {
        clipboard = std::make_unique<TPortalClipboard>(FBus, session);
    }
    const QString selectToken = TPortalRequest::NewToken();
    QVariantMap selectOptions{{"handle_token", selectToken}, {"types", kKeyboardDevice}};
    const bool persists = KeepsPermission(); // older portals refuse options they do not know
    if (persists) {
        selectOptions.insert("persist_mode", 2U); // until the user revokes it
        if (const QString restore = ReadToken(FTokenFile); !restore.isEmpty()) {
            selectOptions.insert("restore_token", restore);
        }
    }
    response = TPortalRequest(FBus, selectToken)
                   .Call(kRemoteInterface, "SelectDevices",
                         {QVariant::fromValue(QDBusObjectPath(session)), selectOptions}, kSessionTimeout, keepWaiting);
    if (response.code == 0) {
        const QString startToken = TPortalRequest::NewToken();
        response = TPortalRequest(FBus, startToken)
                       .Call(kRemoteInterface, "Start",
                             {QVariant::fromValue(QDBusObjectPath(session)), QString(),
                              QVariantMap{{"handle_token", startToken}}},
                             kStartTimeout, keepWaiting);
    }
    if (response.code == 0 && (response.results.value("devices").toUInt() & kKeyboardDevice) == 0) {
        response.code = 2;
    }
    if (response.code != 0) {
        // Closing the session also takes a question the desktop still shows away.
        ClosePortalSession(FBus, session);
        if (!keepWaiting()) {
            return false;
        }
        throw refusal(response);
    }
    if (persists) {
        KeepToken(FTokenFile, response.results.value("restore_token").toString());
    }
    FSession = session;
    if (response.results.value("clipboard_enabled").toBool()) {
        FClipboard = std::move(clipboard);
    }
    if (FTrigger != 0) {
        FIbus = TIbusEngine::Connect(FTrigger);
    }
    SendKeysym(kShiftL);
    return turn.Pause(kSettle);
}

} // namespace velmora
