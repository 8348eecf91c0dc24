#include "LeftoverShortcuts.h"

#include "RowCommand.h"

#include "platform/gnome/GSettingsShortcuts.h"
#include "platform/gnome/GnomeHotkeyService.h"
#include "platform/gnome/GnomeLeftovers.h"
#include "platform/kde/KdeLeftovers.h"

#include <QDBusConnection>

namespace velmora {

void RemoveLeftoverShortcuts(const std::string& appId, const std::string& ownTag) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        return;
    }
    // This copy holds its list's lock: what carries its own tag, a killed copy of the same list left.
    const auto runs = [&ownTag](const std::string& tag) { return tag != ownTag && CopyRuns(tag); };
    RemoveKdeLeftovers(appId, runs);
    if (TGSettingsShortcuts::Installed()) {
        TGSettingsShortcuts shortcuts;
        RemoveGnomeLeftovers(shortcuts, runs, &IsRunningCopy);
    }
}

} // namespace velmora
