#pragma once

#include "platform/HotkeyService.h"
#include "platform/Platform.h"
#include "platform/SessionChoice.h"
#include "platform/Typist.h"

#include <memory>
#include <string>

namespace velmora {

class TKGlobalAccelHotkeyService;
class TPortalHotkeyService;
class TRemoteDesktopTypist;
class TVirtualKeyboardTypist;

/// The hotkey service and the typist of this desktop session, chosen at start-up: in an X11 session the X11
/// backend as always; in a Wayland session the Wayland ways the desktop offers, each service on its own, and X11
/// (XWayland) for what it does not offer.
class TSessionBackends {
public:
    /// Looks at the session and opens the chosen backends. `rowCommand` is the command a desktop shortcut runs to
    /// type row N, for the note. Throws PlatformError in an X11 session whose display cannot be opened.
    explicit TSessionBackends(const std::string& rowCommand);
    /// Once the Qt application object exists: in a Wayland session, takes the hotkeys from KDE Plasma's shortcut
    /// service or the desktop's GlobalShortcuts portal when it offers them, and the typing from its RemoteDesktop
    /// portal when there is no virtual keyboard. `appId` is the desktop file id (and the shortcuts' component).
    void OpenDesktopPortal(const std::string& appId);
    ~TSessionBackends();
    TSessionBackends(const TSessionBackends&) = delete;
    TSessionBackends& operator=(const TSessionBackends&) = delete;

    IHotkeyService& Hotkeys() { return *FHotkeys; }
    ITypist& Typist() { return *FTypist; }
    /// The connection whose events bring hotkey presses; none when presses come through Qt's own event loop.
    IEventSource* Events() { return FEvents; }
    /// What was chosen, and the note for the user.
    const TBackendChoice& Choice() const { return FChoice; }

private:
    /// Sets the services from FOffer.
    void Choose();

    std::string FRowCommand;
    TSessionOffer FOffer;
    std::unique_ptr<IPlatform> FX11;
    std::unique_ptr<TVirtualKeyboardTypist> FVirtualTypist;
    std::unique_ptr<IHotkeyService> FOwnHotkeys;
    std::unique_ptr<TPortalHotkeyService> FPortalHotkeys;
    std::unique_ptr<TKGlobalAccelHotkeyService> FKdeHotkeys;
    std::unique_ptr<TRemoteDesktopTypist> FRemoteTypist;
    std::unique_ptr<ITypist> FOwnTypist;
    IHotkeyService* FHotkeys = nullptr;
    ITypist* FTypist = nullptr;
    IEventSource* FEvents = nullptr;
    TBackendChoice FChoice;
};

} // namespace velmora
