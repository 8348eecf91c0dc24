#pragma once

#include "RemoteDesktopKeys.h"

#include <QDBusConnection>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

/// Tells which keys the user holds on a desktop whose compositor lets a key through only at its first press and
/// its last release over all keyboards (mutter): a key the session presses while the user holds it makes no input
/// event, which the desktop's idle clock (org.gnome.Mutter.IdleMonitor) shows. The first key stays pressed while the
/// others are pressed and let go of one by one, so that none is tapped alone (a bare Alt opens menus) and no two of
/// them go down together but with the first. The typist's thread only.
class THeldKeyProbe {
public:
    /// Sends one key call of the session and waits for the portal's answer.
    using TSend = std::function<void(const TRemoteKey&)>;

    /// The probe of the desktop on `bus`; none where it has no such idle clock. `witness`: the Linux input key code
    /// of a key that nobody holds and no application acts on (one the layout gives no symbol); 0: none, no probe.
    static std::unique_ptr<THeldKeyProbe> ForDesktop(const QDBusConnection& bus, std::uint32_t witness);

    /// The keys of `codes` (Linux input key codes) that the user holds, each pressed through `send` and let go of;
    /// none when the desktop's clock does not see the session's keys (the witness key, tapped first once, told).
    /// Takes about 10 ms a key that is not held, 150 ms one that is.
    std::optional<std::vector<std::uint32_t>> Held(const std::vector<std::uint32_t>& codes, const TSend& send);

private:
    THeldKeyProbe(QDBusConnection bus, std::uint32_t witness);
    /// Whether the idle clock sees the session's keys; the first time, taps the witness to find out.
    bool Sees(const TSend& send);
    /// Whether an input event came since `since`, waiting up to `wait`.
    bool EventSince(std::chrono::steady_clock::time_point since, std::chrono::milliseconds wait);

    QDBusConnection FBus;
    const std::uint32_t FWitness;
    std::optional<std::chrono::milliseconds> FWait; ///< how long a key may take to show; 0: the clock does not see them
};

} // namespace velmora
