#pragma once

#include <string>

namespace velmora {

/// Wherever the session bus reaches them (GNOME's settings, KDE's shortcut service), whichever way this copy binds
/// its own hotkeys: removes the shortcuts that copies which no longer run left with the desktop. A copy runs while
/// it listens on the row socket of its list; what carries `ownTag`, this copy's, is removed too (it holds the lock).
/// Needs the Qt application object.
void RemoveLeftoverShortcuts(const std::string& appId, const std::string& ownTag);

} // namespace velmora
