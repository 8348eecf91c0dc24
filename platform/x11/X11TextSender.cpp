#include "X11TextSender.h"

#include "KeyRelease.h"
#include "X11KeyMap.h"
#include "X11Keyboard.h"
#include "X11TargetAck.h"
#include "core/TypingScript.h"
#include "platform/Keysyms.h"
#include "platform/PlatformError.h"
#include "platform/TextPastes.h"
#include "platform/TextWalk.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>

namespace velmora {

namespace {

/// How long a text waits while another copy of the program types.
constexpr std::chrono::seconds kLockPatience{60};

/// Runs follow each other for at most this long before the server is left to the other clients for a breather.
/// Back-to-back grabbed runs starve them: while a long text went into an xterm, one request of another client took
/// up to 19 s, so the window manager could not give the main window the focus and Stop could not be clicked. With
/// the breather that request takes milliseconds and the typing rate stays within the noise.
constexpr std::chrono::milliseconds kBusyStretch{20};
constexpr std::chrono::milliseconds kBreather{4};

/// Gives the typing lock up when it goes.
struct TLockRelease {
    TX11TypingLock& lock;
    ~TLockRelease() { lock.Release(); }
};

/// The window manager's own window, named on the root window; None if there is no such window manager.
Window WindowManagerWindow(Display* display, Window root) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, root, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &raw) !=
        Success) {
        return None;
    }
    const std::unique_ptr<unsigned char, TXFree> data(raw);
    if (type != XA_WINDOW || format != 32 || count != 1 || !data) {
        return None;
    }
    Window window = None;
    std::memcpy(&window, data.get(), sizeof window); // format 32 arrives as longs
    return window;
}

/// The window that has the keyboard focus, or None when no control has it (None, PointerRoot, a root window, the
/// window manager's own window).
Window FocusedControl(Display* display) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == None || focus == PointerRoot) {
        return None;
    }
    for (int screen = 0; screen < ScreenCount(display); ++screen) {
        const Window root = RootWindow(display, screen);
        if (focus == root || focus == WindowManagerWindow(display, root)) {
            return None;
        }
    }
    return focus;
}

/// Frees an xcb reply.
struct TXcbFree {
    void operator()(void* reply) const { std::free(reply); }
};

/// Keys through XTest into the window that had the focus when the text began.
class TX11KeySender final : public IKeySender {
public:
    /// `level3Modifiers` are those of the layout's Level3 shift.
    TX11KeySender(Display* display, Window focus, unsigned level3Modifiers, TX11KeymapBindings& bindings,
                  TX11TargetAck& target, TX11KeyboardState& keyboard,
                  std::function<bool(std::chrono::milliseconds)> pause)
        : FDisplay(display), FFocus(focus), FLevel3(level3Modifiers), FBindings(bindings), FTarget(target),
          FKeyboard(keyboard), FPause(std::move(pause)) {}
    ~TX11KeySender() override { EndGrab(); }
    TX11KeySender(const TX11KeySender&) = delete;
    TX11KeySender& operator=(const TX11KeySender&) = delete;

    void Bind(const std::vector<TBinding>& bindings) override {
        FBindings.Bind(bindings);
        FStopped = FStopped || !FTarget.AwaitKeymapSeen(FPause);
    }
    void Unbind(const std::vector<unsigned>& keycodes) override { FBindings.Unbind(keycodes); }

    bool AwaitTargetRead(std::size_t strokes) override {
        FStopped = FStopped || !FTarget.Await(strokes, FPause);
        return !FStopped;
    }

    void Key(unsigned keycode, bool press) override {
        if (!FFirstKey) {
            FFirstKey = std::chrono::system_clock::now();
        }
        XTestFakeKeyEvent(FDisplay, keycode, press ? True : False, CurrentTime);
    }

    // Programs see the locked group and modifiers in the state of the keys that follow.
    void Select(unsigned group, unsigned level) override {
        const unsigned modifiers = ((level & 1U) != 0 ? ShiftMask : 0) | ((level & 2U) != 0 ? FLevel3 : 0);
        Lock(group, modifiers);
    }

