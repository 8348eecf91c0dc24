#include "X11HotkeyService.h"

#include "X11ErrorTrap.h"
#include "X11KeyMap.h"

#include "platform/PlatformError.h"

#include <X11/XKBlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace velmora {

namespace {

unsigned StateForModifiers(unsigned modifiers) {
    unsigned state = 0;
    if ((modifiers & kModAlt) != 0) {
        state |= Mod1Mask;
    }
    if ((modifiers & kModControl) != 0) {
        state |= ControlMask;
    }
    if ((modifiers & kModShift) != 0) {
        state |= ShiftMask;
    }
    return state;
}

int CheckedFd(int fd, const char* what) {
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), what);
    }
    return fd;
}

std::string DisplayLabel(const std::string& displayName) {
    const char* name = XDisplayName(displayName.empty() ? nullptr : displayName.c_str());
    return name != nullptr && *name != '\0' ? name : "(not set)";
}

} // namespace

TX11HotkeyService::TX11HotkeyService(const std::string& displayName)
    : FDisplay((XInitThreads(), XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str()))),
      FWake(CheckedFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "Cannot create the hotkey wake-up descriptor")),
      FPoll(CheckedFd(epoll_create1(EPOLL_CLOEXEC), "Cannot create the hotkey poll descriptor")) {
    if (!FDisplay) {
        throw PlatformError("Cannot open the X display \"" + DisplayLabel(displayName) +
                            "\": set DISPLAY to a running X server (for example DISPLAY=:0) and start again.");
    }
    Display* display = FDisplay.get();
    FRoot = DefaultRootWindow(display);
    for (const int fd : {ConnectionNumber(display), FWake.Get()}) {
        epoll_event watch{};
        watch.events = EPOLLIN;
        watch.data.fd = fd;
        if (epoll_ctl(FPoll.Get(), EPOLL_CTL_ADD, fd, &watch) != 0) {
            throw std::system_error(errno, std::generic_category(), "Cannot watch the X connection");
        }
    }
    // A held chord then gives repeated presses and a single release, so the release ends the press.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display, True, &supported);
    std::scoped_lock lock(FMutex);
    ReadModifierMapping();
}

// Closing the connection releases every grab.
TX11HotkeyService::~TX11HotkeyService() = default;

void TX11HotkeyService::ReadModifierMapping() {
    Display* display = FDisplay.get();
    FNumLockMask = 0;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    std::unique_ptr<XModifierKeymap, decltype(&XFreeModifiermap)> map(XGetModifierMapping(display), &XFreeModifiermap);
    if (!map || numLock == 0) {
        return;
    }
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == numLock) {
                FNumLockMask = 1u << modifier;
            }
        }
    }
}

std::array<unsigned, 4> TX11HotkeyService::LockVariants() const {
    const unsigned capsLock = LockMask;
    return {0u, capsLock, FNumLockMask, FNumLockMask | capsLock};
}

KeyCode TX11HotkeyService::KeycodeFor(std::int32_t virtualKey) const {
    const KeySym keysym = VirtualKeyToKeysym(virtualKey);
    return keysym == NoSymbol ? 0 : XKeysymToKeycode(FDisplay.get(), keysym);
}

bool TX11HotkeyService::HeldByEarlier(std::size_t index, KeyCode keycode, unsigned state) const {
    return std::any_of(FGrabs.begin(), FGrabs.begin() + static_cast<std::ptrdiff_t>(index), [&](const auto& entry) {
        const TGrab& other = entry.second;
        return (other.grabbed || other.suspended) && other.keycode == keycode && other.state == state;
    });
}

bool TX11HotkeyService::Grab(KeyCode keycode, unsigned state) {
    Display* display = FDisplay.get();
    TX11ErrorTrap trap(display);
    for (const unsigned lock : LockVariants()) {
        XGrabKey(display, keycode, state | lock, FRoot, False, GrabModeAsync, GrabModeAsync);
    }
    trap.Sync();
    if (!trap.Caught(BadAccess)) {
        return true;
    }
    // Another client holds one of the variants: give back the ones we got.
    for (const unsigned lock : LockVariants()) {
        XUngrabKey(display, keycode, state | lock, FRoot);
    }
    return false;
}

