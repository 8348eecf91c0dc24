#include "IbusEngine.h"

#include "IbusAddress.h"
#include "IbusEngineNote.h"
#include "IbusWire.h"
#include "platform/Keysyms.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QThread>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kIbusService = "org.freedesktop.IBus";
constexpr const char* kIbusPath = "/org/freedesktop/IBus";
constexpr const char* kIbusInterface = "org.freedesktop.IBus";
constexpr const char* kFactoryPath = "/org/freedesktop/IBus/Factory";
constexpr const char* kEngineInterface = "org.freedesktop.IBus.Engine";
constexpr const char* kEnginePaths = "/org/velmora/IBusEngine";
/// The sender the daemon puts on the messages it sends itself; those it passes on from other programs carry their
/// unique names.
constexpr const char* kDaemonSender = "org.freedesktop.DBus";
/// IBus's flag of a key release in a key event's state.
constexpr std::uint32_t kReleaseMask = 1U << 30;
/// The evdev key codes of Return and Tab, the same on every layout.
constexpr std::uint32_t kReturnCode = 28;
constexpr std::uint32_t kTabCode = 15;
constexpr int kCallTimeoutMs = 5000;
/// How long the daemon may take to drop the user's engine after ours went away.
constexpr std::chrono::milliseconds kRepairWait{300};

