#include "X11Typist.h"

#include "KeyPlayback.h"
#include "KeyRelease.h"
#include "TextWalk.h"
#include "X11KeyMap.h"
#include "X11Keyboard.h"
#include "X11TargetAck.h"
#include "core/TextCodec.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>

namespace velmora {

namespace {

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

/// TypingStarts and TypingEnded around one text.
class TListenerScope {
public:
    TListenerScope(ITypingListener* listener, const std::u32string& text) : FListener(listener) {
        if (FListener != nullptr) {
            FListener->TypingStarts(text);
        }
    }
    ~TListenerScope() { End(); }
    TListenerScope(const TListenerScope&) = delete;
    TListenerScope& operator=(const TListenerScope&) = delete;

    void End() {
        if (FListener != nullptr) {
            std::exchange(FListener, nullptr)->TypingEnded();
        }
    }

private:
    ITypingListener* FListener;
};

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

/// The message for characters that no key could type.
std::string DroppedMessage(const std::vector<char32_t>& dropped) {
    std::u32string sample;
    for (const char32_t character : dropped) {
        if (sample.find(character) == std::u32string::npos && sample.size() < 10) {
            sample += character;
        }
    }
    return std::to_string(dropped.size()) + " character(s) could not be typed (" + UnicodeToText(sample) +
           "): the keyboard map has no free key to put them on.";
}

} // namespace

TX11Typist::TX11Typist(const std::string& displayName, ITypingListener* listener)
    : FDisplay(displayName), FListener(listener), FWorker([this] { Run(); }) {}

TX11Typist::~TX11Typist() {
    {
        std::scoped_lock lock(FMutex);
        FStop = true;
        FQueue.clear();
    }
    FWake.notify_all();
    FWorker.join();
}

void TX11Typist::TypeText(const std::string& bytes, std::int32_t pressedKey) {
    {
        std::scoped_lock lock(FMutex);
        if (FStop) {
            return;
        }
        FQueue.push_back({bytes, pressedKey});
    }
    FWake.notify_all();
}

bool TX11Typist::WaitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(FMutex);
    return FIdle.wait_for(lock, timeout, [this] { return FQueue.empty() && !FBusy; });
}

TTypingStats TX11Typist::Stats() const {
    std::scoped_lock lock(FMutex);
    return FStats;
}

bool TX11Typist::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(FMutex);
    if (duration.count() == 0) {
        return !FStop;
    }
    return !FWake.wait_for(lock, duration, [this] { return FStop; });
}

void TX11Typist::SetProblemHandler(TypingProblemHandler handler) {
    std::scoped_lock lock(FMutex);
    FProblemHandler = std::move(handler);
}

void TX11Typist::Run() {
    try {
        RestoreAbandonedBindings(FDisplay.Get());
    } catch (const std::exception&) {
        // Without the keyboard map there is nothing to put back; typing will say so.
    }
    for (;;) {
        TQueued next;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
            if (FStop) {
                break;
            }
            next = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
            ++FStats.texts;
        }
        try {
            TypeOne(next.bytes, next.pressedKey);
        } catch (const std::exception& error) {
            // The text is given up and the next one goes ahead.
            Report(error.what());
        }
        {
            std::scoped_lock lock(FMutex);
            FBusy = false;
        }
        FIdle.notify_all();
    }
    FIdle.notify_all();
}

void TX11Typist::Report(const std::string& message) {
    TypingProblemHandler handler;
    {
        std::scoped_lock lock(FMutex);
        handler = FProblemHandler;
    }
    if (handler) {
        handler(message);
    }
}

void TX11Typist::TypeOne(const std::string& bytes, std::int32_t pressedKey) {
    const std::u32string text = TextToUnicode(bytes);
    const std::vector<TStroke> strokes = WalkText(text);
    if (strokes.empty()) {
        return;
    }
    Display* display = FDisplay.Get();
    const Window focus = FocusedControl(display);
    if (focus == None) {
        std::scoped_lock lock(FMutex);
        ++FStats.withoutFocus;
        return;
    }
    const auto pause = [this](std::chrono::milliseconds duration) { return Pause(duration); };

    TX11KeyboardState keyboard(display, HotkeyKeycodes(display, pressedKey), pause);
    const TReleaseOutcome release = AwaitKeysReleased(keyboard);
    if (release.cancelled) {
        return;
    }

    TListenerScope listening(FListener, text);
    TX11LockReset locks(display);
    const TKeyboardLayout layout = ReadKeyboardLayout(display);
    const TTypingPlan plan = PlanTyping(strokes, layout);
    TX11KeymapBindings bindings(display);
    TX11TargetAck target(display, focus);
    TX11KeySender sender(display, focus, layout.level3Modifiers, bindings, target, keyboard, pause);
    const TPlaybackResult result = PlayPlan(plan, sender);
    XSync(display, False);
    const auto lastKey = std::chrono::system_clock::now();
    locks.End();
    listening.End();

    {
        std::scoped_lock lock(FMutex);
        FStats.strokes += result.strokes;
        FStats.dropped += plan.dropped.size();
        FStats.interrupted += result.interrupted ? 1 : 0;
        FStats.forcedReleases += release.released.size() + sender.Released();
        FStats.keymapChanges += bindings.Changes();
        if (!FStats.firstKey && sender.FirstKey()) {
            FStats.firstKey = sender.FirstKey();
        }
        FStats.lastKey = lastKey;
    }
    if (!plan.dropped.empty()) {
        Report(DroppedMessage(plan.dropped));
    }
}

} // namespace velmora
