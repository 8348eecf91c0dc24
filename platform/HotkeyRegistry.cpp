#include "HotkeyRegistry.h"

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
    FService.SetPressHandler(
        [this](std::uint16_t modifiers, std::uint16_t virtualKey) { HandleHotKey(modifiers, virtualKey); });
    FService.SetSettledHandler([this](const std::map<int, HotkeyStatus>& settled) { Settle(settled); });
}

THotKeys::~THotKeys() {
    FService.SetPressHandler(nullptr);
    FService.SetSettledHandler(nullptr);
    UnregisterHotKeys();
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
        const unsigned modifiers = entry.item ? ModifierFlags(entry.item->FHKCtrl) : 0;
        const std::int32_t key = entry.item ? entry.item->FHKChar : 0;
        // The values at Start decide the registration; an upper row in force with the same combination keeps it.
        const bool heldAbove = std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& earlier) {
            return earlier.status == HotkeyStatus::Registered && earlier.registeredModifiers == modifiers &&
                   earlier.registeredKey == key;
        });
        entry.registeredModifiers = modifiers;
        entry.registeredKey = key;
        if (!heldAbove && entry.item) {
            FService.DescribeHotKey(entry.id, *position + 1, entry.item->FStr);
        }
        entry.status = heldAbove ? HotkeyStatus::HeldByEarlierRow : FService.RegisterHotKey(entry.id, modifiers, key);
        FEntries.push_back(std::move(entry));
    }
    for (const auto& [id, status] : FService.FinishRegistrations()) {
        for (TEntry& entry : FEntries) {
            if (entry.id == id && entry.status == HotkeyStatus::Registered) {
                entry.status = status;
            }
        }
    }
    FRunning = true;
}

void THotKeys::Settle(const std::map<int, HotkeyStatus>& settled) {
    bool changed = false;
    for (TEntry& entry : FEntries) {
        const auto found = settled.find(entry.id);
        if (found != settled.end() && entry.status == HotkeyStatus::Pending) {
            entry.status = found->second;
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
    FEntries.clear();
}

void THotKeys::HandleHotKey(std::uint16_t modifiers, std::uint16_t virtualKey) {
    for (const TEntry& entry : FEntries) {
        if (entry.item && SameHotkey(*entry.item, modifiers, virtualKey)) {
            // Copy first: the typist may be handed control of the text while the item changes.
            const std::string text = entry.item->FStr;
            FTypist.TypeText(text, virtualKey);
            return;
        }
    }
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
    if (modifiers != own->registeredModifiers || item->FHKChar != own->registeredKey) {
        return THotkeyMark{Kind::ChangedSinceStart};
    }
    // A press of a combination in force types the first entry whose item has it now.
    const bool inForce = std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& entry) {
        return entry.status == HotkeyStatus::Registered && entry.registeredModifiers == modifiers &&
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