    // The server is grabbed from the checks to the run's last key: the focus cannot move in between, so a key can
    // never land in a window that took the focus meanwhile; and no other client can press a key, so a grabbed hotkey
    // cannot go down and take our keys (while it is down X gives every key event to the hotkey's grab). The keymap
    // and the focus are asked for together: one round trip.
    ERunStart BeginRun() override {
        if (std::chrono::steady_clock::now() - FStretchStart >= kBusyStretch) {
            FStopped = FStopped || !FPause(kBreather);
            FStretchStart = std::chrono::steady_clock::now();
        }
        if (FStopped || !FPause(std::chrono::milliseconds(0))) {
            FStopped = true;
            return ERunStart::Stop;
        }
        XGrabServer(FDisplay);
        FGrabbed = true;
        xcb_connection_t* connection = XGetXCBConnection(FDisplay);
        const xcb_query_keymap_cookie_t keymapCookie = xcb_query_keymap(connection);
        const xcb_get_input_focus_cookie_t focusCookie = xcb_get_input_focus(connection);
        const std::unique_ptr<xcb_query_keymap_reply_t, TXcbFree> keymap(
            xcb_query_keymap_reply(connection, keymapCookie, nullptr));
        const std::unique_ptr<xcb_get_input_focus_reply_t, TXcbFree> focus(
            xcb_get_input_focus_reply(connection, focusCookie, nullptr));
        if (!keymap || !focus || focus->focus != FFocus) {
            EndGrab();
            FStopped = FStopped || !keymap || !focus;
            return ERunStart::Stop;
        }
        if (!FKeyboard.HeldIn(keymap->keys).empty()) {
            EndGrab();
            return ERunStart::KeysHeld;
        }
        // The user's group and locks, as they are now: they may have switched since the last run.
        XkbStateRec state{};
        if (XkbGetState(FDisplay, XkbUseCoreKbd, &state) != Success) {
            EndGrab();
            FStopped = true;
            return ERunStart::Stop;
        }
        FUserGroup = FGroup = state.locked_group;
        FUserModifiers = FModifiers = state.locked_mods & (ShiftMask | FLevel3);
        return ERunStart::Go;
    }

    void EndRun(std::size_t strokesSent) override {
        Lock(FUserGroup, FUserModifiers);
        EndGrab();
        FTarget.Sent(strokesSent);
    }

    bool AwaitUserKeys() override {
        const TReleaseOutcome outcome =
            AwaitKeysReleased(FKeyboard, std::chrono::milliseconds(2000), std::chrono::milliseconds(1));
        FReleased += outcome.released.size();
        FStopped = FStopped || outcome.cancelled;
        return !outcome.cancelled;
    }

    /// Keys the user held during the text past the bound, that were let go of.
    std::size_t Released() const { return FReleased; }
    std::optional<std::chrono::system_clock::time_point> FirstKey() const { return FFirstKey; }

private:
    void Lock(unsigned group, unsigned modifiers) {
        if (group != FGroup) {
            XkbLockGroup(FDisplay, XkbUseCoreKbd, group);
            FGroup = group;
        }
        if (modifiers != FModifiers) {
            XkbLockModifiers(FDisplay, XkbUseCoreKbd, ShiftMask | FLevel3, modifiers);
            FModifiers = modifiers;
        }
    }

    void EndGrab() {
        if (FGrabbed) {
            XUngrabServer(FDisplay);
            XFlush(FDisplay);
            FGrabbed = false;
        }
    }

    Display* FDisplay;
    Window FFocus;
    unsigned FLevel3;
    TX11KeymapBindings& FBindings;
    TX11TargetAck& FTarget;
    TX11KeyboardState& FKeyboard;
    std::function<bool(std::chrono::milliseconds)> FPause;
    bool FGrabbed = false;
    bool FStopped = false;
    unsigned FUserGroup = 0;
    unsigned FUserModifiers = 0;
    unsigned FGroup = 0;     ///< the locked group within a run
    unsigned FModifiers = 0; ///< the locked Shift and Level3 modifiers within a run
    std::size_t FReleased = 0;
    std::optional<std::chrono::system_clock::time_point> FFirstKey;
    std::chrono::steady_clock::time_point FStretchStart = std::chrono::steady_clock::now();
};

