#include "SessionBackends.h"

#include "PressMoment.h"
#include "RowCommand.h"

#include "platform/NoHotkeyService.h"
#include "platform/NoTextSender.h"
#include "platform/PlatformError.h"
#include "platform/gnome/GSettingsShortcuts.h"
#include "platform/gnome/GnomeHotkeyService.h"
#include "platform/ibus/IbusAddress.h"
#include "platform/kde/KGlobalAccelHotkeyService.h"
#include "platform/kde/KdeLeftovers.h"
#include "platform/portal/PortalClipboard.h"
#include "platform/portal/PortalHotkeyService.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/RemoteDesktopSender.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandLayout.h"
#include "platform/x11/X11Services.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <utility>

namespace velmora {

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

/// Where the desktop's permission to type (its restore token) is kept between runs: the user's state folder.
std::string RemoteDesktopTokenFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && *state == '/') {
        return std::string(state) + "/velmora/remote-desktop-token";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && *home == '/' ? std::string(home) + "/.local/state/velmora/remote-desktop-token"
                                           : std::string();
}

/// The compositor's data-control clipboard; none, said on standard error, where it offers none.
std::unique_ptr<IPasteClipboard> DataControlClipboard() {
    try {
        return std::make_unique<TDataControlClipboard>();
    } catch (const PlatformError& error) {
        std::cerr << "velmora: no clipboard to paste through: " << error.what() << std::endl;
        return nullptr;
    }
}

/// The keys that paste: VELMORA_PASTE_KEYS (ctrl-v, shift-insert or ctrl-shift-v; for terminals, which take Ctrl+V
/// as "insert the next key literally"), by default Ctrl+V.
PasteChord PasteKeys() {
    const char* name = std::getenv("VELMORA_PASTE_KEYS");
    return PasteChordNamed(name != nullptr ? name : "").value_or(PasteChord::CtrlV);
}

} // namespace

