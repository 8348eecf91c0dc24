#pragma once

#include "CustomShortcuts.h"

#include <map>
#include <memory>
#include <string>

namespace velmora {

/// The custom shortcuts in the user's GSettings (dconf): the list in org.gnome.settings-daemon.plugins.media-keys,
/// each shortcut under its own path of the relocatable schema ...media-keys.custom-keybinding. Every object is in
/// delayed-apply mode: a shortcut's three values and the list each change in one step at Flush.
class TGSettingsShortcuts final : public ICustomShortcuts {
public:
    /// Whether the schemas are installed.
    static bool Installed();
    /// Needs Installed().
    TGSettingsShortcuts();
    ~TGSettingsShortcuts() override;
    TGSettingsShortcuts(const TGSettingsShortcuts&) = delete;
    TGSettingsShortcuts& operator=(const TGSettingsShortcuts&) = delete;

    std::vector<std::string> Paths() override;
    void SetPaths(const std::vector<std::string>& paths) override;
    void Write(const std::string& path, const TCustomShortcut& shortcut) override;
    void Erase(const std::string& path) override;
    std::string Binding(const std::string& path) override;
    std::vector<std::string> DesktopAccelerators() override;
    std::map<std::string, std::string> Flush() override;

private:
    struct TSettingsUnref {
        void operator()(void* settings) const;
    };
    using TSettings = std::unique_ptr<void, TSettingsUnref>; ///< a GSettings*
    /// The delayed object of one shortcut's path, made on first use until Flush.
    void* Pending(const std::string& path);

    TSettings FMediaKeys;
    std::map<std::string, TSettings> FPending;       ///< the shortcuts changed since the last Flush
    std::map<std::string, TCustomShortcut> FWritten; ///< what was written to them
    std::map<std::string, std::string> FRefused;     ///< writes the settings refused at once, and why
};

} // namespace velmora
