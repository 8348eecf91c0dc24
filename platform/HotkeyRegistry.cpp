#include "HotkeyRegistry.h"

#include "ShortcutNames.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>

namespace velmora {

namespace {

/// Stands in for the window system's global atom table: names get ids 1, 2, 3... in the order they are first
/// asked for, and keep them for the life of the process.
class TAtomTable {
public:
    std::uint16_t Add(const std::string& name) {
        std::scoped_lock lock(FMutex);
        if (const auto found = FIds.find(name); found != FIds.end()) {
            return found->second;
        }
        if (FIds.size() >= std::numeric_limits<std::uint16_t>::max()) {
            throw std::length_error("Too many hotkey names: no free hotkey id is left for \"" + name + "\".");
        }
        const auto id = static_cast<std::uint16_t>(FIds.size() + 1);
        FIds.emplace(name, id);
        return id;
    }

private:
    std::mutex FMutex;
    std::map<std::string, std::uint16_t> FIds;
};

TAtomTable& AtomTable() {
    static TAtomTable table;
    return table;
}

/// The registration id of the picker's hotkey, which no row's name gives.
int PickerId() {
    static const int id = HotkeyAtom("PickerHotKey");
    return id;
}

bool SameHotkey(const TStrItem& item, unsigned modifiers, std::int32_t virtualKey) {
    return ModifierFlags(item.FHKCtrl) == modifiers && item.FHKChar == virtualKey;
}

} // namespace

std::uint16_t HotkeyAtom(const std::string& name) {
    return AtomTable().Add(name);
}

unsigned ModifierFlags(std::uint8_t modifierIndex) {
    switch (modifierIndex) {
    case 1:
        return kModControl;
    case 2:
        return kModAlt;
    case 3:
        return kModShift;
    default:
        return 0;
    }
}

THotKeys::THotKeys(IHotkeyService& service, ITypist& typist) : FService(service), FTypist(typist) {
    FService.SetPressHandler([this](int id) { HandleHotKey(id); });
    FService.SetSettledHandler([this](const std::map<int, THotkeyResult>& settled) { Settle(settled); });
}

THotKeys::~THotKeys() {
    FService.SetPressHandler(nullptr);
    FService.SetSettledHandler(nullptr);
    UnregisterHotKeys();
}

void THotKeys::Stop() {
    UnregisterHotKeys();
    // A press before Stop must not type after it, nor go on typing.
    FTypist.Cancel();
}

void THotKeys::RegisterHotKeys(const TRowList& rows) {
    UnregisterHotKeys();
    FExists = true;
    for (auto position = rows.First(); position; position = rows.Next(*position)) {
        if (!rows.Checked(*position)) {
            continue;
        }
        TEntry entry;
        entry.item = rows.Item(*position);
        entry.id = HotkeyAtom("InputHotKeyF" + std::to_string(*position));
        entry.rowNumber = *position + 1;
        entry.registeredIndex = entry.item ? entry.item->FHKCtrl : 0;
        entry.registeredKey = entry.item ? entry.item->FHKChar : 0;
        // The values at Start decide the registration; an upper row in force with the same combination keeps it.
        const bool heldAbove = std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& earlier) {
            return earlier.status == HotkeyStatus::Registered &&
                   earlier.RegisteredModifiers() == entry.RegisteredModifiers() &&
                   earlier.registeredKey == entry.registeredKey;
        });
        if (heldAbove) {
            entry.status = HotkeyStatus::HeldByEarlierRow;
        } else {
            THotkeyResult result = FService.RegisterHotKey({entry.id, entry.RegisteredModifiers(), entry.registeredKey,
                                                            entry.rowNumber, ShortcutLabel(entry.rowNumber)});
            entry.status = result.status;
            entry.reason = std::move(result.reason);
        }
        FEntries.push_back(std::move(entry));
    }
    if (FPickerChord) {
        FPickerStatus = FService.RegisterHotKey(
            {PickerId(), FPickerChord->modifiers, FPickerChord->key, kPickerRow, ShortcutLabel(kPickerRow)});
    }
    for (auto& [id, result] : FService.FinishRegistrations()) {
        if (id == PickerId() && FPickerStatus && FPickerStatus->status == HotkeyStatus::Registered) {
            FPickerStatus = result;
        }
        for (TEntry& entry : FEntries) {
            if (entry.id == id && entry.status == HotkeyStatus::Registered) {
                entry.status = result.status;
                entry.reason = result.reason;
            }
        }
    }
    FRunning = true;
}