/// The keycodes that carry the keysym of a hotkey's key; none for 0.
std::vector<unsigned> HotkeyKeycodes(Display* display, std::int32_t virtualKey) {
    const KeySym keysym = VirtualKeyToKeysym(virtualKey);
    if (keysym == NoSymbol) {
        return {};
    }
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    return keycode == 0 ? std::vector<unsigned>{} : std::vector<unsigned>{keycode};
}

/// The keys of one paste through XTest: Ctrl+V, or Shift+Insert (terminals).
TPasteKeys XTestPasteKeys(Display* display, bool shiftInsert) {
    const KeyCode modifier = XKeysymToKeycode(display, shiftInsert ? XK_Shift_L : XK_Control_L);
    const KeyCode key = XKeysymToKeycode(display, shiftInsert ? XK_Insert : XK_v);
    return {[display, modifier, key] {
                XTestFakeKeyEvent(display, modifier, True, CurrentTime);
                XTestFakeKeyEvent(display, key, True, CurrentTime);
                XSync(display, False);
            },
            [display, modifier, key] {
                XTestFakeKeyEvent(display, key, False, CurrentTime);
                XTestFakeKeyEvent(display, modifier, False, CurrentTime);
                XSync(display, False);
            }};
}

} // namespace

TX11TextSender::TX11TextSender(const std::string& displayName) : FDisplay(displayName), FLock(FDisplay.Get()) {}

void TX11TextSender::Open(ITypingTurn& /*turn*/) {
    if (!FLock.TryTake()) {
        return; // the copy that types puts its own keys back
    }
    const TLockRelease opened{FLock};
    try {
        RestoreAbandonedBindings(FDisplay.Get());
    } catch (const std::exception&) {
        // Without the keyboard map there is nothing to put back; typing will say so.
    }
}

TTypingStats TX11TextSender::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

TSendOutcome TX11TextSender::Send(const std::u32string& text, std::int32_t pressedKey, ITypingTurn& turn) {
    {
        std::scoped_lock lock(FMutex);
        ++FStats.texts;
    }
    const std::vector<TStroke> strokes = WalkText(text);
    std::vector<char32_t> dropped;
    const bool goOn = Type(pressedKey, turn, [&](const TKeyboardLayout& layout, IKeySender& sender) {
        const TTypingPlan plan = PlanTyping(strokes, layout);
        dropped = plan.dropped;
        return PlayPlan(plan, sender);
    });
    {
        std::scoped_lock lock(FMutex);
        FStats.dropped += dropped.size();
    }
    return {
        std::u32string(dropped.begin(), dropped.end()), "the keyboard map has no free key to put them on.", {}, !goOn};
}

TSendOutcome TX11TextSender::SendKey(const TKeyChord& chord, ITypingTurn& turn) {
    const KeysymValue keysym = KeyKeysym(chord.key);
    const std::vector<KeysymValue> modifiers = ChordModifierKeysyms(chord);
    bool planned = keysym != 0;
    TSendOutcome outcome;
    if (planned) {
        outcome.stopped = !Type(turn.PressedKey(), turn, [&](const TKeyboardLayout& layout, IKeySender& sender) {
            const std::optional<TChordPlan> plan = PlanChord(keysym, modifiers, layout);
            planned = plan.has_value();
            return plan ? PlayChord(*plan, sender) : TPlaybackResult{};
        });
    }
    if (!planned) {
        outcome.keys.push_back(ChordName(chord));
    }
    return outcome;
}