TSessionBackends::TSessionBackends(const std::string& rowCommand) : FRowCommand(rowCommand) {
    FOffer.wayland = IsWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
    if (!FOffer.wayland) {
        if (!IsSet("DISPLAY")) {
            throw PlatformError("no X display: DISPLAY is not set; start Velmora inside an X11 session (or XWayland).");
        }
        ProbeX11Display(); // says what is wrong with the display
        FOffer.x11Display = true;
        return;
    }
    // The window stays on XWayland where there is one; the hotkeys and the typing take the Wayland ways the desktop
    // offers.
    if (IsSet("DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    if (IsSet("DISPLAY")) {
        try {
            ProbeX11Display();
            FOffer.x11Display = true;
        } catch (const PlatformError& error) {
            std::cerr << "velmora: no X11 backend in this Wayland session: " << error.what() << std::endl;
        }
    }
    // VELMORA_TYPING=remote-desktop or x11 passes over the ways to type that come before it.
    const char* route = std::getenv("VELMORA_TYPING");
    FTypingRoute = route != nullptr ? route : "";
    if (FTypingRoute == "remote-desktop" || FTypingRoute == "x11") {
        return;
    }
    try {
        FWaylandKeyboard = std::make_unique<TWaylandKeyboard>();
        FOffer.virtualKeyboard = true;
    } catch (const PlatformError& error) {
        std::cerr << "velmora: " << error.what() << std::endl;
    }
}

TSessionBackends::~TSessionBackends() = default;

void TSessionBackends::Open(const std::string& appId, const std::string& copyTag) {
    if (FOffer.wayland) {
        ReadWaylandOffer(appId);
    }
    FChoice = ChooseBackends(FOffer, FRowCommand);
    MakeHotkeys(appId, copyTag);
    if (FOffer.wayland) {
        FFocus = std::make_unique<TDesktopGivesFocusBack>();
    } else {
        FFocus = MakeX11WindowFocus();
    }
    std::unique_ptr<ITextSender> sender = MakeSender();
    FWaylandKeyboard.reset();
    // The program's X11 grabs keep out of the way of the keys it types, whichever way they go.
    FTypist = std::make_unique<TTypingQueue>(std::move(sender), FX11Hotkeys.get());
    FTypist->SetMomentResolver(PressMomentResolver(FOffer.wayland));
}

void TSessionBackends::ReadWaylandOffer(const std::string& appId) {
    RegisterPortalApp(QDBusConnection::sessionBus(), QString::fromStdString(appId));
    FOffer.shortcutsPortal = TPortalHotkeyService::Offered();
    FOffer.kdePlasma = IsKdeDesktop(std::getenv("XDG_CURRENT_DESKTOP"));
    FOffer.plasmaVersion = PlasmaVersion(std::getenv("KDE_SESSION_VERSION"));
    FOffer.kdeShortcuts = FOffer.kdePlasma && TKGlobalAccelHotkeyService::Offered();
    FOffer.gnomeShortcuts = !FOffer.shortcutsPortal && TGnomeHotkeyService::Offered();
    FOffer.remoteDesktopPortal = !FOffer.virtualKeyboard && FTypingRoute != "x11" && TRemoteDesktopSender::Offered();
    FOffer.remoteDesktopRemembers = FOffer.remoteDesktopPortal && TRemoteDesktopSender::KeepsPermission();
    FOffer.remoteDesktopClipboard =
        FOffer.remoteDesktopPortal && TPortalClipboard::Offered(QDBusConnection::sessionBus());
    // Where the portal has no clipboard, the compositor's own (KWin 5.27) carries the characters the layout lacks.
    FOffer.dataControlClipboard =
        FOffer.remoteDesktopPortal && !FOffer.remoteDesktopClipboard && DataControlClipboard() != nullptr;
    // GNOME passes the keys of applications with an input method through the user's IBus.
    FOffer.inputMethod =
        FOffer.remoteDesktopPortal && IsGnomeDesktop(std::getenv("XDG_CURRENT_DESKTOP")) && !IbusAddress().empty();
}

void TSessionBackends::MakeHotkeys(const std::string& appId, const std::string& copyTag) {
    switch (FChoice.hotkeys) {
    case HotkeyBackend::X11:
        FX11Hotkeys = MakeX11Hotkeys();
        FHotkeys = FX11Hotkeys.get();
        return;
    case HotkeyBackend::Portal:
        FOtherHotkeys = std::make_unique<TPortalHotkeyService>();
        break;
    case HotkeyBackend::Kde:
        FOtherHotkeys =
            std::make_unique<TKGlobalAccelHotkeyService>(KdeComponent(appId, copyTag), QStringLiteral("Velmora"));
        break;
    case HotkeyBackend::Gnome:
        FOtherHotkeys =
            std::make_unique<TGnomeHotkeyService>(std::make_unique<TGSettingsShortcuts>(), ExecutablePath(), copyTag);
        break;
    case HotkeyBackend::None:
        FOtherHotkeys = std::make_unique<TNoHotkeyService>();
        break;
    }
    FHotkeys = FOtherHotkeys.get();
}

std::unique_ptr<ITextSender> TSessionBackends::MakeSender() {
    switch (FChoice.typing) {
    case TypingBackend::X11:
        return MakeX11TextSender();
    case TypingBackend::VirtualKeyboard:
        // Pasted rows go through the compositor's data-control clipboard. Chromium takes a key as one UTF-16 unit:
        // with VELMORA_VK_PASTE=1 characters beyond U+FFFF go by it too (not yet by default: a Qt edit on Sway did
        // not receive them whole that way).
        return std::make_unique<TVirtualKeyboardSender>(
            std::move(FWaylandKeyboard), TVirtualKeyboardPacing{}, DataControlClipboard(), PasteKeys(),
            IsSet("VELMORA_VK_PASTE") && std::string(std::getenv("VELMORA_VK_PASTE")) == "1");
    case TypingBackend::RemoteDesktop:
        return MakeRemoteDesktopSender();
    case TypingBackend::None:
        break;
    }
    return std::make_unique<TNoTextSender>();
}

std::unique_ptr<ITextSender> TSessionBackends::MakeRemoteDesktopSender() const {
    const std::optional<std::string> keymap = ReadLayoutKeymap();
    std::optional<std::set<std::uint32_t>> keysyms;
    if (keymap) {
        keysyms = KeymapKeysyms(*keymap);
    }
    // KWin types the Shift+AltGr level of a keysym without its modifiers: on KDE the keys go by key code.
    std::optional<TLayoutChords> chords =
        FOffer.kdePlasma && keymap ? TLayoutChords::FromKeymap(*keymap) : std::nullopt;
    // On GNOME the text goes through IBus where it can; its trigger is a key without symbols.
    const std::uint32_t trigger = FOffer.inputMethod && keymap ? UnboundKeycode(*keymap) : 0;
    // Where the portal has no clipboard (KDE 5.27), the compositor's data-control one carries what the layout lacks.
    TClipboardFactory otherClipboard;
    if (FOffer.dataControlClipboard) {
        otherClipboard = &DataControlClipboard;
    }
    return std::make_unique<TRemoteDesktopSender>(keysyms && !keysyms->empty() ? keysyms : std::nullopt,
                                                  RemoteDesktopTokenFile(), std::move(chords), trigger,
                                                  std::move(otherClipboard), PasteKeys());
}

IEventSource* TSessionBackends::Events() {
    return FX11Hotkeys.get();
}

} // namespace velmora
