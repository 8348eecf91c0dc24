// Latency of a hotkey: from the key's release to the first character of the text in a focused window, and to the
// whole text. Needs an X display with a window manager ($DISPLAY); bench/hotkey_latency.sh provides one.
//
//   velmora_bench_hotkey_latency [PRESSES]        (default 50 per scenario)
//
// The program is the user (XTest key events on a connection of its own), the target (a window of its own that
// records the characters it receives) and Velmora (the real hotkey service, registry and typist).

#include "platform/HotkeyRegistry.h"
#include "platform/TypingQueue.h"
#include "platform/x11/X11Display.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11TextSender.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace velmora;
using Clock = std::chrono::steady_clock;

const std::string kText = "The quick brown fox jumps over 13 lazy dogs.";

using TDisplayPtr = TXDisplayPtr;

TDisplayPtr OpenDisplay() {
    TDisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        throw std::runtime_error("Cannot open the X display: set DISPLAY (bench/hotkey_latency.sh starts one)");
    }
    return display;
}

/// A window of its own that holds the focus and collects the characters typed into it.
class TTarget {
public:
    TTarget() : FDisplay(OpenDisplay()) {
        Display* display = FDisplay.get();
        FWindow = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 300, 100, 0, 0, 0xffffff);
        XStoreName(display, FWindow, "velmora-latency-target");
        XSelectInput(display, FWindow, KeyPressMask | StructureNotifyMask | FocusChangeMask);
        XMapRaised(display, FWindow);
        for (XEvent event; event.type != MapNotify;) {
            XWindowEvent(display, FWindow, StructureNotifyMask, &event);
        }
        Focus();
    }
    ~TTarget() { XDestroyWindow(FDisplay.get(), FWindow); }
    TTarget(const TTarget&) = delete;
    TTarget& operator=(const TTarget&) = delete;

    int Fd() const { return ConnectionNumber(FDisplay.get()); }
    void Focus() {
        XSetInputFocus(FDisplay.get(), FWindow, RevertToParent, CurrentTime);
        XSync(FDisplay.get(), False);
    }
    /// Reads what has arrived; appends the characters, counts the keys that typed none.
    void Read(std::string& text, int& otherKeys) {
        Display* display = FDisplay.get();
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != KeyPress) {
                continue;
            }
            char buffer[16];
            KeySym keysym = NoSymbol;
            const int length = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
            if (length > 0) {
                text.append(buffer, static_cast<std::size_t>(length));
            } else if (!IsModifierKey(keysym)) {
                ++otherKeys;
            }
        }
    }

private:
    TDisplayPtr FDisplay;
    Window FWindow = 0;
};

/// The user's keyboard: XTest events on a connection of its own; each call returns once the server has them.
class TUser {
public:
    TUser() : FDisplay(OpenDisplay()) {}
    void Key(KeySym keysym, bool down) {
        XTestFakeKeyEvent(FDisplay.get(), XKeysymToKeycode(FDisplay.get(), keysym), down ? True : False, 0);
        XSync(FDisplay.get(), False);
    }

private:
    TDisplayPtr FDisplay;
};

struct TScenario {
    const char* name;
    std::uint8_t modifierIndex;
    std::int32_t virtualKey;
    KeySym key;
    bool withCtrl;
    bool ctrlReleasedFirst;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

void RunScenario(const TScenario& scenario, int presses) {
    TX11HotkeyService x11Hotkeys;
    TTypingQueue typist(std::make_unique<TX11TextSender>(), &x11Hotkeys);
    TTarget target;
    TUser user;
    THotKeys hotkeys(x11Hotkeys, typist);
    TRowList rows;
    auto item = std::make_shared<TStrItem>();
    item->FStr = kText;
    item->FHKCtrl = scenario.modifierIndex;
    item->FHKChar = scenario.virtualKey;
    rows.Append(item, true);
    hotkeys.Start(rows);
    if (hotkeys.Entries().front().status != HotkeyStatus::Registered) {
        throw std::runtime_error(std::string("the hotkey of \"") + scenario.name + "\" could not be registered");
    }

    IEventSource& events = x11Hotkeys;
    std::vector<double> first;
    std::vector<double> whole;
    int missed = 0;
    for (int i = 0; i < presses; ++i) {
        target.Focus();
        std::string text;
        int otherKeys = 0;
        if (scenario.withCtrl) {
            user.Key(XK_Control_L, true);
        }
        user.Key(scenario.key, true);
        if (scenario.withCtrl && scenario.ctrlReleasedFirst) {
            user.Key(XK_Control_L, false);
        }
        user.Key(scenario.key, false);
        const Clock::time_point released = Clock::now();
        if (scenario.withCtrl && !scenario.ctrlReleasedFirst) {
            user.Key(XK_Control_L, false);
        }

        std::optional<Clock::time_point> firstAt;
        const Clock::time_point deadline = released + std::chrono::seconds(5);
        while (text.size() < kText.size() && Clock::now() < deadline && otherKeys == 0) {
            pollfd fds[2] = {{events.FileDescriptor(), POLLIN, 0}, {target.Fd(), POLLIN, 0}};
            poll(fds, 2, 5);
            events.ProcessPendingEvents();
            target.Read(text, otherKeys);
            if (!firstAt && !text.empty()) {
                firstAt = Clock::now();
            }
        }
        if (text != kText) {
            ++missed;
        } else {
            first.push_back(Ms(*firstAt - released));
            whole.push_back(Ms(Clock::now() - released));
        }
        // Let the grabs come back after the text before the next press.
        const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(60);
        while (Clock::now() < settle) {
            pollfd fd{events.FileDescriptor(), POLLIN, 0};
            poll(&fd, 1, 10);
            events.ProcessPendingEvents();
        }
    }
    hotkeys.Stop();
    std::printf("%-34s first char: median %6.2f ms  p90 %6.2f  max %6.2f | whole text (%zu chars): median %6.2f ms  "
                "p90 %6.2f | %zu presses, %d missed\n",
                scenario.name, Median(first), Percentile(first, 0.9), Percentile(first, 1.0), kText.size(),
                Median(whole), Percentile(whole, 0.9), first.size(), missed);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const TScenario scenarios[] = {
        {"F9 (no modifier)", 0, 120, XK_F9, false, false},
        {"Ctrl+F5, Ctrl let go first", 1, 116, XK_F5, true, true},
        {"Ctrl+F5, F5 let go first", 1, 116, XK_F5, true, false},
    };
    try {
        for (const TScenario& scenario : scenarios) {
            RunScenario(scenario, presses);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora_bench_hotkey_latency: %s\n", error.what());
        return 1;
    }
    return 0;
}
