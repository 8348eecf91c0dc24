#include "SessionBackends.h"

#include "platform/NoHotkeyService.h"
#include "platform/kde/KGlobalAccelHotkeyService.h"
#include "platform/portal/PortalHotkeyService.h"
#include "platform/portal/RemoteDesktopTypist.h"
#include "platform/wayland/VirtualKeyboardTypist.h"
#include "platform/wayland/WaylandLayout.h"

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <utility>

namespace velmora {

namespace {

/// The typist of a session in which nothing can type: every text is reported as not typed.
class TNoTypist final : public ITypist {
public:
    void TypeText(const std::string&, std::int32_t) override {
        TypingProblemHandler handler;
        {
            std::scoped_lock lock(FMutex);
            handler = FHandler;
        }
        const std::string message = "The text was not typed: this desktop offers Velmora no way to type.";
        if (handler) {
            handler(message);
        } else {
            std::cerr << "velmora: " << message << std::endl;
        }
    }
    void SetProblemHandler(TypingProblemHandler handler) override {
        std::scoped_lock lock(FMutex);
        FHandler = std::move(handler);
    }

private:
    std::mutex FMutex;
    TypingProblemHandler FHandler;
};

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

} // namespace

TSessionBackends::TSessionBackends(const std::string& rowCommand) : FRowCommand(rowCommand) {
    TSessionOffer& offer = FOffer;
    offer.wayland = IsWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
    if (!offer.wayland) {
        FX11 = CreatePlatform();
        offer.x11Display = true;
    } else {
        if (IsSet("DISPLAY")) {
            try {
                FX11 = CreatePlatform();
                offer.x11Display = true;
            } catch (const PlatformError& error) {
                std::cerr << "velmora: no X11 backend in this Wayland session: " << error.what() << std::endl;
            }
        }
        try {
            // The program's X11 grabs on XWayland keep out of the way of the keys it types.
            auto* listener = FX11 ? dynamic_cast<ITypingListener*>(&FX11->Hotkeys()) : nullptr;
            FVirtualTypist = std::make_unique<TVirtualKeyboardTypist>(listener);
            offer.virtualKeyboard = true;
        } catch (const PlatformError& error) {
            std::cerr << "velmora: " << error.what() << std::endl;
        }
    }
    Choose();
}

void TSessionBackends::OpenDesktopPortal(const std::string& appId) {
    if (!FOffer.wayland) {
        return;
    }
    FOffer.shortcutsPortal = TPortalHotkeyService::Offered();
    FOffer.kdePlasma = IsKdeDesktop(std::getenv("XDG_CURRENT_DESKTOP"));
    FOffer.plasmaVersion = PlasmaVersion(std::getenv("KDE_SESSION_VERSION"));
    FOffer.kdeShortcuts = FOffer.kdePlasma && TKGlobalAccelHotkeyService::Offered();
    if (!FOffer.virtualKeyboard && TRemoteDesktopTypist::Offered()) {
        FOffer.remoteDesktopPortal = true;
        const std::optional<std::string> keymap = ReadLayoutKeymap();
        std::optional<std::set<std::uint32_t>> keysyms;
        if (keymap) {
            keysyms = KeymapKeysyms(*keymap);
        }
        // KWin types the Shift+AltGr level of a keysym without its modifiers: on KDE the keys go by key code.
        std::optional<TLayoutChords> chords =
            FOffer.kdePlasma && keymap ? TLayoutChords::FromKeymap(*keymap) : std::nullopt;
        FRemoteTypist = std::make_unique<TRemoteDesktopTypist>(keysyms && !keysyms->empty() ? keysyms : std::nullopt,
                                                               RemoteDesktopTokenFile(), std::move(chords));
    }
    // Only the hotkey service chosen is opened: each registers the program with the desktop.
    switch (ChooseBackends(FOffer, FRowCommand).hotkeys) {
    case HotkeyBackend::Portal:
        FPortalHotkeys = std::make_unique<TPortalHotkeyService>(QString::fromStdString(appId));
        break;
    case HotkeyBackend::Kde:
        FKdeHotkeys =
            std::make_unique<TKGlobalAccelHotkeyService>(QString::fromStdString(appId), QStringLiteral("Velmora"));
        break;
    default:
        break;
    }
    Choose();
}

void TSessionBackends::Choose() {
    FChoice = ChooseBackends(FOffer, FRowCommand);
    FEvents = nullptr;
    switch (FChoice.typing) {
    case TypingBackend::X11:
        FTypist = &FX11->Typist();
        break;
    case TypingBackend::VirtualKeyboard:
        FTypist = FVirtualTypist.get();
        break;
    case TypingBackend::RemoteDesktop:
        FTypist = FRemoteTypist.get();
        break;
    case TypingBackend::None:
        if (!FOwnTypist) {
            FOwnTypist = std::make_unique<TNoTypist>();
        }
        FTypist = FOwnTypist.get();
        break;
    }
    switch (FChoice.hotkeys) {
    case HotkeyBackend::X11:
        FHotkeys = &FX11->Hotkeys();
        FEvents = &FX11->Events();
        break;
    case HotkeyBackend::Portal:
        FHotkeys = FPortalHotkeys.get();
        break;
    case HotkeyBackend::Kde:
        FHotkeys = FKdeHotkeys.get();
        break;
    case HotkeyBackend::None:
        if (!FOwnHotkeys) {
            FOwnHotkeys = std::make_unique<TNoHotkeyService>();
        }
        FHotkeys = FOwnHotkeys.get();
        break;
    }
}

TSessionBackends::~TSessionBackends() = default;

} // namespace velmora