/// The daemon's global engine; none when it did not answer with one.
std::optional<QString> GlobalEngine(QDBusConnection& bus) {
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(kIbusService, kIbusPath, kIbusInterface, "GetGlobalEngine"),
                 QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    const QString name = IbusEngineName(reply.arguments().first().value<QDBusVariant>());
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

bool SetGlobalEngine(QDBusConnection& bus, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(kIbusService, kIbusPath, kIbusInterface, "SetGlobalEngine");
    call.setArguments({name});
    return bus.call(call, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

QString ConnectionName() {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("velmora-ibus-%1").arg(++serial);
}

/// The user's runtime folder, where the note of the user's engine goes; empty without one.
std::string RuntimeFolder() {
    const char* folder = std::getenv("XDG_RUNTIME_DIR");
    return folder != nullptr && *folder == '/' ? std::string(folder) : std::string();
}

/// A connection to the user's daemon, closed when it goes.
struct TDaemonLink {
    QDBusConnection bus;
    explicit TDaemonLink(const std::string& address)
        : bus(QDBusConnection::connectToBus(QString::fromStdString(address), ConnectionName())) {}
    ~TDaemonLink() { QDBusConnection::disconnectFromBus(bus.name()); }
    TDaemonLink(const TDaemonLink&) = delete;
    TDaemonLink& operator=(const TDaemonLink&) = delete;
};

} // namespace

/// The engine's and its factory's objects on the daemon's bus; answers on the engine's thread.
class TIbusEngineObject final : public QDBusVirtualObject {
public:
    explicit TIbusEngineObject(TIbusEngine& engine) : FEngine(engine) {}

    QString introspect(const QString& /*path*/) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusConnection bus = connection;
        if (message.service() != QLatin1String(kDaemonSender)) {
            // Any program on the daemon's bus may call the engine; only the daemon's calls are answered.
            if (message.type() == QDBusMessage::MethodCallMessage && message.isReplyRequired()) {
                bus.send(message.createErrorReply(QDBusError::AccessDenied, QStringLiteral("not the IBus daemon")));
            }
            return true;
        }
        const QString member = message.member();
        const QList<QVariant> args = message.arguments();
        if (message.path() == QLatin1String(kFactoryPath) && member == QLatin1String("CreateEngine")) {
            const QString path = QStringLiteral("%1/%2").arg(kEnginePaths).arg(++FEngines);
            {
                std::scoped_lock lock(FEngine.FMutex);
                FEngine.FState.enginePath = path;
                FEngine.FState.focused = false;
            }
            bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
            return true;
        }
        if (member == QLatin1String("ProcessKeyEvent") && args.size() == 3) {
            bus.send(message.createReply(KeyEvent(bus, message.path(), args[1].toUInt(), args[2].toUInt())));
            return true;
        }
        if (member == QLatin1String("Get") || member == QLatin1String("GetAll")) {
            // The daemon asks whether the engine wants to know which client has the focus (FocusInId).
            const QVariant yes = QVariant::fromValue(QDBusVariant(true));
            bus.send(message.createReply(member == QLatin1String("Get")
                                             ? yes
                                             : QVariant::fromValue(QVariantMap{{QStringLiteral("FocusId"), true}})));
            return true;
        }
        Notice(bus, message.path(), member, args);
        if (message.type() == QDBusMessage::MethodCallMessage && !message.isReplyRequired()) {
            return true;
        }
        bus.send(message.createReply());
        return true;
    }

private:
    /// Sends the next piece on the trigger key's press; the trigger key is the engine's, other keys pass.
    bool KeyEvent(QDBusConnection& bus, const QString& path, std::uint32_t keycode, std::uint32_t state) {
        if (keycode != FEngine.FTriggerKey) {
            if ((state & kReleaseMask) != 0) {
                std::scoped_lock lock(FEngine.FMutex);
                ++FEngine.FState.passedReleases;
            }
            FEngine.FChanged.notify_all();
            return false;
        }
        TImePiece piece;
        {
            std::scoped_lock lock(FEngine.FMutex);
            if ((state & kReleaseMask) != 0 || path != FEngine.FState.enginePath || FEngine.FState.pending.empty()) {
                return true;
            }
            piece = std::move(FEngine.FState.pending.front());
            FEngine.FState.pending.pop_front();
        }
        // Signals before the answer: the desktop queues them ahead of the key events that follow.
        if (!piece.text.empty()) {
            Signal(bus, path, "CommitText",
                   {QVariant::fromValue(
                       IbusText(QString::fromUcs4(piece.text.data(), static_cast<int>(piece.text.size()))))});
        }
        for (const StrokeKind key : piece.keys) {
            const std::uint32_t keysym = StrokeKeysym({key, 0});
            const std::uint32_t code = key == StrokeKind::Tab ? kTabCode : kReturnCode;
            Signal(bus, path, "ForwardKeyEvent", {keysym, code, 0U});
            Signal(bus, path, "ForwardKeyEvent", {keysym, code, kReleaseMask});
        }
        if (piece.keys.empty()) {
            // A key event after a commit makes the desktop hand the string over before anything committed later.
            Signal(bus, path, "ForwardKeyEvent", {0U, FEngine.FTriggerKey, kReleaseMask});
        }
        FEngine.FChanged.notify_all();
        return true;
    }

    void Notice(QDBusConnection& bus, const QString& path, const QString& member, const QList<QVariant>& args) {
        const bool focusIn = member == QLatin1String("FocusIn") || member == QLatin1String("FocusInId");
        const bool focusOut = member == QLatin1String("FocusOut") || member == QLatin1String("FocusOutId");
        {
            std::scoped_lock lock(FEngine.FMutex);
            TIbusEngine::TState& state = FEngine.FState;
            if (path != state.enginePath) {
                return;
            }
            if (focusIn || focusOut) {
                // The daemon focuses a context of its own ("fake") when no application has the focus.
                state.focused = focusIn && !(args.size() == 2 && args[1].toString() == QLatin1String("fake"));
                state.surroundedSinceFocus = false;
                ++state.focusChanges;
                state.focusIns += focusIn ? 1 : 0;
            } else if (member == QLatin1String("SetSurroundingText") && args.size() == 3) {
                const QString text = IbusTextString(args[0].value<QDBusVariant>());
                const QList<uint> characters = text.toUcs4();
                const int cursor = static_cast<int>(std::min<qsizetype>(args[1].toUInt(), characters.size()));
                state.beforeCursor = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.data()), cursor);
                state.surrounding = QStringLiteral("%1|%2|%3").arg(args[1].toUInt()).arg(args[2].toUInt()).arg(text);
                state.surroundedSinceFocus = true;
                ++state.surroundings;
            }
        }
        FEngine.FChanged.notify_all();
        if (focusIn || member == QLatin1String("Enable")) {
            // Input contexts send the text around the cursor only to an engine that asks for it.
            Signal(bus, path, "RequireSurroundingText", {});
        }
    }

    static void Signal(QDBusConnection& bus, const QString& path, const char* name, const QList<QVariant>& args) {
        QDBusMessage signal = QDBusMessage::createSignal(path, kEngineInterface, QString::fromLatin1(name));
        signal.setArguments(args);
        bus.send(signal);
    }

    TIbusEngine& FEngine;
    unsigned FEngines = 0;
};

TIbusEngine::TIbusEngine(QDBusConnection bus, std::uint32_t triggerKey)
    : FTriggerKey(triggerKey), FEngineName(QString::fromStdString(IbusEngineNameOf(::getpid()))),
      FNotes(RuntimeFolder(), ::getpid()), FBus(std::move(bus)), FThread(QStringLiteral("velmora-ibus")) {
    FObject = &FThread.Host<TIbusEngineObject>(*this);
    if (QCoreApplication* application = QCoreApplication::instance()) {
        FQuitWatch = QObject::connect(
            application, &QCoreApplication::aboutToQuit, application, [this] { Leave(); }, Qt::DirectConnection);
    }
}