bool TX11TextSender::Type(std::int32_t pressedKey, ITypingTurn& turn, const TPlayKeys& play) {
    Display* display = FDisplay.Get();
    const auto pause = [&turn](std::chrono::milliseconds duration) { return turn.Pause(duration); };
    if (!FLock.Take(pause, kLockPatience)) {
        if (!turn.Pause(std::chrono::milliseconds(0))) {
            return false;
        }
        throw PlatformError("Another copy of Velmora on this display has been typing for a minute.");
    }
    // Given up at the end of the keys, once they are put back.
    const TLockRelease turnEnds{FLock};
    // Keys still recorded as bound while no copy types are those of a copy that was killed.
    RestoreAbandonedBindings(display);
    const Window focus = FocusedControl(display);
    if (focus == None) {
        std::scoped_lock lock(FMutex);
        ++FStats.withoutFocus;
        return !turn.KeysBegun(); // once keys went out, no focus is the focus moved
    }
    if (!turn.KeysBegun()) {
        FTextFocus = focus;
    } else if (focus != FTextFocus) {
        std::scoped_lock lock(FMutex);
        ++FStats.interrupted; // the focus moved between two steps of the text: nothing more goes there
        return false;
    }

    TX11KeyboardState keyboard(display, HotkeyKeycodes(display, pressedKey), pause);
    const TReleaseOutcome release = AwaitKeysReleased(keyboard);
    if (release.cancelled) {
        return false;
    }

    turn.KeysBegin();
    TX11LockReset locks(display);
    TKeyboardLayout layout = ReadKeyboardLayout(display);
    // Keys still down that are not ours to let go of are typed around: a press of one would give no event (a free
    // keycode left down by a typist killed between a key's press and its release lost the first character bound to
    // it), so the plan keeps clear of them.
    layout.heldKeycodes = release.left;
    TX11KeymapBindings bindings(display);
    TX11TargetAck target(display, focus);
    TX11KeySender sender(display, focus, layout.level3Modifiers, bindings, target, keyboard, pause);
    const TPlaybackResult result = play(layout, sender);
    XSync(display, False);
    const auto lastKey = std::chrono::system_clock::now();
    locks.End();

    std::scoped_lock lock(FMutex);
    FStats.strokes += result.strokes;
    FStats.interrupted += result.interrupted ? 1 : 0;
    FStats.forcedReleases += release.released.size() + sender.Released();
    FStats.keymapChanges += bindings.Changes();
    if (!FStats.firstKey && sender.FirstKey()) {
        FStats.firstKey = sender.FirstKey();
    }
    FStats.lastKey = lastKey;
    return !result.interrupted;
}

bool TX11TextSender::Paste(const std::u32string& text, ITypingTurn& turn, std::string& why) {
    if (!FClipboard) {
        try {
            FClipboard = std::make_unique<TX11Clipboard>();
        } catch (const PlatformError& error) {
            why = error.what();
            return false;
        }
    }
    Display* display = FDisplay.Get();
    const auto pause = [&turn](std::chrono::milliseconds duration) { return turn.Pause(duration); };
    if (!FLock.Take(pause, kLockPatience)) {
        if (!turn.Pause(std::chrono::milliseconds(0))) {
            return true;
        }
        throw PlatformError("Another copy of Velmora on this display has been typing for a minute.");
    }
    const TLockRelease turnEnds{FLock};
    const Window focus = FocusedControl(display);
    if (focus == None) {
        std::scoped_lock lock(FMutex);
        ++FStats.withoutFocus;
        return true; // as a typed text: nowhere to go
    }
    // The user's keys (the hotkey's) would turn the paste keys into another chord.
    TX11KeyboardState keyboard(display, {}, pause);
    if (AwaitKeysReleased(keyboard).cancelled) {
        return true;
    }
    const bool terminal = IsTerminalWindow(XGetXCBConnection(display), static_cast<xcb_window_t>(focus));
    FClipboard->PasteInto(static_cast<xcb_window_t>(focus), terminal);
    turn.KeysBegin();
    return PasteWholeText(*FClipboard, text, XTestPasteKeys(display, terminal), turn, why);
}

} // namespace velmora
