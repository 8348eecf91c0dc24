#include "HotkeyNote.h"

#include "core/KeyNames.h"

#include <map>
#include <optional>

namespace velmora {

namespace {

/// How many refused rows the note names before it only counts the others.
constexpr std::size_t kNamedRows = 4;

std::string Reason(HotkeyStatus status, const std::string& said) {
    switch (status) {
    case HotkeyStatus::HeldElsewhere:
        return said.empty() ? "another program holds it" : said;
    case HotkeyStatus::UnknownKey:
        return said.empty() ? "no key of this keyboard gives it" : said;
    case HotkeyStatus::NotBound:
        return said.empty() ? "the desktop did not bind it" : said;
    default:
        return {}; // in force, or refused for a reason the list or the session note shows
    }
}

} // namespace

std::string HotkeyNote(const std::vector<THotKeys::TEntry>& entries, const std::string& rowCommand, bool hintShown) {
    std::map<std::size_t, std::string> named; // by row number, top to bottom
    std::size_t waiting = 0;
    for (const THotKeys::TEntry& entry : entries) {
        waiting += entry.status == HotkeyStatus::Pending ? 1 : 0;
        if (const std::string reason = Reason(entry.status, entry.reason); !reason.empty()) {
            named[entry.rowNumber] = "row " + std::to_string(entry.rowNumber) + " (" +
                                     HotkeyLabel(entry.registeredIndex, entry.registeredKey) + ": " + reason + ")";
        }
    }
    std::string note;
    if (waiting > 0) {
        note = "Waiting for the desktop to bind " + std::to_string(waiting) + (waiting == 1 ? " hotkey" : " hotkeys") +
               " (it may be asking you).";
    }
    if (named.empty()) {
        return note;
    }
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
    if (!hintShown) {
        note += " To type such a row, bind a desktop shortcut to \"" + rowCommand + " N\" (N: the row's No.).";
    }
    return note;
}

std::string PickerNote(const THotKeys& hotkeys, const std::string& pickCommand) {
    const std::optional<THotkeyResult> picker = hotkeys.PickerStatus();
    if (!picker || picker->status == HotkeyStatus::Registered || picker->status == HotkeyStatus::Pending) {
        return {};
    }
    std::string reason = Reason(picker->status, picker->reason);
    if (picker->status == HotkeyStatus::HeldByEarlierRow) {
        reason = "a row has the same hotkey";
    }
    return "The picker's hotkey is not in force" + (reason.empty() ? std::string() : " (" + reason + ")") +
           "; choose another in the settings, or bind a desktop shortcut to \"" + pickCommand + "\".";
}

} // namespace velmora