void TX11HotkeyService::Ungrab(KeyCode keycode, unsigned state) {
    for (const unsigned lock : LockVariants()) {
        XUngrabKey(FDisplay.get(), keycode, state | lock, FRoot);
    }
}

void TX11HotkeyService::PlaceGrab(std::size_t index) {
    TGrab& grab = FGrabs[index].second;
    grab.grabbed = false;
    grab.keycode = KeycodeFor(grab.virtualKey);
    if (grab.keycode == 0) {
        grab.status = HotkeyStatus::UnknownKey;
        grab.suspended = false;
    } else if (HeldByEarlier(index, grab.keycode, grab.state)) {
        // X would grant a client's second grab of the same combination silently; the earlier one keeps it.
        grab.status = HotkeyStatus::HeldByEarlierRow;
        grab.suspended = false;
    } else if (grab.suspended) {
        grab.status = HotkeyStatus::Registered; // placed when the typing ends
    } else if (!Grab(grab.keycode, grab.state)) {
        grab.status = HotkeyStatus::HeldElsewhere;
    } else {
        grab.status = HotkeyStatus::Registered;
        grab.grabbed = true;
        if (FTyping && LiftedWhileTyping(grab)) {
            Ungrab(grab.keycode, grab.state);
            grab.grabbed = false;
            grab.suspended = true;
        }
    }
}

bool TX11HotkeyService::LiftedWhileTyping(const TGrab& grab) const {
    return std::find(FTypedKeycodes.begin(), FTypedKeycodes.end(), grab.keycode) != FTypedKeycodes.end();
}

void TX11HotkeyService::RenewAllGrabs() {
    // The typist changes the keymap for texts with characters the layout lacks, often many times a second, on keys
    // no hotkey uses: the grabs stay as they are unless a hotkey's key or the NumLock modifier moved.
    const unsigned numLockMask = FNumLockMask;
    ReadModifierMapping();
    const bool moved =
        FNumLockMask != numLockMask || std::any_of(FGrabs.begin(), FGrabs.end(), [this](const auto& entry) {
            const TGrab& grab = entry.second;
            return grab.granted && KeycodeFor(grab.virtualKey) != grab.keycode;
        });
    if (!moved) {
        return;
    }
    const unsigned newNumLockMask = FNumLockMask;
    FNumLockMask = numLockMask; // the grabs on the server were made with the old mask
    for (auto& [id, grab] : FGrabs) {
        if (grab.grabbed) {
            Ungrab(grab.keycode, grab.state);
            grab.grabbed = false;
        }
    }
    FNumLockMask = newNumLockMask;
    // The registrations that were granted take their keys again, in the order of registration. A mapping is often
    // changed in several steps, some of which leave a key without a keycode for a moment: they stay granted.
    for (std::size_t index = 0; index < FGrabs.size(); ++index) {
        if (FGrabs[index].second.granted) {
            PlaceGrab(index);
        }
    }
    XSync(FDisplay.get(), False);
}

THotkeyResult TX11HotkeyService::RegisterHotKey(const THotkeyRequest& request) {
    const int id = request.id;
    std::scoped_lock lock(FMutex);
    const auto existing =
        std::find_if(FGrabs.begin(), FGrabs.end(), [id](const auto& entry) { return entry.first == id; });
    if (existing != FGrabs.end()) {
        if (existing->second.grabbed) {
            Ungrab(existing->second.keycode, existing->second.state);
        }
        FGrabs.erase(existing);
    }
    TGrab grab;
    grab.modifiers = request.modifiers;
    grab.virtualKey = request.virtualKey;
    grab.state = StateForModifiers(request.modifiers);
    FGrabs.emplace_back(id, grab);
    PlaceGrab(FGrabs.size() - 1);
    FGrabs.back().second.granted = FGrabs.back().second.status == HotkeyStatus::Registered;
    WakeIfEventsQueued();
    return {FGrabs.back().second.status, {}};
}

