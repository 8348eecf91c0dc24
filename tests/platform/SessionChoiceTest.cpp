#include "platform/SessionChoice.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

const std::string kCommand = "/opt/velmora/velmora --type-row";

TEST(SessionChoice, WaylandSessionIsToldByTheSessionTypeOrTheWaylandDisplay) {
    EXPECT_TRUE(IsWaylandSession("wayland", nullptr));
    EXPECT_TRUE(IsWaylandSession(nullptr, "wayland-1"));
    EXPECT_TRUE(IsWaylandSession("x11", "wayland-0"));
    EXPECT_FALSE(IsWaylandSession("x11", nullptr));
    EXPECT_FALSE(IsWaylandSession("tty", ""));
    EXPECT_FALSE(IsWaylandSession(nullptr, nullptr));
    EXPECT_FALSE(IsWaylandSession("Wayland-ish", nullptr));
}

TEST(SessionChoice, AnX11SessionKeepsX11WhateverElseIsThere) {
    const TBackendChoice choice = ChooseBackends({false, true, true, true, true}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::X11);
    EXPECT_EQ(choice.typing, TypingBackend::X11);
    EXPECT_TRUE(choice.note.empty());
}

TEST(SessionChoice, AWaylandSessionTakesWhatItOffersForEachServiceOnItsOwn) {
    TBackendChoice choice = ChooseBackends({true, true, true, true, true}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::Portal);
    EXPECT_EQ(choice.typing, TypingBackend::VirtualKeyboard);
    EXPECT_TRUE(choice.note.empty());

    // Sway: a virtual keyboard, no shortcut portal; XWayland grabs are all that is left for hotkeys.
    choice = ChooseBackends({true, true, true, false}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::X11);
    EXPECT_EQ(choice.typing, TypingBackend::VirtualKeyboard);
    EXPECT_NE(choice.note.find("only while an X11 window has the focus"), std::string::npos) << choice.note;
    EXPECT_NE(choice.note.find("\"" + kCommand + " N\""), std::string::npos) << choice.note;
    EXPECT_TRUE(choice.rowCommandNoted); // a Start's note need not repeat it

    // KDE or GNOME 48: a shortcut portal and a remote-desktop portal, no virtual keyboard.
    choice = ChooseBackends({true, true, false, true, true}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::Portal);
    EXPECT_EQ(choice.typing, TypingBackend::RemoteDesktop);
    EXPECT_NE(choice.note.find("layout lacks"), std::string::npos) << choice.note;
    EXPECT_NE(choice.note.find("cannot be typed"), std::string::npos) << choice.note;
    EXPECT_FALSE(choice.rowCommandNoted);
    // KWin 5.27: its portal has no clipboard, the compositor's own carries what the layout lacks.
    TSessionOffer kwin{true, true, false, true, true};
    kwin.dataControlClipboard = true;
    EXPECT_NE(ChooseBackends(kwin, kCommand).note.find("are pasted"), std::string::npos);

    // No remote-desktop portal either: X11 applications only.
    choice = ChooseBackends({true, true, false, true, false}, kCommand);
    EXPECT_EQ(choice.typing, TypingBackend::X11);
    EXPECT_NE(choice.note.find("X11 applications only"), std::string::npos) << choice.note;
}

TEST(SessionChoice, NothingWaylandOffersFallsBackToX11AndSaysWhatTheUserCanDo) {
    const TBackendChoice choice = ChooseBackends({true, true, false, false}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::X11);
    EXPECT_EQ(choice.typing, TypingBackend::X11);
    EXPECT_EQ(choice.note.rfind("Wayland session: texts reach X11 applications only", 0), 0U) << choice.note;
    EXPECT_NE(choice.note.find("bind a desktop shortcut"), std::string::npos) << choice.note;
}

TEST(SessionChoice, WithoutAnXDisplayTheMissingServicesAreNone) {
    const TBackendChoice choice = ChooseBackends({true, false, true, false}, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::None);
    EXPECT_EQ(choice.typing, TypingBackend::VirtualKeyboard);
    EXPECT_NE(choice.note.find("no system-wide hotkeys"), std::string::npos) << choice.note;

    const TBackendChoice nothing = ChooseBackends({true, false, false, false}, kCommand);
    EXPECT_EQ(nothing.typing, TypingBackend::None);
    EXPECT_NE(nothing.note.find("cannot type"), std::string::npos) << nothing.note;
}

TEST(SessionChoice, KdePlasmaBefore6TakesItsOwnShortcutServiceAndTheNoteDoesNotSayItAsks) {
    // Plasma 5.27: a shortcut portal that binds nothing, KWin's shortcut service, a remote-desktop portal.
    TSessionOffer offer{true, false, false, true, true};
    offer.kdePlasma = IsKdeDesktop("foo:KDE") && !IsKdeDesktop("XKDE");
    offer.plasmaVersion = PlasmaVersion("5");
    offer.kdeShortcuts = true;
    TBackendChoice choice = ChooseBackends(offer, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::Kde);
    EXPECT_EQ(choice.typing, TypingBackend::RemoteDesktop);
    EXPECT_NE(choice.note.find("layout lacks"), std::string::npos) << choice.note;
    EXPECT_EQ(choice.note.find("permission"), std::string::npos) << choice.note;

    offer.plasmaVersion = 0; // unknown: the service works on every version
    EXPECT_EQ(ChooseBackends(offer, kCommand).hotkeys, HotkeyBackend::Kde);
    offer.plasmaVersion = 6; // the portal binds from 6.1
    EXPECT_EQ(ChooseBackends(offer, kCommand).hotkeys, HotkeyBackend::Portal);
    offer.shortcutsPortal = false;
    EXPECT_EQ(ChooseBackends(offer, kCommand).hotkeys, HotkeyBackend::Kde);
    // The service outside Plasma would see X11 keys only.
    offer.kdePlasma = false;
    choice = ChooseBackends(offer, kCommand);
    EXPECT_EQ(choice.hotkeys, HotkeyBackend::None);
    EXPECT_NE(choice.note.find("asks for permission each time Velmora starts"), std::string::npos) << choice.note;
    offer.remoteDesktopRemembers = true; // a portal that keeps the permission
    EXPECT_NE(ChooseBackends(offer, kCommand).note.find("asks once for permission"), std::string::npos);
    offer.remoteDesktopClipboard = true; // Plasma 6.4
    EXPECT_NE(ChooseBackends(offer, kCommand).note.find("lacks are pasted"), std::string::npos);
}

TEST(SessionChoice, GnomeWithoutTheShortcutPortalBindsItsOwnShortcutsElseTheRowCommandIsNamed) {
    TSessionOffer offer{true, false, false, false, true}; // GNOME 43
    offer.gnomeShortcuts = IsGnomeDesktop("ubuntu:GNOME") && !IsGnomeDesktop("XGNOME");
    EXPECT_EQ(ChooseBackends(offer, kCommand).hotkeys, HotkeyBackend::Gnome);
    offer.gnomeShortcuts = false; // no settings daemon
    const TBackendChoice choice = ChooseBackends(offer, kCommand);
    EXPECT_NE(choice.note.find("\"" + kCommand + " N\""), std::string::npos) << choice.note;
}

} // namespace
} // namespace velmora
