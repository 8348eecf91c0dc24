#include "GnomeHotkeyService.h"

#include "GSettingsShortcuts.h"
#include "GnomeAccelerator.h"
#include "core/KeyNames.h"
#include "core/ProcessExecutable.h"
#include "platform/ShortcutNames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kCustomFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
constexpr const char* kMediaKeysService = "org.gnome.SettingsDaemon.MediaKeys";

bool BareTypedKey(unsigned modifiers, std::int32_t virtualKey) {
    return (modifiers & (kModControl | kModAlt)) == 0 && !IsFunctionKey(virtualKey);
}

std::string ExecutableName(int pid) {
    return std::filesystem::path(ProcessExecutable(pid)).filename().string();
}

} // namespace

bool IsRunningCopy(int pid) {
    const std::string name = ExecutableName(pid);
    return !name.empty() && name == ExecutableName(0);
}

bool TGnomeHotkeyService::Offered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(kMediaKeysService)).value() &&
           TGSettingsShortcuts::Installed();
}

TGnomeHotkeyService::TGnomeHotkeyService(std::unique_ptr<ICustomShortcuts> shortcuts, std::string executable,
                                         std::string copyTag)
    : FShortcuts(std::move(shortcuts)), FExecutable(std::move(executable)), FTag(std::move(copyTag)) {
    // This copy holds the list's lock: what it finds of its own tag, a copy of the same list left when killed.
    std::vector<std::string> leftovers;
    for (const std::string& path : FShortcuts->Paths()) {
        if (ShortcutOwner(path) == FTag) {
            leftovers.push_back(path);
        }
    }
    Remove(leftovers);
}

TGnomeHotkeyService::~TGnomeHotkeyService() {
    for (const auto& [id, row] : FRows) {
        if (row.written) {
            FReleased.push_back(PathOf(row));
        }
    }
    FinishUnregistrations();
}

std::string TGnomeHotkeyService::PathOf(const TRow& row) const {
    return kCustomFolder + ShortcutName(FTag, row.number) + "/";
}

THotkeyResult TGnomeHotkeyService::RegisterHotKey(const THotkeyRequest& request) {
    const std::optional<std::string> accelerator = GnomeAccelerator(request.modifiers, request.virtualKey);
    FRows.erase(request.id);
    if (!accelerator) {
        return {HotkeyStatus::UnknownKey, {}};
    }
    if (BareTypedKey(request.modifiers, request.virtualKey)) {
        std::cerr << "velmora: " << request.label << ": " << *accelerator
                  << " is not bound: the keys Velmora types would set it off" << std::endl;
        return {HotkeyStatus::CaughtByTyping, {}};
    }
    if (Taken(*accelerator)) {
        std::cerr << "velmora: " << request.label << ": another shortcut of the desktop has " << *accelerator
                  << std::endl;
        return {HotkeyStatus::HeldElsewhere, {}};
    }
    FRows[request.id] = TRow{request.rowNumber, request.label, *accelerator, false};
    return {};
}

bool TGnomeHotkeyService::Taken(const std::string& accelerator) {
    if (!FTaken) {
        std::vector<std::string> used = FShortcuts->DesktopAccelerators();
        for (const std::string& path : FShortcuts->Paths()) {
            if (ShortcutOwner(path) != FTag) {
                used.push_back(FShortcuts->Binding(path));
            }
        }
        FTaken.emplace();
        std::transform(used.begin(), used.end(), std::back_inserter(*FTaken),
                       [](const std::string& other) { return ParseAccelerator(other); });
    }
    return std::find(FTaken->begin(), FTaken->end(), ParseAccelerator(accelerator)) != FTaken->end();
}

std::map<int, THotkeyResult> TGnomeHotkeyService::FinishRegistrations() {
    FTaken.reset(); // the next Start reads them anew
    std::vector<std::string> paths = FShortcuts->Paths();
    std::map<std::string, int> written;
    for (auto& [id, row] : FRows) {
        if (row.accelerator.empty() || row.written) {
            continue;
        }
        const std::string path = PathOf(row);
        const std::string command =
            row.number == kPickerRow ? PickCommand(FExecutable) : HotkeyCommand(FExecutable, id);
        FShortcuts->Write(path, {row.label, command, row.accelerator});
        row.written = true;
        written[path] = id;
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(path);
        }
    }
    if (written.empty()) {
        return {};
    }
    FShortcuts->SetPaths(paths);
    // A shortcut the settings did not keep is no hotkey: it is taken out again, and its row says why.
    std::map<int, THotkeyResult> refused;
    std::vector<std::string> failed;
    for (const auto& [path, why] : FShortcuts->Flush()) {
        if (const auto id = written.find(path); id != written.end()) {
            std::cerr << "velmora: " << FRows[id->second].label << ": " << why << std::endl;
            refused[id->second] = {HotkeyStatus::NotBound, why};
            FRows[id->second].written = false;
            failed.push_back(path);
        }
    }
    Remove(failed);
    return refused;
}

void TGnomeHotkeyService::UnregisterHotKey(int id) {
    const auto row = FRows.find(id);
    if (row == FRows.end()) {
        return;
    }
    if (row->second.written) {
        FReleased.push_back(PathOf(row->second));
    }
    FRows.erase(row);
}

void TGnomeHotkeyService::FinishUnregistrations() {
    Remove(std::exchange(FReleased, {}));
}

void TGnomeHotkeyService::Remove(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    std::vector<std::string> kept = FShortcuts->Paths();
    kept.erase(std::remove_if(
                   kept.begin(), kept.end(),
                   [&](const std::string& path) { return std::find(paths.begin(), paths.end(), path) != paths.end(); }),
               kept.end());
    FShortcuts->SetPaths(kept);
    for (const std::string& path : paths) {
        FShortcuts->Erase(path);
    }
    FShortcuts->Flush();
}

} // namespace velmora
