#pragma once

#include <map>
#include <string>
#include <vector>

namespace velmora {

/// One custom keyboard shortcut of the desktop: what the user sees, the command it runs, its accelerator.
struct TCustomShortcut {
    std::string name;
    std::string command;
    std::string binding;
};

/// GNOME's custom keyboard shortcuts (the media-keys plugin of gnome-settings-daemon runs them) and the
/// accelerators of the desktop's other shortcuts. Paths are settings paths ending in "/". Changes are held until
/// Flush, which hands them to the desktop at once; Paths() sees those held.
class ICustomShortcuts {
public:
    virtual ~ICustomShortcuts() = default;
    /// The paths of the custom shortcuts in force, in order.
    virtual std::vector<std::string> Paths() = 0;
    /// Sets which custom shortcuts are in force.
    virtual void SetPaths(const std::vector<std::string>& paths) = 0;
    /// Writes one custom shortcut's values.
    virtual void Write(const std::string& path, const TCustomShortcut& shortcut) = 0;
    /// Removes one custom shortcut's values.
    virtual void Erase(const std::string& path) = 0;
    /// The accelerator of one custom shortcut; empty when it has none.
    virtual std::string Binding(const std::string& path) = 0;
    /// The accelerators of the desktop's own shortcuts (window manager, shell, media keys).
    virtual std::vector<std::string> DesktopAccelerators() = 0;
    /// Makes the changes held reach the desktop before it returns. Returns the written shortcuts the settings did not
    /// keep (path -> why, in words for the user).
    virtual std::map<std::string, std::string> Flush() = 0;
};

} // namespace velmora
