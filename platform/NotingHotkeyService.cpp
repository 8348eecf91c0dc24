#include "NotingHotkeyService.h"

#include "core/KeyNames.h"

#include <utility>
#include <vector>

namespace velmora {

namespace {

/// How many refused rows the note names before it only counts the others.
constexpr std::size_t kNamedRows = 4;

std::string Label(unsigned modifiers, std::int32_t virtualKey) {
    const std::uint8_t index = (modifiers & kModControl) != 0 ? 1
                               : (modifiers & kModAlt) != 0   ? 2
                               : (modifiers & kModShift) != 0 ? 3
                                                              : 0;
    return HotkeyLabel(index, virtualKey);
}

std::string Reason(HotkeyStatus status) {
    switch (status) {
    case HotkeyStatus::HeldElsewhere:
        return "another program holds it";
    case HotkeyStatus::UnknownKey:
        return "no key of this keyboard gives it";
    case HotkeyStatus::NotBound:
        return "the desktop did not bind it";
    default:
        return {};
    }
}

} // namespace

TNotingHotkeyService::TNotingHotkeyService(IHotkeyService& inner, std::string rowCommand, bool hintShown,
                                           NoteHandler handler)
    : FInner(inner), FRowCommand(std::move(rowCommand)), FHintShown(hintShown), FHandler(std::move(handler)) {}

HotkeyStatus TNotingHotkeyService::RegisterHotKey(int id, unsigned modifiers, std::int32_t virtualKey) {
    const HotkeyStatus status = FInner.RegisterHotKey(id, modifiers, virtualKey);
    const auto number = FNumbers.find(id);
    FRows[id] = {number != FNumbers.end() ? number->second : std::size_t(0), modifiers, virtualKey, status};
    return status;
}

void TNotingHotkeyService::UnregisterHotKey(int id) {
    FRows.erase(id);
    FInner.UnregisterHotKey(id);
}

void TNotingHotkeyService::SetPressHandler(HotkeyPressHandler handler) {
    FInner.SetPressHandler(std::move(handler));
}

void TNotingHotkeyService::DescribeHotKey(int id, std::size_t rowNumber, const std::string& text) {
    FNumbers[id] = rowNumber;
    FInner.DescribeHotKey(id, rowNumber, text);
}

std::string TNotingHotkeyService::RefusalReason(int id) const {
    return FInner.RefusalReason(id);
}

std::map<int, HotkeyStatus> TNotingHotkeyService::FinishRegistrations() {
    std::map<int, HotkeyStatus> refused = FInner.FinishRegistrations();
    Apply(refused, HotkeyStatus::Registered);
    FNumbers.clear();
    Note();
    return refused;
}

void TNotingHotkeyService::SetSettledHandler(HotkeySettledHandler handler) {
    if (!handler) {
        FInner.SetSettledHandler(nullptr);
        return;
    }
    FInner.SetSettledHandler([this, handler = std::move(handler)](const std::map<int, HotkeyStatus>& settled) {
        Apply(settled, HotkeyStatus::Pending);
        Note();
        handler(settled);
    });
}

void TNotingHotkeyService::Apply(const std::map<int, HotkeyStatus>& statuses, HotkeyStatus from) {
    for (const auto& [id, status] : statuses) {
        if (const auto row = FRows.find(id); row != FRows.end() && row->second.status == from) {
            row->second.status = status;
        }
    }
}

void TNotingHotkeyService::Note() const {
    std::map<std::size_t, std::string> named; // by row number, top to bottom
    std::size_t waiting = 0;
    for (const auto& [id, row] : FRows) {
        waiting += row.status == HotkeyStatus::Pending ? 1 : 0;
        std::string reason = Reason(row.status);
        if (reason.empty()) {
            continue; // in force, or refused for a reason the list or the session note shows
        }
        if (const std::string own = FInner.RefusalReason(id); !own.empty()) {
            reason = own;
        }
        named[row.number] =
            "row " + std::to_string(row.number) + " (" + Label(row.modifiers, row.virtualKey) + ": " + reason + ")";
    }
    std::string note;
    if (waiting > 0) {
        note = "Waiting for the desktop to bind " + std::to_string(waiting) + (waiting == 1 ? " hotkey" : " hotkeys") +
               " (it may be asking you).";
    }
    if (!named.empty()) {
        note += note.empty() ? "Not in force: " : " Not in force: ";
        std::size_t shown = 0;
        for (const auto& [number, text] : named) {
            if (shown == kNamedRows) {
                note += "; and " + std::to_string(named.size() - shown) + " more";
                break;
            }
            note += (shown++ > 0 ? "; " : "") + text;
        }
        note += ".";
        if (!FHintShown) {
            note += " To type such a row, bind a desktop shortcut to \"" + FRowCommand + " N\" (N: the row's No.).";
        }
    }
    if (FHandler) {
        FHandler(note);
    }
}

} // namespace velmora
