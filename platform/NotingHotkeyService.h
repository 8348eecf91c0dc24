#pragma once

#include "HotkeyService.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace velmora {

/// Passes every call on to another hotkey service and, at the end of each Start, tells what the user should know
/// of it: the rows whose hotkeys are not in force, why, and the command a desktop shortcut can run instead; again
/// when the rows the desktop decides later have settled.
class TNotingHotkeyService final : public IHotkeyService {
public:
    /// Hears the note after each Start and each settling; empty when every row's hotkey is in force.
    using NoteHandler = std::function<void(const std::string& note)>;

    /// `rowCommand`: the command that types row N, without N; `hintShown`: whether the user is told of it already.
    TNotingHotkeyService(IHotkeyService& inner, std::string rowCommand, bool hintShown, NoteHandler handler);

    HotkeyStatus RegisterHotKey(int id, unsigned modifiers, std::int32_t virtualKey) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler handler) override;
    void DescribeHotKey(int id, std::size_t rowNumber, const std::string& text) override;
    std::map<int, HotkeyStatus> FinishRegistrations() override;
    void SetSettledHandler(HotkeySettledHandler handler) override;
    std::string RefusalReason(int id) const override;

private:
    struct TRow {
        std::size_t number = 0;
        unsigned modifiers = 0;
        std::int32_t virtualKey = 0;
        HotkeyStatus status = HotkeyStatus::Registered;
    };

    /// Gives the rows whose status is `from` their new status.
    void Apply(const std::map<int, HotkeyStatus>& statuses, HotkeyStatus from);
    /// Tells the handler what the user should know of the rows now.
    void Note() const;

    IHotkeyService& FInner;
    const std::string FRowCommand;
    const bool FHintShown;
    NoteHandler FHandler;
    std::map<int, std::size_t> FNumbers;
    std::map<int, TRow> FRows; ///< the registrations of the Start under way, by id
};

} // namespace velmora
