#pragma once

#include "CustomShortcuts.h"

#include <memory>

namespace velmora {

/// The custom shortcuts in the user's GSettings (dconf): the list in org.gnome.settings-daemon.plugins.media-keys,
/// each shortcut under its own path of the relocatable schema ...media-keys.custom-keybinding.
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
    void Flush() override;

private:
    struct TSettingsUnref {
        void operator()(void* settings) const;
    };
    std::unique_ptr<void, TSettingsUnref> FMediaKeys; ///< a GSettings*
};

} // namespace velmora
