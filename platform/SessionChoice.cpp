#include "SessionChoice.h"

#include <algorithm>
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

namespace {

/// Whether a colon-separated list of desktops (may be null) names `desktop`.
bool NamesDesktop(const char* currentDesktop, std::string_view desktop) {
    if (currentDesktop == nullptr) {
        return false;
    }
    const std::string_view desktops(currentDesktop);
    for (std::size_t start = 0; start <= desktops.size();) {
        const std::size_t end = std::min(desktops.find(':', start), desktops.size());
        if (desktops.substr(start, end - start) == desktop) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

bool IsKdeDesktop(const char* currentDesktop) {
    return NamesDesktop(currentDesktop, "KDE");
}

bool IsGnomeDesktop(const char* currentDesktop) {
    return NamesDesktop(currentDesktop, "GNOME");
}

unsigned PlasmaVersion(const char* sessionVersion) {
    unsigned version = 0;
    if (sessionVersion == nullptr || *sessionVersion == '\0') {
        return 0;
    }
    for (const char* c = sessionVersion; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || version > 1000) {
            return 0;
        }
        version = version * 10 + static_cast<unsigned>(*c - '0');
    }
    return version;
}

namespace {

TypingBackend ChooseTyping(const TSessionOffer& offer) {
    if (offer.virtualKeyboard) {
        return TypingBackend::VirtualKeyboard;
    }
    if (offer.remoteDesktopPortal) {
        return TypingBackend::RemoteDesktop;
    }
    return offer.x11Display ? TypingBackend::X11 : TypingBackend::None;
}

HotkeyBackend ChooseHotkeys(const TSessionOffer& offer) {
    // Plasma's shortcut portal binds from 6.1 on; 6.0 cannot be told from 6.1 here and goes to the portal.
    if (offer.kdePlasma && offer.kdeShortcuts && (!offer.shortcutsPortal || offer.plasmaVersion < 6)) {
        return HotkeyBackend::Kde;
    }
    if (offer.shortcutsPortal) {
        return HotkeyBackend::Portal;
    }
    if (offer.gnomeShortcuts) {
        return HotkeyBackend::Gnome;
    }
    return offer.x11Display ? HotkeyBackend::X11 : HotkeyBackend::None;
}

/// What the user should know of the way texts go; empty for the virtual keyboard, which types everything.
std::string TypingNote(TypingBackend typing, const TSessionOffer& offer) {
    std::string note;
    switch (typing) {
    case TypingBackend::VirtualKeyboard:
        break;
    case TypingBackend::RemoteDesktop:
        // KDE Plasma gives a keyboard without asking; GNOME before 45 asks at every start.
        note += offer.kdePlasma ? "Wayland session: texts go through the desktop's remote-desktop portal; "
                : offer.remoteDesktopRemembers
                    ? "Wayland session: texts go through the desktop's remote-desktop portal, which asks once for "
                      "permission; "
                    : "Wayland session: texts go through the desktop's remote-desktop portal, which asks for "
                      "permission each time Velmora starts; ";
        note += offer.inputMethod ? "applications with an input method (GTK) get every character; for others, "
                                    "characters your keyboard layout lacks "
                                  : "characters your keyboard layout lacks ";
        note += offer.remoteDesktopClipboard || offer.dataControlClipboard
                    ? "are pasted through the clipboard where the desktop allows it (yours "
                      "is put back after each text; else Velmora names them). "
                    : "cannot be typed this way (Velmora names them). ";
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
    return note;
}

/// Adds what the user should know of the hotkeys to the choice's note.
void NoteHotkeys(TBackendChoice& choice, const std::string& rowCommand) {
    std::string& note = choice.note;
    const std::string bind = "bind a desktop shortcut to \"" + rowCommand + " N\" (N: the row's No.).";
    switch (choice.hotkeys) {
    case HotkeyBackend::Portal:
    case HotkeyBackend::Kde:
        break;
    case HotkeyBackend::Gnome:
        note += (note.empty() ? "Wayland session: hotkeys" : "Hotkeys") +
                std::string(" are keyboard shortcuts of GNOME's settings, added at Start and removed at Stop.");
        break;
    case HotkeyBackend::X11:
        note += (note.empty() ? "Wayland session: hotkeys" : "Hotkeys") +
                std::string(" fire only while an X11 window has the focus; to type a row anywhere, ") + bind;
        choice.rowCommandNoted = true;
        break;
    case HotkeyBackend::None:
        note += (note.empty() ? "Wayland session: no" : "No") +
                std::string(" system-wide hotkeys (the desktop offers no shortcut portal); to type a row, ") + bind;
        choice.rowCommandNoted = true;
        break;
    }
}

} // namespace

TBackendChoice ChooseBackends(const TSessionOffer& offer, const std::string& rowCommand) {
    TBackendChoice choice;
    if (!offer.wayland) {
        return choice;
    }
    choice.typing = ChooseTyping(offer);
    choice.hotkeys = ChooseHotkeys(offer);
    choice.note = TypingNote(choice.typing, offer);
    NoteHotkeys(choice, rowCommand);
    while (!choice.note.empty() && choice.note.back() == ' ') {
        choice.note.pop_back();
    }
    return choice;
}

} // namespace velmora