void TIbusEngine::RepairLeftEngine() {
    const std::string address = IbusAddress();
    const TIbusEngineNotes notes(RuntimeFolder(), ::getpid());
    const std::vector<TIbusEngineNote> left = notes.LeftBehind(&ProcessRunning);
    if (address.empty() || left.empty()) {
        return;
    }
    TDaemonLink link(address);
    if (!link.bus.isConnected()) {
        return;
    }
    const std::optional<QString> global = GlobalEngine(link.bus);
    if (const std::optional<std::string> putBack =
            IbusEngineToPutBack(global.value_or(QString()).toStdString(), left, &ProcessRunning)) {
        if (!SetGlobalEngine(link.bus, QString::fromStdString(*putBack))) {
            return; // tried again at the next start
        }
    }
    for (const TIbusEngineNote& note : left) {
        ::unlink(note.path.c_str());
    }
}

std::unique_ptr<TIbusEngine> TIbusEngine::Connect(std::uint32_t triggerKey) {
    const std::string address = IbusAddress();
    if (address.empty() || triggerKey == 0) {
        return nullptr;
    }
    RepairLeftEngine();
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), ConnectionName());
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(bus.name());
        return nullptr;
    }
    std::unique_ptr<TIbusEngine> engine(new TIbusEngine(bus, triggerKey));
    engine->FAddress = address;
    // Registered on the object's own thread, where Qt gives it its helpers.
    const bool registered = engine->FThread.Run([&bus, object = engine->FObject] {
        return bus.registerVirtualObject(kFactoryPath, object) &&
               bus.registerVirtualObject(kEnginePaths, object, QDBusConnection::SubPath);
    });
    QDBusMessage component =
        QDBusMessage::createMethodCall(kIbusService, kIbusPath, kIbusInterface, "RegisterComponent");
    component.setArguments(
        {QVariant::fromValue(IbusComponent({QStringLiteral("org.velmora.Typing%1").arg(::getpid()), engine->FEngineName,
                                            QStringLiteral("Velmora"), QStringLiteral("Types Velmora's texts")}))});
    if (!registered || bus.call(component, QDBus::Block, kCallTimeoutMs).type() != QDBusMessage::ReplyMessage) {
        return nullptr;
    }
    return engine;
}

TIbusEngine::~TIbusEngine() {
    QObject::disconnect(FQuitWatch);
    if (QCoreApplication::instance() != nullptr) {
        Leave();
    }
}

void TIbusEngine::Leave() {
    std::scoped_lock control(FControl);
    if (std::exchange(FLeft, true)) {
        return;
    }
    // What the daemon is to keep once the engine has gone: the user's, or whatever the user chose since.
    QString keep = FUserEngine;
    if (std::exchange(FActive, false)) {
        PutBackUserEngine();
    } else if (const std::optional<QString> global = GlobalEngine(FBus);
               global && !IbusEngineCopy(global->toStdString())) {
        keep = *global;
    }
    FThread.Run([this] {
        FBus.unregisterObject(kFactoryPath);
        FBus.unregisterObject(kEnginePaths, QDBusConnection::UnregisterTree);
    });
    const QString name = FBus.name();
    FBus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
    if (keep.isEmpty()) {
        return;
    }
    // The daemon drops the global engine once our engine is gone, unless the global one was registered at run time
    // too: set the user's again.
    TDaemonLink repair(FAddress);
    const auto end = std::chrono::steady_clock::now() + kRepairWait;
    while (repair.bus.isConnected() && std::chrono::steady_clock::now() < end) {
        if (!GlobalEngine(repair.bus)) {
            SetGlobalEngine(repair.bus, keep);
            break;
        }
        QThread::msleep(20);
    }
}

void TIbusEngine::PutBackUserEngine() {
    // The user may have chosen another input method meanwhile (Super+Space): that one stays.
    if (GlobalEngine(FBus) == FEngineName) {
        SetGlobalEngine(FBus, FUserEngine);
    }
    FNotes.Remove();
}

