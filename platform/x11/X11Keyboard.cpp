#include "X11Keyboard.h"

#include "X11Display.h"
#include "platform/Platform.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <memory>

namespace velmora {

namespace {

struct TXkbFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
};
using TXkbDesc = std::unique_ptr<XkbDescRec, TXkbFree>;

TXkbDesc FetchKeymap(Display* display) {
    TXkbDesc xkb(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd));
    if (!xkb || xkb->map == nullptr) {
        throw PlatformError("Cannot type: the keyboard map of the X server cannot be read.");
    }
    return xkb;
}

/// The level of the type that Shift alone selects (0 when Shift does not change the level).
int ShiftLevel(const XkbKeyTypeRec& type) {
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && entry.mods.mask == ShiftMask) {
            return entry.level;
        }
    }
    return 0;
}

/// Sends the symbols of keycodes [low, high] of `xkb` to the server: one keymap change.
void SendKeySyms(Display* display, XkbDescPtr xkb, unsigned low, unsigned high) {
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<KeyCode>(low);
    changes.num_key_syms = static_cast<unsigned char>(high - low + 1);
    XkbChangeMap(display, xkb, &changes);
}

} // namespace

TKeyboardLayout ReadKeyboardLayout(Display* display) {
    const TXkbDesc xkb = FetchKeymap(display);
    TKeyboardLayout layout;
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        const auto code = static_cast<unsigned>(keycode);
        const unsigned char modifiers = xkb->map->modmap != nullptr ? xkb->map->modmap[keycode] : 0;
        if (XkbKeyNumGroups(xkb.get(), keycode) == 0) {
            if (modifiers == 0) {
                layout.freeKeycodes.push_back(code);
            }
            continue;
        }
        const int width = XkbKeyGroupWidth(xkb.get(), keycode, 0);
        TLayoutKey key{code, static_cast<KeysymValue>(XkbKeySymEntry(xkb.get(), keycode, 0, 0)), 0};
        const int shiftLevel = ShiftLevel(*XkbKeyKeyType(xkb.get(), keycode, 0));
        if (shiftLevel < width) {
            key.shifted = static_cast<KeysymValue>(XkbKeySymEntry(xkb.get(), keycode, shiftLevel, 0));
        }
        if (layout.shiftKeycode == 0 && (modifiers & ShiftMask) != 0 &&
            (key.plain == XK_Shift_L || key.plain == XK_Shift_R)) {
            layout.shiftKeycode = code;
        }
        layout.keys.push_back(key);
    }
    return layout;
}

TX11KeymapBindings::~TX11KeymapBindings() {
    try {
        Restore();
    } catch (...) {
        // The connection is going; nothing more can be put back.
    }
}

void TX11KeymapBindings::Bind(const std::vector<TBinding>& bindings) {
    if (bindings.empty()) {
        return;
    }
    const TXkbDesc xkb = FetchKeymap(FDisplay);
    unsigned low = bindings.front().keycode;
    unsigned high = low;
    for (const TBinding& binding : bindings) {
        const int keycode = static_cast<int>(binding.keycode);
        const bool twoLevels = binding.shifted != 0;
        std::array<int, XkbNumKbdGroups> types{};
        types[XkbGroup1Index] = twoLevels ? XkbTwoLevelIndex : XkbOneLevelIndex;
        if (XkbChangeTypesOfKey(xkb.get(), keycode, 1, XkbGroup1Mask, types.data(), nullptr) != Success) {
            throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
        }
        KeySym* syms = XkbResizeKeySyms(xkb.get(), keycode, twoLevels ? 2 : 1);
        if (syms == nullptr) {
            throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
        }
        syms[0] = binding.plain;
        if (twoLevels) {
            syms[1] = binding.shifted;
        }
        low = std::min(low, binding.keycode);
        high = std::max(high, binding.keycode);
        FBound.insert(binding.keycode);
    }
    SendKeySyms(FDisplay, xkb.get(), low, high);
    ++FChanges;
}

void TX11KeymapBindings::Restore() {
    if (FBound.empty()) {
        return;
    }
    const TXkbDesc xkb = FetchKeymap(FDisplay);
    for (unsigned keycode : FBound) {
        XkbChangeTypesOfKey(xkb.get(), static_cast<int>(keycode), 0, XkbGroup1Mask, nullptr, nullptr);
    }
    SendKeySyms(FDisplay, xkb.get(), *FBound.begin(), *FBound.rbegin());
    XSync(FDisplay, False);
    FBound.clear();
    ++FChanges;
}

TX11LockReset::TX11LockReset(Display* display) : FDisplay(display) {
    XkbStateRec state{};
    if (XkbGetState(FDisplay, XkbUseCoreKbd, &state) != Success) {
        return;
    }
    FCapsLock = (state.locked_mods & LockMask) != 0;
    FGroup = state.locked_group;
    if (FCapsLock) {
        XkbLockModifiers(FDisplay, XkbUseCoreKbd, LockMask, 0);
    }
    if (FGroup != XkbGroup1Index) {
        XkbLockGroup(FDisplay, XkbUseCoreKbd, XkbGroup1Index);
    }
}

void TX11LockReset::End() {
    if (FEnded) {
        return;
    }
    FEnded = true;
    if (FCapsLock) {
        XkbLockModifiers(FDisplay, XkbUseCoreKbd, LockMask, LockMask);
    }
    if (FGroup != XkbGroup1Index) {
        XkbLockGroup(FDisplay, XkbUseCoreKbd, static_cast<unsigned>(FGroup));
    }
    XFlush(FDisplay);
}

TX11KeyboardState::TX11KeyboardState(Display* display, std::function<bool(std::chrono::milliseconds)> pause)
    : FDisplay(display), FPause(std::move(pause)) {
    const std::unique_ptr<XModifierKeymap, int (*)(XModifierKeymap*)> map(XGetModifierMapping(FDisplay),
                                                                          &XFreeModifiermap);
    if (!map) {
        return;
    }
    for (int i = 0; i < 8 * map->max_keypermod; ++i) {
        if (map->modifiermap[i] != 0) {
            FModifiers.insert(map->modifiermap[i]);
        }
    }
}

std::vector<unsigned> TX11KeyboardState::HeldKeys() {
    std::array<char, 32> bits{};
    XQueryKeymap(FDisplay, bits.data());
    std::vector<unsigned> held;
    for (unsigned keycode = 8; keycode < 256; ++keycode) {
        if ((static_cast<unsigned char>(bits[keycode / 8]) >> (keycode % 8)) & 1U) {
            held.push_back(keycode);
        }
    }
    return held;
}

void TX11KeyboardState::Release(unsigned keycode) {
    XTestFakeKeyEvent(FDisplay, keycode, False, CurrentTime);
    XSync(FDisplay, False);
}

} // namespace velmora
