#pragma once

#include <string>

namespace velmora {

/// Where system-wide hotkeys come from.
enum class HotkeyBackend {
    X11,    ///< key grabs on the X display (on XWayland they fire only while an X11 window has the focus)
    Portal, ///< the desktop's GlobalShortcuts portal
    Kde,    ///< KDE Plasma's global shortcut service (org.kde.kglobalaccel)
    Gnome,  ///< custom shortcuts of GNOME's own settings, running the row command
    None,   ///< no system-wide hotkeys: only a desktop shortcut bound to the row command types a row
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
    bool kdePlasma = false;              ///< the desktop is KDE Plasma (XDG_CURRENT_DESKTOP names KDE)
    unsigned plasmaVersion = 0;          ///< Plasma's major version (KDE_SESSION_VERSION); 0 when unknown
    bool kdeShortcuts = false;           ///< KDE's global shortcut service (org.kde.kglobalaccel) runs
    bool gnomeShortcuts = false;         ///< GNOME's settings daemon runs custom shortcuts a program may add
    bool remoteDesktopRemembers = false; ///< the RemoteDesktop portal keeps the user's permission (version 2)
    bool inputMethod = false; ///< the desktop passes applications' keys through IBus, which types for Velmora too
    bool remoteDesktopClipboard = false; ///< the RemoteDesktop portal can give its session the clipboard
    bool dataControlClipboard = false;   ///< else the compositor offers its clipboard (zwlr_data_control_manager_v1)
};

/// The backends chosen for a session, and what the user should know about them.
struct TBackendChoice {
    HotkeyBackend hotkeys = HotkeyBackend::X11;
    TypingBackend typing = TypingBackend::X11;
    /// What works and what the user can do, for the main window's status line; empty when everything works as in
    /// an X11 session.
    std::string note;
    /// Whether the note tells the user of the row command already (so that a later note need not).
    bool rowCommandNoted = false;
};

/// Whether the desktop session is a Wayland one: XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set (either
/// value may be null).
bool IsWaylandSession(const char* sessionType, const char* waylandDisplay);

/// Whether XDG_CURRENT_DESKTOP (a colon-separated list; may be null) names KDE.
bool IsKdeDesktop(const char* currentDesktop);

/// Whether XDG_CURRENT_DESKTOP (a colon-separated list; may be null) names GNOME.
bool IsGnomeDesktop(const char* currentDesktop);

/// Plasma's major version from KDE_SESSION_VERSION (may be null); 0 when it is not a number.
unsigned PlasmaVersion(const char* sessionVersion);

/// Picks the hotkey and the typing backend, each on its own: in an X11 session always X11; in a Wayland session the
/// Wayland way where the session offers one, else X11 where a display is there. On KDE Plasma before 6 (whose
/// shortcut portal binds nothing) and where the version is unknown, KDE's own shortcut service goes before the
/// portal; without a portal, GNOME's custom shortcuts go before X11 grabs. `rowCommand` is the command a desktop
/// shortcut runs to type row N (shown in the note where rows are not bound).
TBackendChoice ChooseBackends(const TSessionOffer& offer, const std::string& rowCommand);

} // namespace velmora
