#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace velmora {

/// Modifier flags of a system-wide hotkey, in the encoding the list's logic compares.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

/// What became of one registration.
enum class HotkeyStatus {
    Registered,       ///< in force
    HeldElsewhere,    ///< another program holds the combination
    HeldByEarlierRow, ///< this program holds it already, for an upper row
    UnknownKey,       ///< the key has no key on this keyboard
    Unavailable,      ///< the session offers no system-wide hotkeys (a desktop shortcut can run the row command)
    NotBound,         ///< the desktop's shortcut portal did not bind it
    CaughtByTyping,   ///< not bound: a desktop shortcut of a bare letter or digit would catch the keys typed
    Pending,          ///< not yet in force: the desktop has not answered (it may be asking the user)
};

/// Called on the GUI thread, from its event queue, once per press of a registered hotkey.
using HotkeyPressHandler = std::function<void(std::uint16_t modifiers, std::uint16_t virtualKey)>;

/// Called on the GUI thread, from its event queue, with what became of registrations that FinishRegistrations left
/// pending (id -> status; Registered: in force after all).
using HotkeySettledHandler = std::function<void(const std::map<int, HotkeyStatus>& settled)>;

/// System-wide hotkeys.
class IHotkeyService {
public:
    IHotkeyService() = default;
    IHotkeyService(const IHotkeyService&) = delete;
    IHotkeyService& operator=(const IHotkeyService&) = delete;
    virtual ~IHotkeyService() = default;

    /// Registers the combination under `id`; says whether it is now in force, and if not, why.
    virtual HotkeyStatus RegisterHotKey(int id, unsigned modifiers, std::int32_t virtualKey) = 0;
    /// Releases the combination registered under `id`; an unknown id is ignored.
    virtual void UnregisterHotKey(int id) = 0;
    /// Sets the function that hears of presses.
    virtual void SetPressHandler(HotkeyPressHandler handler) = 0;

    /// Before RegisterHotKey: the row the id stands for (its No.) and its text, for a service that shows the user
    /// what it binds. Most services ignore it.
    virtual void DescribeHotKey(int /*id*/, std::size_t /*rowNumber*/, const std::string& /*text*/) {}
    /// After the registrations of one Start. A service that binds them all at once does it here, and returns what
    /// became of those that are not in force after all (id -> status; Pending for those the desktop decides later);
    /// the others keep what RegisterHotKey said.
    virtual std::map<int, HotkeyStatus> FinishRegistrations() { return {}; }
    /// Sets the function that hears, later, what became of the pending ones; never called for the registrations of a
    /// Start that was undone meanwhile. A service that decides everything at once never calls it.
    virtual void SetSettledHandler(HotkeySettledHandler /*handler*/) {}
    /// Why the registration under `id` is not in force, in words for the user ("KWin uses it for ..."); empty when
    /// its status says all there is to know.
    virtual std::string RefusalReason(int /*id*/) const { return {}; }
};

} // namespace velmora