bool TIbusEngine::Activate() {
    std::scoped_lock control(FControl);
    if (FLeft || FActive) {
        return FActive;
    }
    // Never without knowing what to put back: no answer, or another copy's engine (it is typing), and the text goes
    // another way.
    const std::optional<QString> current = GlobalEngine(FBus);
    if (!current || IbusEngineCopy(current->toStdString())) {
        return false;
    }
    FUserEngine = *current;
    // Noted first, so that the next copy can put the user's engine back if this one ends in the middle of the text.
    FNotes.Write(FUserEngine.toStdString());
    {
        std::scoped_lock lock(FMutex);
        FState.activatedFocusIns = FState.focusIns;
    }
    FActive = SetGlobalEngine(FBus, FEngineName);
    if (!FActive) {
        FNotes.Remove();
    }
    return FActive;
}

template <class TDone>
bool TIbusEngine::WaitForState(TDone done, std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, timeout, done);
}

bool TIbusEngine::InputFocused(std::chrono::milliseconds timeout) {
    // The daemon focuses the new global engine at once, on its own context where no application's input method has
    // the focus (Qt on GNOME): no need to wait out the timeout then.
    WaitForState([this] { return FState.focused || FState.focusIns != FState.activatedFocusIns; }, timeout);
    std::scoped_lock lock(FMutex);
    return FState.focused;
}

void TIbusEngine::Queue(TImePiece piece) {
    std::scoped_lock lock(FMutex);
    FState.pending.push_back(std::move(piece));
    // What WaitKeysHandled compares with: the application may handle the piece's keys before it is asked.
    FState.queuedFocusChanges = FState.focusChanges;
    FState.queuedSurroundings = FState.surroundings;
}

bool TIbusEngine::WaitSent(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    if (FChanged.wait_for(lock, timeout, [this] { return FState.pending.empty(); })) {
        return true;
    }
    FState.pending.clear();
    return false;
}

bool TIbusEngine::WaitKeysHandled(StrokeKind lastKey, std::chrono::milliseconds timeout) {
    const QChar keyCharacter = lastKey == StrokeKind::Tab ? QLatin1Char('\t') : QLatin1Char('\n');
    unsigned long focusChanges = 0;
    unsigned long surroundings = 0;
    {
        std::scoped_lock lock(FMutex);
        focusChanges = FState.queuedFocusChanges;
        surroundings = FState.queuedSurroundings;
    }
    const auto handled = [&] {
        // A Tab or Return typed into the text ends the text before the cursor (a Return may also begin an empty
        // line there); one that moved the focus or did something else shows in the focus.
        return FState.focusChanges != focusChanges ||
               (FState.surroundings != surroundings &&
                (FState.beforeCursor.endsWith(keyCharacter) ||
                 (lastKey == StrokeKind::Return && FState.beforeCursor.isEmpty())));
    };
    return WaitAskingSurrounding(handled, timeout);
}

template <class TDone>
bool TIbusEngine::WaitAskingSurrounding(TDone done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    if (WaitForState(done, std::chrono::milliseconds(0))) {
        return true;
    }
    while (std::chrono::steady_clock::now() < end) {
        // An empty commit makes the desktop end an input-method update, after which the application tells its
        // text around the cursor again.
        EmitEmptyCommit();
        if (WaitForState(done, std::chrono::milliseconds(20))) {
            return true;
        }
    }
    return false;
}

void TIbusEngine::MarkKeys(std::chrono::milliseconds settle) {
    WaitForState([this] { return FState.surroundedSinceFocus; }, settle);
    std::scoped_lock lock(FMutex);
    FMark = FState;
}

bool TIbusEngine::WaitKeyPassed(std::chrono::milliseconds timeout) {
    return WaitForState([this] { return FState.passedReleases != FMark.passedReleases; }, timeout);
}

bool TIbusEngine::WaitKeysHandledSinceMark(std::chrono::milliseconds timeout) {
    return WaitAskingSurrounding(
        [this] { return FState.focusChanges != FMark.focusChanges || FState.surrounding != FMark.surrounding; },
        timeout);
}

void TIbusEngine::EmitEmptyCommit() {
    std::scoped_lock control(FControl);
    QString path;
    {
        std::scoped_lock lock(FMutex);
        path = FState.enginePath;
    }
    QDBusMessage signal = QDBusMessage::createSignal(path, kEngineInterface, QStringLiteral("CommitText"));
    signal.setArguments({QVariant::fromValue(IbusText(QString()))});
    FBus.send(signal);
}

void TIbusEngine::Deactivate() {
    std::scoped_lock control(FControl);
    if (!std::exchange(FActive, false)) {
        return;
    }
    {
        std::scoped_lock lock(FMutex);
        FState.pending.clear();
    }
    PutBackUserEngine();
}

} // namespace velmora
