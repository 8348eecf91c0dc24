// GoogleTest before the X headers, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include "platform/x11/HotkeyPresses.h"
#include "platform/x11/X11KeyMap.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <vector>

namespace velmora {
namespace {

constexpr unsigned kF5Keycode = 71;
constexpr unsigned kAKeycode = 38;
constexpr unsigned kCtrlKeycode = 37;
constexpr unsigned kNumLockMask = Mod2Mask;

/// Ctrl+F5 is registered under id 1, the bare key A under id 2.
std::optional<THotkeyPress> Lookup(unsigned keycode, unsigned state) {
    if (keycode == kF5Keycode && state == ControlMask) {
        return THotkeyPress{1};
    }
    if (keycode == kAKeycode && state == 0) {
        return THotkeyPress{2};
    }
    return std::nullopt;
}

TEST(HotkeyPressTracker, APressIsReportedOnTheKeysReleaseWhateverTheLockKeysAndTheOrderOfRelease) {
    THotkeyPressTracker tracker;
    std::vector<THotkeyPress> presses;

    tracker.KeyDown(kF5Keycode, ControlMask | LockMask | kNumLockMask, Lookup);
    EXPECT_TRUE(presses.empty());
    tracker.KeyUp(kCtrlKeycode, presses); // Ctrl let go of first: the release of F5 still ends the press
    EXPECT_TRUE(presses.empty());
    tracker.KeyUp(kF5Keycode, presses);
    EXPECT_EQ(presses, (std::vector<THotkeyPress>{THotkeyPress{1}}));

    tracker.KeyUp(kF5Keycode, presses); // a second release without a press reports nothing
    EXPECT_EQ(presses.size(), 1u);
}

TEST(HotkeyPressTracker, AutoRepeatsAreCountedAndReportedInOrderAfterTheRelease) {
    THotkeyPressTracker tracker;
    std::vector<THotkeyPress> presses;
    tracker.KeyDown(kF5Keycode, ControlMask, Lookup);
    tracker.KeyDown(kF5Keycode, ControlMask, Lookup);
    tracker.KeyDown(kAKeycode, ControlMask, Lookup); // another key during the grab is not a hotkey
    tracker.KeyDown(kF5Keycode, ControlMask, Lookup);
    tracker.KeyUp(kAKeycode, presses);
    EXPECT_TRUE(presses.empty());
    tracker.KeyUp(kF5Keycode, presses);
    EXPECT_EQ(presses, (std::vector<THotkeyPress>(3, THotkeyPress{1})));

    tracker.KeyDown(kAKeycode, 0, Lookup);
    tracker.KeyUp(kAKeycode, presses);
    EXPECT_EQ(presses.back(), (THotkeyPress{2}));
    EXPECT_EQ(presses.size(), 4u);
}

TEST(HotkeyPressTracker, OtherModifiersDoNotMatch) {
    THotkeyPressTracker tracker;
    std::vector<THotkeyPress> presses;
    const std::vector<unsigned> states{0, ShiftMask, ControlMask | Mod1Mask, ControlMask | Mod4Mask};
    for (const unsigned state : states) {
        tracker.KeyDown(kF5Keycode, state, Lookup);
        tracker.KeyUp(kF5Keycode, presses);
    }
    EXPECT_TRUE(presses.empty());
}

TEST(KeysTyping, ATextWithEitherCaseOfALetterLiftsThatKeyAndAFunctionKeyOnlyAsAKeyInsideIt) {
    // keycode 38: a A, 36: Return, 23: Tab, 71: F5, 50: Shift_L, 10: 1 exclam, 37: Control_L
    const int minKeycode = 8;
    const int perKeycode = 2;
    std::vector<KeySym> map(static_cast<std::size_t>((80 - minKeycode) * perKeycode), NoSymbol);
    auto set = [&](int keycode, KeySym plain, KeySym shifted) {
        map[static_cast<std::size_t>((keycode - minKeycode) * perKeycode)] = plain;
        map[static_cast<std::size_t>((keycode - minKeycode) * perKeycode + 1)] = shifted;
    };
    set(38, XK_a, XK_A);
    set(36, XK_Return, NoSymbol);
    set(23, XK_Tab, XK_ISO_Left_Tab);
    set(71, XK_F5, XK_F5);
    set(50, XK_Shift_L, NoSymbol);
    set(10, XK_1, XK_exclam);
    set(37, XK_Control_L, NoSymbol);
    const int count = 80 - minKeycode;

    auto lifted = [&](const std::u32string& text, const std::vector<TKeyChord>& keys = {}) {
        return KeycodesCarrying(KeysymsTyping(text, keys), map.data(), minKeycode, count, perKeycode);
    };
    EXPECT_EQ(lifted(U"A"), (std::vector<unsigned>{38, 50}));
    EXPECT_EQ(lifted(U"a"), (std::vector<unsigned>{38, 50}));
    EXPECT_EQ(lifted(U"!\r\n\t"), (std::vector<unsigned>{10, 23, 36, 50}));
    EXPECT_EQ(lifted(U"é"), (std::vector<unsigned>{50}));
    EXPECT_EQ(lifted(U"", {TKeyChord{.ctrl = true, .key = "F5"}}), (std::vector<unsigned>{37, 50, 71}));
}

TEST(VirtualKeyToKeysym, TheDialogsKeysAndTheNamedKeysHaveKeysymsMouseButtonsNone) {
    EXPECT_EQ(VirtualKeyToKeysym(112), static_cast<KeySym>(XK_F1));
    EXPECT_EQ(VirtualKeyToKeysym(123), static_cast<KeySym>(XK_F12));
    EXPECT_EQ(VirtualKeyToKeysym(48), static_cast<KeySym>(XK_0));
    EXPECT_EQ(VirtualKeyToKeysym(57), static_cast<KeySym>(XK_9));
    EXPECT_EQ(VirtualKeyToKeysym(65), static_cast<KeySym>(XK_a));
    EXPECT_EQ(VirtualKeyToKeysym(90), static_cast<KeySym>(XK_z));
    EXPECT_EQ(VirtualKeyToKeysym(105), static_cast<KeySym>(XK_KP_9));
    EXPECT_EQ(VirtualKeyToKeysym(222), static_cast<KeySym>(XK_apostrophe));
    for (const int none : {0, 1, 2, 4, 91, 108, 124, 223, -1}) {
        EXPECT_EQ(VirtualKeyToKeysym(none), static_cast<KeySym>(NoSymbol)) << none;
    }
}

} // namespace
} // namespace velmora