void TX11HotkeyService::UnregisterHotKey(int id) {
    std::scoped_lock lock(FMutex);
    const auto existing =
        std::find_if(FGrabs.begin(), FGrabs.end(), [id](const auto& entry) { return entry.first == id; });
    if (existing == FGrabs.end()) {
        return;
    }
    if (existing->second.grabbed) {
        Ungrab(existing->second.keycode, existing->second.state);
    }
    FGrabs.erase(existing);
    XSync(FDisplay.get(), False);
    WakeIfEventsQueued();
}

void TX11HotkeyService::SetPressHandler(HotkeyPressHandler handler) {
    std::scoped_lock lock(FMutex);
    FHandler = std::move(handler);
}

int TX11HotkeyService::FileDescriptor() const {
    return FPoll.Get();
}

void TX11HotkeyService::ProcessPendingEvents() {
    std::vector<THotkeyPress> presses;
    HotkeyPressHandler handler;
    {
        std::scoped_lock lock(FMutex);
        std::uint64_t wakeups = 0;
        [[maybe_unused]] const auto ignored = read(FWake.Get(), &wakeups, sizeof wakeups);
        Display* display = FDisplay.get();
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            HandleEvent(event, presses);
        }
        handler = FHandler;
    }
    // Outside the lock: the handler may hand a text to the typist, whose thread calls back into this object.
    if (handler) {
        for (const THotkeyPress& press : presses) {
            handler(press.id);
        }
    }
}

void TX11HotkeyService::HandleEvent(XEvent& event, std::vector<THotkeyPress>& presses) {
    switch (event.type) {
    case KeyPress:
        FPresses.KeyDown(event.xkey.keycode, event.xkey.state,
                         [this](unsigned keycode, unsigned state) -> std::optional<THotkeyPress> {
                             for (const auto& [id, grab] : FGrabs) {
                                 if (grab.grabbed && grab.keycode == keycode && grab.state == state) {
                                     return THotkeyPress{id};
                                 }
                             }
                             return std::nullopt;
                         });
        return;
    case KeyRelease:
        FPresses.KeyUp(event.xkey.keycode, presses);
        return;
    case MappingNotify:
        if (event.xmapping.request == MappingKeyboard || event.xmapping.request == MappingModifier) {
            XRefreshKeyboardMapping(&event.xmapping);
            RenewAllGrabs();
        }
        return;
    default:
        return;
    }
}

void TX11HotkeyService::TypingStarts(const std::u32string& text, const std::vector<TKeyChord>& keys) {
    std::scoped_lock lock(FMutex);
    Display* display = FDisplay.get();
    int minKeycode = 0;
    int maxKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    int perKeycode = 0;
    const int keycodeCount = maxKeycode - minKeycode + 1;
    std::unique_ptr<KeySym, decltype(&XFree)> map(
        XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode), keycodeCount, &perKeycode), &XFree);
    FTypedKeycodes = KeycodesCarrying(KeysymsTyping(text, keys), map.get(), minKeycode, keycodeCount, perKeycode);
    FTyping = true;
    for (auto& [id, grab] : FGrabs) {
        if (grab.grabbed && LiftedWhileTyping(grab)) {
            Ungrab(grab.keycode, grab.state);
            grab.grabbed = false;
            grab.suspended = true;
        }
    }
    XSync(display, False);
    WakeIfEventsQueued();
}

void TX11HotkeyService::TypingEnded() {
    std::scoped_lock lock(FMutex);
    FTyping = false;
    FTypedKeycodes.clear();
    for (auto& [id, grab] : FGrabs) {
        if (grab.suspended) {
            grab.suspended = false;
            if (Grab(grab.keycode, grab.state)) {
                grab.grabbed = true;
            } else {
                grab.status = HotkeyStatus::HeldElsewhere; // taken by another client meanwhile
            }
        }
    }
    XSync(FDisplay.get(), False);
    WakeIfEventsQueued();
}

void TX11HotkeyService::WakeIfEventsQueued() {
    // Events read while waiting for a reply sit in Xlib's queue, where the descriptor's readiness cannot show them.
    if (XQLength(FDisplay.get()) > 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto ignored = write(FWake.Get(), &one, sizeof one);
    }
}

} // namespace velmora
