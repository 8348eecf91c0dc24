#pragma once

#include "HotkeyChord.h"
#include "HotkeyService.h"
#include "Typist.h"

#include "core/RowList.h"
#include "core/StrItem.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// The nonzero 16-bit id for a hotkey name; the same name always gives the same id, different names different ids.
std::uint16_t HotkeyAtom(const std::string& name);

/// The system modifier flags for a modifier index: 0 none, 1 CTRL, 2 ALT, 3 SHIFT, 4-255 none.
unsigned ModifierFlags(std::uint8_t modifierIndex);

/// What a row's hotkey does now, while the hotkeys are started.
struct THotkeyMark {
    enum class Kind {
        InForce,           ///< a press types this row's text
        Refused,           ///< a press does not type it; `reason` says why
        ChangedSinceStart, ///< changed after Start: the new hotkey takes effect at the next Start
        NotRegistered,     ///< added or checked after Start: it takes effect at the next Start
    };
    Kind kind = Kind::InForce;
    HotkeyStatus reason = HotkeyStatus::Registered; ///< for Refused
    friend bool operator==(const THotkeyMark&, const THotkeyMark&) = default;
};

/// The registry of registered hotkeys (one entry per row checked at Start) and the operations on it. It is the one
/// owner of what became of each row's registration.
class THotKeys {
public:
    /// One registered row: its id, the item it types (kept alive until Stop), the combination and row No. it was
    /// registered with, and what became of the registration.
    struct TEntry {
        int id = 0;
        TStrItemPtr item;
        HotkeyStatus status = HotkeyStatus::Registered;
        std::string reason;               ///< the desktop's own words on a refusal; empty when it said nothing
        std::size_t rowNumber = 0;        ///< the row's No. at Start
        std::uint8_t registeredIndex = 0; ///< the modifier index at Start
        std::int32_t registeredKey = 0;   ///< the virtual-key code registered at Start
        /// The modifier flags registered at Start.
        unsigned RegisteredModifiers() const { return ModifierFlags(registeredIndex); }
    };

    /// Becomes the service's press handler: every press reaches HandleHotKey.
    THotKeys(IHotkeyService& service, ITypist& typist);
    /// Releases what is still registered and stops hearing presses.
    ~THotKeys();
    THotKeys(const THotKeys&) = delete;
    THotKeys& operator=(const THotKeys&) = delete;

    /// RegisterHotKeys.
    void Start(const TRowList& rows) { RegisterHotKeys(rows); }
    /// UnregisterHotKeys, and the typist drops what earlier presses still have queued or being typed.
    void Stop();
    /// Releases all, then registers one hotkey per checked row, top to bottom.
    void RegisterHotKeys(const TRowList& rows);
    /// Releases every registered id and empties the registry.
    void UnregisterHotKeys();
    /// A press of the registration `id`, from any service: types what a press of the combination it was registered
    /// with types. False when no entry has that id (stopped, or a Start since).
    bool HandleHotKey(int id);
    /// Types the text of the first entry whose item's current hotkey is this one; false when none has it.
    bool HandleHotKey(std::uint16_t modifiers, std::uint16_t virtualKey);
    /// Types this item's text when its row has an entry (checked at Start), whatever became of its hotkey; false
    /// when it has none.
    bool TypeEntryOf(const TStrItem* item);
    /// Types this item's text, whether or not its row has an entry (a second request while it types ends it).
    void TypeItem(const TStrItem& item);

    /// The picker's hotkey, registered after the rows' at the next Start (none: not registered).
    void SetPickerChord(std::optional<THotkeyChord> chord) { FPickerChord = chord; }
    /// What a press of the picker's hotkey, or a "pick" request, does.
    void SetPickerOpener(std::function<void()> opened) { FPickerOpened = std::move(opened); }
    /// Opens the picker, whether or not the hotkeys are started; false when there is none to open.
    bool OpenPicker();
    /// What became of the picker's registration at the last Start; none while stopped or without one.
    std::optional<THotkeyResult> PickerStatus() const { return FPickerStatus; }

    /// Whether a Start has created the registry.
    bool Exists() const { return FExists; }
    /// The entries in registration order.
    const std::vector<TEntry>& Entries() const { return FEntries; }
    /// What became of the registration of this item's row, or none when the item has no entry.
    std::optional<HotkeyStatus> StatusOf(const TStrItem* item) const;
    /// What the hotkey of the row holding this item does now, from the registrations and the items' current
    /// hotkeys; none while stopped, and for a row without an entry that is not checked (it is not meant to work).
    std::optional<THotkeyMark> MarkOf(const TStrItem* item, bool checked) const;
    /// Whether the hotkeys are started.
    bool Running() const { return FRunning; }
    /// Called after registrations the service decided later (Pending at Start) have settled.
    void SetSettledHandler(std::function<void()> handler) { FSettled = std::move(handler); }

private:
    /// Takes what became of pending registrations into the entries.
    void Settle(const std::map<int, THotkeyResult>& settled);

    IHotkeyService& FService;
    ITypist& FTypist;
    bool FExists = false;
    bool FRunning = false;
    std::vector<TEntry> FEntries;
    std::function<void()> FSettled;
    /// When each registration was last pressed: presses closer than a person presses twice are the key's
    /// auto-repeat, each a text of its own, never the press that ends the text.
    std::map<int, std::chrono::steady_clock::time_point> FLastPress;
    std::optional<THotkeyChord> FPickerChord;
    std::function<void()> FPickerOpened;
    std::optional<THotkeyResult> FPickerStatus;
};

} // namespace velmora
