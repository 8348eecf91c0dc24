#include "HeldKeyProbe.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <algorithm>
#include <chrono>
#include <thread>

namespace velmora {

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
/// How long the witness key may take to show on the idle clock; one that shows nothing by then means the clock does
/// not see the session's keys.
constexpr std::chrono::milliseconds kWitnessWait{1000};
/// How long another key may take: at least this, and four times what the witness took (a busy desktop that takes
/// longer only makes the typist look again).
constexpr std::chrono::milliseconds kEventWait{150};
constexpr std::chrono::milliseconds kPoll{3};

} // namespace

std::unique_ptr<THeldKeyProbe> THeldKeyProbe::ForDesktop(const QDBusConnection& bus, std::uint32_t witness) {
    const QDBusConnectionInterface* names = bus.interface();
    if (witness == 0 || names == nullptr || !names->isServiceRegistered(kService).value()) {
        return nullptr;
    }
    return std::unique_ptr<THeldKeyProbe>(new THeldKeyProbe(bus, witness));
}

THeldKeyProbe::THeldKeyProbe(QDBusConnection bus, std::uint32_t witness) : FBus(std::move(bus)), FWitness(witness) {}

bool THeldKeyProbe::Sees(const TSend& send) {
    if (!FWait) {
        // Nobody holds the witness: it shows how long a key takes, or that the clock does not see the session's.
        const auto since = std::chrono::steady_clock::now();
        send({true, FWitness, true});
        const bool seen = EventSince(since, kWitnessWait);
        const auto took = std::chrono::steady_clock::now() - since;
        send({true, FWitness, false});
        FWait = seen ? std::max<std::chrono::milliseconds>(
                           kEventWait, 4 * std::chrono::duration_cast<std::chrono::milliseconds>(took))
                     : std::chrono::milliseconds(0);
        EventSince(std::chrono::steady_clock::now(), *FWait);
    }
    return FWait->count() > 0;
}

std::optional<std::vector<std::uint32_t>> THeldKeyProbe::Held(const std::vector<std::uint32_t>& codes,
                                                              const TSend& send) {
    if (!Sees(send)) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> held;
    // Pressed, and let go of at once unless it is the first: a key that makes an event is not held, and its release
    // makes one too, which must pass before the next key is looked at.
    const auto look = [&](std::uint32_t code, bool keep) {
        auto since = std::chrono::steady_clock::now();
        send({true, code, true});
        const bool free = EventSince(since, *FWait);
        if (!free) {
            held.push_back(code);
        }
        if (!keep) {
            since = std::chrono::steady_clock::now();
            send({true, code, false});
            if (free) {
                EventSince(since, *FWait);
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
    return held;
}

bool THeldKeyProbe::EventSince(std::chrono::steady_clock::time_point since, std::chrono::milliseconds wait) {
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
        if (elapsed >= wait) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

} // namespace velmora
