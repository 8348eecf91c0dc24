#include "SessionChoice.h"

#include <string_view>

namespace velmora {

namespace {

bool IsNonEmpty(const char* value) {
    return value != nullptr && *value != '\0';
}

} // namespace

bool IsWaylandSession(const char* sessionType, const char* waylandDisplay) {
    return (sessionType != nullptr && std::string_view(sessionType) == "wayland") || IsNonEmpty(waylandDisplay);
}

bool IsGnome(const char* currentDesktop) {
    std::string_view rest = currentDesktop != nullptr ? currentDesktop : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (rest.substr(0, colon) == "GNOME") {
            return true;
        }
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return false;
}

TBackendChoice ChooseBackends(const TSessionOffer& offer, const std::string& rowCommand) {
    TBackendChoice choice;
    if (!offer.wayland) {
        return choice;
    }

    if (offer.virtualKeyboard) {
        choice.typing = TypingBackend::VirtualKeyboard;
    } else if (offer.remoteDesktopPortal) {
        choice.typing = TypingBackend::RemoteDesktop;
    } else if (offer.x11Display) {
        choice.typing = TypingBackend::X11;
    } else {
        choice.typing = TypingBackend::None;
    }
    if (offer.shortcutsPortal) {
        choice.hotkeys = HotkeyBackend::Portal;
    } else if (offer.desktopShortcuts) {
        choice.hotkeys = HotkeyBackend::DesktopShortcuts;
    } else if (offer.x11Display) {
        choice.hotkeys = HotkeyBackend::X11;
    } else {
        choice.hotkeys = HotkeyBackend::None;
    }

    std::string note;
    switch (choice.typing) {
    case TypingBackend::VirtualKeyboard:
        break;
    case TypingBackend::RemoteDesktop:
        note += std::string("Wayland session: texts go through the desktop's remote-desktop portal, which asks for "
                            "permission ") +
                (offer.remoteDesktopRemembers ? "once" : "each time Velmora starts") +
                (offer.inputMethod ? "; applications with an input method (GTK) get every character, others only "
                                     "those of your keyboard layout (Velmora names the rest). "
                                   : "; characters your keyboard layout lacks cannot be typed this way (Velmora "
                                     "names them). ");
        break;
    case TypingBackend::X11:
        note += "Wayland session: texts reach X11 applications only (the desktop offers no virtual keyboard and no "
                "remote-desktop portal). ";
        break;
    case TypingBackend::None:
        note += "Wayland session: Velmora cannot type here (the desktop offers no virtual keyboard, no "
                "remote-desktop portal and no X display). ";
        break;
    }
    const std::string bind = "bind a desktop shortcut to \"" + rowCommand + " N\" (N: the row's No.).";
    switch (choice.hotkeys) {
    case HotkeyBackend::Portal:
        break;
    case HotkeyBackend::DesktopShortcuts:
        note += (note.empty() ? "Wayland session: hotkeys" : "Hotkeys") +
                std::string(" are keyboard shortcuts of the desktop's settings, added at Start and removed at Stop.");
        break;
    case HotkeyBackend::X11:
        note += (note.empty() ? "Wayland session: hotkeys" : "Hotkeys") +
                std::string(" fire only while an X11 window has the focus; to type a row anywhere, ") + bind;
        break;
    case HotkeyBackend::None:
        note += (note.empty() ? "Wayland session: no" : "No") +
                std::string(" system-wide hotkeys (the desktop offers no shortcut portal); to type a row, ") + bind;
        break;
    }
    while (!note.empty() && note.back() == ' ') {
        note.pop_back();
    }
    choice.note = note;
    return choice;
}

} // namespace velmora
