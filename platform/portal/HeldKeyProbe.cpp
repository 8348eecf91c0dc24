#include "HeldKeyProbe.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <chrono>
#include <thread>

namespace velmora {

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
/// How long a key the desktop lets through may take to show on its idle clock; a key that shows nothing by then
/// is held (a busy desktop only makes the typist look again).
constexpr std::chrono::milliseconds kEventWait{150};
constexpr std::chrono::milliseconds kPoll{3};

} // namespace

std::unique_ptr<THeldKeyProbe> THeldKeyProbe::ForDesktop(const QDBusConnection& bus) {
    const QDBusConnectionInterface* names = bus.interface();
    if (names == nullptr || !names->isServiceRegistered(kService).value()) {
        return nullptr;
    }
    return std::unique_ptr<THeldKeyProbe>(new THeldKeyProbe(bus));
}

THeldKeyProbe::THeldKeyProbe(QDBusConnection bus) : FBus(std::move(bus)) {}

std::optional<std::vector<std::uint32_t>> THeldKeyProbe::Held(const std::vector<std::uint32_t>& codes,
                                                              const TSend& send) {
    std::vector<std::uint32_t> held;
    // Pressed, and let go of at once unless it is the first: a key that makes an event is not held, and its release
    // makes one too, which must pass before the next key is looked at.
    const auto look = [&](std::uint32_t code, bool keep) {
        auto since = std::chrono::steady_clock::now();
        send({true, code, true});
        const bool free = EventSince(since);
        if (!free) {
            held.push_back(code);
        }
        if (!keep) {
            since = std::chrono::steady_clock::now();
            send({true, code, false});
            if (free) {
                EventSince(since);
            }
        }
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
        look(codes[i], i == 0);
    }
    // A key the user let go of meanwhile is let go of by this release: the desktop never saw the user's.
    if (!codes.empty()) {
        send({true, codes.front(), false});
    }
    if (!codes.empty() && held.size() == codes.size()) {
        return std::nullopt;
    }
    return held;
}

bool THeldKeyProbe::EventSince(std::chrono::steady_clock::time_point since) {
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("GetIdletime"));
    for (;;) {
        // Measured before the question: an event older than `since` can never look newer.
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
        const QDBusReply<qulonglong> idle = FBus.call(ask, QDBus::Block, 1000);
        if (!idle.isValid()) {
            return true; // no clock: nothing is taken for held
        }
        if (idle.value() < static_cast<qulonglong>(elapsed.count())) {
            return true;
        }
        if (elapsed >= kEventWait) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

} // namespace velmora
