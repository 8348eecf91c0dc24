#include "X11Typist.h"

#include "KeyPlayback.h"
#include "KeyRelease.h"
#include "TextWalk.h"
#include "X11Keyboard.h"
#include "X11TargetAck.h"
#include "core/TextCodec.h"

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

/// Whether any key is down in the XQueryKeymap bits.
bool AnyKeyDown(const std::uint8_t (&keys)[32]) {
    return std::any_of(std::begin(keys), std::end(keys), [](std::uint8_t bits) { return bits != 0; });
}

/// Keys through XTest into the window that had the focus when the text began.
class TX11KeySender final : public IKeySender {
public:
    TX11KeySender(Display* display, Window focus, TX11KeymapBindings& bindings, TX11TargetAck& target,
                  IKeyboardState& keyboard, std::function<bool(std::chrono::milliseconds)> pause)
        : FDisplay(display), FFocus(focus), FBindings(bindings), FTarget(target), FKeyboard(keyboard),
          FPause(std::move(pause)) {}
    ~TX11KeySender() override { EndStroke(); }
    TX11KeySender(const TX11KeySender&) = delete;
    TX11KeySender& operator=(const TX11KeySender&) = delete;

    void Bind(const std::vector<TBinding>& bindings) override { FBindings.Bind(bindings); }

    void AwaitTargetRead() override { FStopped = FStopped || !FTarget.Await(FPause); }

    void Key(unsigned keycode, bool press) override {
        if (!FFirstKey) {
            FFirstKey = std::chrono::system_clock::now();
        }
        XTestFakeKeyEvent(FDisplay, keycode, press ? True : False, CurrentTime);
    }

    // The server is grabbed from the checks to the run's last key: the focus cannot move in between, so a key can
    // never land in a window that took the focus meanwhile; and no other client can press a key, so a grabbed hotkey
    // cannot go down and take our keys (while it is down X gives every key event to the hotkey's grab). The keymap
    // and the focus are asked for together: one round trip.
    EStrokeStart BeginStroke() override {
        if (FStopped || !FPause(std::chrono::milliseconds(0))) {
            FStopped = true;
            return EStrokeStart::Stop;
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
            EndStroke();
            FStopped = FStopped || !keymap || !focus;
            return EStrokeStart::Stop;
        }
        if (AnyKeyDown(keymap->keys)) {
            EndStroke();
            return EStrokeStart::KeysHeld;
        }
        return EStrokeStart::Go;
    }

    void EndStroke() override {
        if (FGrabbed) {
            XUngrabServer(FDisplay);
            XFlush(FDisplay);
            FGrabbed = false;
        }
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
    Display* FDisplay;
    Window FFocus;
    TX11KeymapBindings& FBindings;
    TX11TargetAck& FTarget;
    IKeyboardState& FKeyboard;
    std::function<bool(std::chrono::milliseconds)> FPause;
    bool FGrabbed = false;
    bool FStopped = false;
    std::size_t FReleased = 0;
    std::optional<std::chrono::system_clock::time_point> FFirstKey;
};

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

void TX11Typist::TypeText(const std::string& bytes) {
    {
        std::scoped_lock lock(FMutex);
        if (FStop) {
            return;
        }
        FQueue.push_back(bytes);
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

void TX11Typist::Run() {
    for (;;) {
        std::string bytes;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
            if (FStop) {
                break;
            }
            bytes = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
            ++FStats.texts;
        }
        try {
            TypeOne(bytes);
        } catch (const std::exception&) {
            // Typing reports nothing: the text is given up and the next one goes ahead.
        }
        {
            std::scoped_lock lock(FMutex);
            FBusy = false;
        }
        FIdle.notify_all();
    }
    FIdle.notify_all();
}

void TX11Typist::TypeOne(const std::string& bytes) {
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

    TX11KeyboardState keyboard(display, pause);
    const TReleaseOutcome release = AwaitKeysReleased(keyboard);
    if (release.cancelled) {
        return;
    }

    TListenerScope listening(FListener, text);
    TX11LockReset locks(display);
    const TTypingPlan plan = PlanTyping(strokes, ReadKeyboardLayout(display));
    TX11KeymapBindings bindings(display);
    TX11TargetAck target(display, focus);
    TX11KeySender sender(display, focus, bindings, target, keyboard, pause);
    const TPlaybackResult result = PlayPlan(plan, sender);
    XSync(display, False);
    const auto lastKey = std::chrono::system_clock::now();
    locks.End();
    listening.End();

    {
        std::scoped_lock lock(FMutex);
        FStats.strokes += result.strokes;
        FStats.dropped += plan.dropped;
        FStats.interrupted += result.interrupted ? 1 : 0;
        FStats.forcedReleases += release.released.size() + sender.Released();
        if (!FStats.firstKey && sender.FirstKey()) {
            FStats.firstKey = sender.FirstKey();
        }
        FStats.lastKey = lastKey;
    }
    if (bindings.Bound()) {
        target.Await(pause); // the target may still be translating keys that use the bound keycodes
        bindings.Restore();
    }
    std::scoped_lock lock(FMutex);
    FStats.keymapChanges += bindings.Changes();
}

} // namespace velmora
