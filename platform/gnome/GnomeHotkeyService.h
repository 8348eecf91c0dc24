#pragma once

#include "CustomShortcuts.h"
#include "GnomeAccelerator.h"
#include "platform/HotkeyService.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

/// System-wide hotkeys as the desktop's own custom keyboard shortcuts (GNOME before the GlobalShortcuts portal):
/// Start adds one shortcut per registered row ("Velmora row N", shown in GNOME Settings), which runs the hotkey
/// command for the row's registration; Stop and the end of the program remove them. Each Start and each Stop changes
/// the settings in one step. The shortcuts are named after this copy's tag: those of other copies are never touched
/// here (RemoveGnomeLeftovers removes those of copies that no longer run). A combination another shortcut of the
/// desktop uses (another copy's too) is held elsewhere; a bare letter or digit is not bound (the keys Velmora types
/// would set it off). Presses come through the hotkey command ("velmora --hotkey ID"), not through the press
/// handler. Runs on the GUI thread.
class TGnomeHotkeyService final : public IHotkeyService {
public:
    /// Whether the desktop runs custom shortcuts: the settings' schemas are installed and gnome-settings-daemon's
    /// media-keys plugin is on the session bus (needs the Qt application object).
    static bool Offered();

    /// `executable`: the program the shortcuts run with the hotkey option and the registration's id; `copyTag`:
    /// this copy's (CopyTag of its list folder). Removes what an earlier copy of the same list left.
    TGnomeHotkeyService(std::unique_ptr<ICustomShortcuts> shortcuts, std::string executable, std::string copyTag);
    /// Removes this copy's shortcuts.
    ~TGnomeHotkeyService() override;

    THotkeyResult RegisterHotKey(const THotkeyRequest& request) override;
    void UnregisterHotKey(int id) override;
    void SetPressHandler(HotkeyPressHandler) override {}
    std::map<int, THotkeyResult> FinishRegistrations() override;
    void FinishUnregistrations() override;

private:
    struct TRow {
        std::size_t number = 0;
        std::string label;
        std::string accelerator;
        bool written = false;
    };
    /// The settings path of a row's shortcut.
    std::string PathOf(const TRow& row) const;
    /// Takes these paths out of the list of shortcuts in force and erases their values.
    void Remove(const std::vector<std::string>& paths);
    /// Whether another shortcut of the desktop uses the accelerator; the desktop's are read once per Start.
    bool Taken(const std::string& accelerator);

    std::unique_ptr<ICustomShortcuts> FShortcuts;
    const std::string FExecutable;
    const std::string FTag;
    std::map<int, TRow> FRows;
    std::vector<std::string> FReleased; ///< the paths of rows released since the last FinishUnregistrations
    std::optional<std::vector<std::optional<TAccelerator>>> FTaken; ///< the others' accelerators during a Start
};

/// Whether `pid` is a running process whose executable file has the same name as this process's (also when either
/// file was replaced by an upgrade since it started).
bool IsRunningCopy(int pid);

} // namespace velmora
