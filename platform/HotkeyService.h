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

/// A status, and why in the desktop's own words where it says more than the status ("KWin uses it for ...").
struct THotkeyResult {
    HotkeyStatus status = HotkeyStatus::Registered;
    std::string reason;
    friend bool operator==(const THotkeyResult&, const THotkeyResult&) = default;
};

/// The row No. of the picker's registration, which no row has: a press opens the picker of all rows.
inline constexpr std::size_t kPickerRow = 0;

/// One row's registration, as a Start asks a service for it.
struct THotkeyRequest {
    int id = 0;                  ///< the registry's id of the row; presses are reported by it
    unsigned modifiers = 0;      ///< the combination's modifier flags (kModAlt, kModControl, kModShift)
    std::int32_t virtualKey = 0; ///< the combination's virtual-key code
    std::size_t rowNumber = 0;   ///< the row's No. at Start (kPickerRow: the picker): the desktop's names come from it
    std::string label;           ///< what the desktop shows the user for it ("Velmora row 3"); never the text
};

/// Called on the GUI thread, from its event queue, once per press of a registration in force, with its id.
using HotkeyPressHandler = std::function<void(int id)>;

/// Called on the GUI thread, from its event queue, with what became of registrations that FinishRegistrations left
/// pending (id -> result; Registered: in force after all).
using HotkeySettledHandler = std::function<void(const std::map<int, THotkeyResult>& settled)>;

/// System-wide hotkeys.
class IHotkeyService {
public:
    IHotkeyService() = default;
    IHotkeyService(const IHotkeyService&) = delete;
    IHotkeyService& operator=(const IHotkeyService&) = delete;
    virtual ~IHotkeyService() = default;

    /// Registers the request's combination under its id; says whether it is now in force, and if not, why.
    virtual THotkeyResult RegisterHotKey(const THotkeyRequest& request) = 0;
    /// Releases the combination registered under `id`; an unknown id is ignored.
    virtual void UnregisterHotKey(int id) = 0;
    /// Sets the function that hears of presses.
    virtual void SetPressHandler(HotkeyPressHandler handler) = 0;

    /// After the registrations of one Start. A service that binds them all at once does it here, and returns what
    /// became of those that are not in force after all (Pending for those the desktop decides later); the others
    /// keep what RegisterHotKey said.
    virtual std::map<int, THotkeyResult> FinishRegistrations() { return {}; }
    /// After the releases of one Stop: a service that releases them all at once does it here.
    virtual void FinishUnregistrations() {}
    /// Sets the function that hears, later, what became of the pending ones; never called for the registrations of a
    /// Start that was undone meanwhile. A service that decides everything at once never calls it.
    virtual void SetSettledHandler(HotkeySettledHandler /*handler*/) {}
};

} // namespace velmora