void THotKeys::Settle(const std::map<int, THotkeyResult>& settled) {
    bool changed = false;
    if (const auto found = settled.find(PickerId());
        found != settled.end() && FPickerStatus && FPickerStatus->status == HotkeyStatus::Pending) {
        FPickerStatus = found->second;
        changed = true;
    }
    for (TEntry& entry : FEntries) {
        const auto found = settled.find(entry.id);
        if (found != settled.end() && entry.status == HotkeyStatus::Pending) {
            entry.status = found->second.status;
            entry.reason = found->second.reason;
            changed = true;
        }
    }
    if (changed && FSettled) {
        FSettled();
    }
}

void THotKeys::UnregisterHotKeys() {
    if (!FExists) {
        return;
    }
    FRunning = false;
    for (const TEntry& entry : FEntries) {
        FService.UnregisterHotKey(entry.id);
    }
    if (FPickerStatus) {
        FService.UnregisterHotKey(PickerId());
        FPickerStatus.reset();
    }
    FService.FinishUnregistrations();
    FEntries.clear();
}

bool THotKeys::HandleHotKey(int id) {
    if (id == PickerId()) {
        return FPickerStatus.has_value() && OpenPicker();
    }
    const auto pressed =
        std::find_if(FEntries.begin(), FEntries.end(), [id](const TEntry& entry) { return entry.id == id; });
    if (pressed == FEntries.end()) {
        return false;
    }
    // What the desktop holds for this id is the combination registered at Start, whatever the row's hotkey is now.
    return HandleHotKey(static_cast<std::uint16_t>(pressed->RegisteredModifiers()),
                        static_cast<std::uint16_t>(pressed->registeredKey));
}

bool THotKeys::HandleHotKey(std::uint16_t modifiers, std::uint16_t virtualKey) {
    for (const TEntry& entry : FEntries) {
        if (entry.item && SameHotkey(*entry.item, modifiers, virtualKey)) {
            // A burst of auto-repeats reaches here at once (X11 reports them at the key's release).
            constexpr auto kRepeatGap = std::chrono::milliseconds(150);
            const auto now = std::chrono::steady_clock::now();
            const auto last = FLastPress.find(entry.id);
            const bool repeat = last != FLastPress.end() && now - last->second < kRepeatGap;
            FLastPress[entry.id] = now;
            // A copy: the item may change while the typist works.
            FTypist.TypeText(RequestFor(*entry.item, virtualKey, repeat ? 0 : entry.id));
            return true;
        }
    }
    return false;
}

bool THotKeys::TypeEntryOf(const TStrItem* item) {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [item](const TEntry& entry) { return entry.item && entry.item.get() == item; });
    if (found == FEntries.end()) {
        return false;
    }
    FTypist.TypeText(RequestFor(*found->item, 0, found->id));
    return true;
}

void THotKeys::TypeItem(const TStrItem& item) {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [&item](const TEntry& entry) { return entry.item.get() == &item; });
    FTypist.TypeText(RequestFor(item, 0, found != FEntries.end() ? found->id : 0));
}

bool THotKeys::OpenPicker() {
    if (!FPickerOpened) {
        return false;
    }
    FPickerOpened();
    return true;
}

std::optional<HotkeyStatus> THotKeys::StatusOf(const TStrItem* item) const {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(),
                                    [item](const TEntry& entry) { return entry.item.get() == item; });
    if (found == FEntries.end()) {
        return std::nullopt;
    }
    return found->status;
}

std::optional<THotkeyMark> THotKeys::MarkOf(const TStrItem* item, bool checked) const {
    using Kind = THotkeyMark::Kind;
    if (!FRunning || item == nullptr) {
        return std::nullopt;
    }
    const auto own = std::find_if(FEntries.begin(), FEntries.end(),
                                  [item](const TEntry& entry) { return entry.item.get() == item; });
    if (own == FEntries.end()) {
        return checked ? std::optional(THotkeyMark{Kind::NotRegistered}) : std::nullopt;
    }
    const unsigned modifiers = ModifierFlags(item->FHKCtrl);
    if (modifiers != own->RegisteredModifiers() || item->FHKChar != own->registeredKey) {
        return THotkeyMark{Kind::ChangedSinceStart};
    }
    // A press of a combination in force types the first entry whose item has it now.
    const bool inForce = std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& entry) {
        return entry.status == HotkeyStatus::Registered && entry.RegisteredModifiers() == modifiers &&
               entry.registeredKey == item->FHKChar;
    });
    if (!inForce) {
        return THotkeyMark{Kind::Refused, own->status};
    }
    const auto typed = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& entry) {
        return entry.item && SameHotkey(*entry.item, modifiers, item->FHKChar);
    });
    if (typed != own) {
        return THotkeyMark{Kind::Refused, HotkeyStatus::HeldByEarlierRow};
    }
    return THotkeyMark{Kind::InForce};
}

} // namespace velmora
