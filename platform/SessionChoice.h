#pragma once

#include <string>

namespace velmora {

/// Where system-wide hotkeys come from.
enum class HotkeyBackend {
    X11,              ///< key grabs on the X display (on XWayland they fire only while an X11 window has the focus)
    Portal,           ///< the desktop's GlobalShortcuts portal
    DesktopShortcuts, ///< custom shortcuts of the desktop's own settings (GNOME), running the row command
    None,             ///< no system-wide hotkeys: only a desktop shortcut bound to the row command types a row
};

/// How texts reach the focused application.
enum class TypingBackend {
    X11,             ///< XTest keys on the X display (on XWayland they reach X11 applications only)
    VirtualKeyboard, ///< the compositor's virtual keyboard, with a keymap made for each text
    RemoteDesktop,   ///< the desktop's RemoteDesktop portal: keysyms through the user's layout (one consent)
    None,            ///< nothing can type
};

/// What the session offers, as found at start-up.
struct TSessionOffer {
    bool wayland = false;                ///< the desktop session is a Wayland one
    bool x11Display = false;             ///< an X display (XWayland in a Wayland session) can be opened
    bool virtualKeyboard = false;        ///< the compositor offers zwp_virtual_keyboard_manager_v1
    bool shortcutsPortal = false;        ///< the org.freedesktop.portal.GlobalShortcuts portal is offered
    bool remoteDesktopPortal = false;    ///< the org.freedesktop.portal.RemoteDesktop portal offers a keyboard
    bool desktopShortcuts = false;       ///< the desktop runs custom shortcuts a program may add (GNOME's settings)
    bool remoteDesktopRemembers = false; ///< the RemoteDesktop portal keeps the user's permission (version 2)
    bool inputMethod = false; ///< the desktop passes applications' keys through IBus, which types for Velmora too
};

/// The backends chosen for a session, and what the user should know about them.
struct TBackendChoice {
    HotkeyBackend hotkeys = HotkeyBackend::X11;
    TypingBackend typing = TypingBackend::X11;
    /// What works and what the user can do, for the main window's status line; empty when everything works as in
    /// an X11 session.
    std::string note;
};

/// Whether the desktop session is a Wayland one: XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set (either
/// value may be null).
bool IsWaylandSession(const char* sessionType, const char* waylandDisplay);

/// Whether the desktop is GNOME: XDG_CURRENT_DESKTOP (a colon-separated list; may be null) names it.
bool IsGnome(const char* currentDesktop);

/// Picks the hotkey and the typing backend, each on its own: in an X11 session always X11; in a Wayland session the
/// Wayland way where the session offers one (for hotkeys the shortcut portal, else the desktop's custom
/// shortcuts), else X11 where a display is there. `rowCommand` is the command a desktop shortcut runs to type row N
/// (shown in the note wherever the rows are not bound).
TBackendChoice ChooseBackends(const TSessionOffer& offer, const std::string& rowCommand);

} // namespace velmora
