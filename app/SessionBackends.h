#pragma once

#include "platform/EventSource.h"
#include "platform/HotkeyService.h"
#include "platform/SessionChoice.h"
#include "platform/TextSender.h"
#include "platform/TypingQueue.h"
#include "platform/WindowFocus.h"

#include <memory>
#include <string>

namespace velmora {

class IX11Hotkeys;
class TWaylandKeyboard;

/// The hotkey service and the typist of this desktop session: in an X11 session the X11 backend as always; in a
/// Wayland session the Wayland ways the desktop offers, each service on its own, and X11 (XWayland) for what it
/// does not offer. Only the chosen ones are built.
class TSessionBackends {
public:
    /// Looks at the session, before the Qt application object exists (in a Wayland session with XWayland it puts
    /// the window on XWayland). `rowCommand` is the command a desktop shortcut runs to type row N, for the note.
    /// Throws PlatformError outside any graphical session and in an X11 session whose display cannot be opened.
    explicit TSessionBackends(const std::string& rowCommand);
    ~TSessionBackends();
    TSessionBackends(const TSessionBackends&) = delete;
    TSessionBackends& operator=(const TSessionBackends&) = delete;

    /// Once the Qt application object exists: in a Wayland session, tells the desktop portal the app id (the desktop
    /// file id) and asks which portals (and, on KDE Plasma, its own shortcut service) are offered; then builds the
    /// chosen services, those that leave shortcuts with the desktop naming them after `copyTag` (the list folder's
    /// CopyTag). Throws PlatformError when a chosen service cannot be opened after all.
    void Open(const std::string& appId, const std::string& copyTag);

    /// After Open.
    IHotkeyService& Hotkeys() { return *FHotkeys; }
    /// After Open.
    TTypingQueue& Typist() { return *FTypist; }
    /// The connection whose events bring hotkey presses; none when presses come through Qt's own event loop.
    IEventSource* Events();
    /// After Open: where the picker's text goes back to (the X11 focus in an X11 session; a Wayland compositor gives
    /// it back by itself).
    IWindowFocus& Focus() { return *FFocus; }
    /// What was chosen, and the note for the user.
    const TBackendChoice& Choice() const { return FChoice; }

private:
    /// Asks the session bus which portals and desktop services are offered.
    void ReadWaylandOffer(const std::string& appId);
    /// Builds the chosen hotkey service.
    void MakeHotkeys(const std::string& appId, const std::string& copyTag);
    /// Builds the chosen way to type.
    std::unique_ptr<ITextSender> MakeSender();
    /// Builds the RemoteDesktop portal's typist for the user's layout.
    std::unique_ptr<ITextSender> MakeRemoteDesktopSender() const;

    std::string FRowCommand;
    std::string FTypingRoute; ///< VELMORA_TYPING: a way to type asked for, in a Wayland session
    TSessionOffer FOffer;
    TBackendChoice FChoice;
    std::unique_ptr<TWaylandKeyboard> FWaylandKeyboard; ///< the compositor's virtual keyboard, when it offers one
    std::unique_ptr<IX11Hotkeys> FX11Hotkeys;
    std::unique_ptr<IHotkeyService> FOtherHotkeys;
    std::unique_ptr<IWindowFocus> FFocus;
    IHotkeyService* FHotkeys = nullptr;
    std::unique_ptr<TTypingQueue> FTypist; // last: it may call the hotkeys' listener until it has ended
};

} // namespace velmora
