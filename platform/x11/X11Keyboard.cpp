#include "X11Keyboard.h"

#include "X11Display.h"
#include "platform/PlatformError.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace velmora {

namespace {

struct TXkbFree {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }
};
using TXkbDesc = std::unique_ptr<XkbDescRec, TXkbFree>;

/// The keymap with every component a key's change may touch (its types, symbols, actions and behaviours).
TXkbDesc FetchKeymap(Display* display) {
    TXkbDesc xkb(XkbGetMap(display, XkbAllMapComponentsMask, XkbUseCoreKbd));
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

/// Gives the keycode of `xkb` one or two levels holding the binding's characters.
void SetKeySyms(XkbDescPtr xkb, const TBinding& binding) {
    const int keycode = static_cast<int>(binding.keycode);
    const bool twoLevels = binding.shifted != 0;
    std::array<int, XkbNumKbdGroups> types{};
    types[XkbGroup1Index] = twoLevels ? XkbTwoLevelIndex : XkbOneLevelIndex;
    if (XkbChangeTypesOfKey(xkb, keycode, 1, XkbGroup1Mask, types.data(), nullptr) != Success) {
        throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
    }
    KeySym* syms = XkbResizeKeySyms(xkb, keycode, twoLevels ? 2 : 1);
    if (syms == nullptr) {
        throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
    }
    syms[0] = binding.plain;
    if (twoLevels) {
        syms[1] = binding.shifted;
    }
}

/// Takes every symbol from the keycode again.
void EmptyKey(XkbDescPtr xkb, unsigned keycode) {
    XkbChangeTypesOfKey(xkb, static_cast<int>(keycode), 0, XkbGroup1Mask, nullptr, nullptr);
}

/// What the keycode holds now, in the form of a binding (a keycode with one group of one or two levels).
std::optional<TBinding> HeldBinding(XkbDescPtr xkb, unsigned keycode) {
    const int code = static_cast<int>(keycode);
    if (code < xkb->min_key_code || code > xkb->max_key_code || XkbKeyNumGroups(xkb, code) != 1) {
        return std::nullopt;
    }
    const int width = XkbKeyGroupWidth(xkb, code, 0);
    if (width < 1 || width > 2) {
        return std::nullopt;
    }
    TBinding held{keycode, static_cast<KeysymValue>(XkbKeySymEntry(xkb, code, 0, 0)), 0};
    if (width == 2) {
        held.shifted = static_cast<KeysymValue>(XkbKeySymEntry(xkb, code, 1, 0));
    }
    return held;
}

/// The root window property that lists what the typist has bound: keycode, plain and shifted keysym for each.
Atom RecordAtom(Display* display) {
    return XInternAtom(display, "_VELMORA_TYPIST_BINDINGS", False);
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

TX11KeymapBindings::TX11KeymapBindings(Display* display) : FDisplay(display), FRecord(RecordAtom(display)) {}

TX11KeymapBindings::~TX11KeymapBindings() {
    try {
        std::vector<unsigned> keycodes;
        for (const auto& [keycode, binding] : FBound) {
            keycodes.push_back(keycode);
        }
        Unbind(keycodes);
    } catch (...) {
        // The connection is going; the record on the root window lets the next start put the keys back.
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
        SetKeySyms(xkb.get(), binding);
        FBound[binding.keycode] = binding;
        low = std::min(low, binding.keycode);
        high = std::max(high, binding.keycode);
    }
    Record(); // before the change: whatever happens next, the record covers it
    SendKeySyms(FDisplay, xkb.get(), low, high);
    ++FChanges;
}

void TX11KeymapBindings::Unbind(const std::vector<unsigned>& keycodes) {
    std::vector<unsigned> ours;
    for (const unsigned keycode : keycodes) {
        if (FBound.count(keycode) != 0) {
            ours.push_back(keycode);
        }
    }
    if (ours.empty()) {
        return;
    }
    const TXkbDesc xkb = FetchKeymap(FDisplay);
    for (const unsigned keycode : ours) {
        EmptyKey(xkb.get(), keycode);
        FBound.erase(keycode);
    }
    const auto [low, high] = std::minmax_element(ours.begin(), ours.end());
    SendKeySyms(FDisplay, xkb.get(), *low, *high);
    Record();
    XSync(FDisplay, False);
    ++FChanges;
}

void TX11KeymapBindings::Record() {
    const Window root = DefaultRootWindow(FDisplay);
    if (FBound.empty()) {
        XDeleteProperty(FDisplay, root, FRecord);
        return;
    }
    std::vector<long> values; // format 32 goes as longs
    for (const auto& [keycode, binding] : FBound) {
        values.insert(values.end(), {static_cast<long>(keycode), static_cast<long>(binding.plain),
                                     static_cast<long>(binding.shifted)});
    }
    XChangeProperty(FDisplay, root, FRecord, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

std::size_t RestoreAbandonedBindings(Display* display) {
    const Window root = DefaultRootWindow(display);
    const Atom record = RecordAtom(display);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, root, record, 0, 3 * 256, True, XA_INTEGER, &type, &format, &count, &after, &raw) !=
        Success) {
        return 0;
    }
    const std::unique_ptr<unsigned char, TXFree> data(raw);
    if (type != XA_INTEGER || format != 32 || !data) {
        return 0;
    }
    const auto* values = reinterpret_cast<const long*>(data.get());
    const TXkbDesc xkb = FetchKeymap(display);
    std::vector<unsigned> restored;
    for (unsigned long i = 0; i + 2 < count; i += 3) {
        const TBinding recorded{static_cast<unsigned>(values[i]), static_cast<KeysymValue>(values[i + 1]),
                                static_cast<KeysymValue>(values[i + 2])};
        // A key that holds something else now was changed since by someone else: it is theirs.
        if (HeldBinding(xkb.get(), recorded.keycode) == recorded) {
            EmptyKey(xkb.get(), recorded.keycode);
            restored.push_back(recorded.keycode);
        }
    }
    if (!restored.empty()) {
        const auto [low, high] = std::minmax_element(restored.begin(), restored.end());
        SendKeySyms(display, xkb.get(), *low, *high);
    }
    XSync(display, False);
    return restored.size();
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

TX11KeyboardState::TX11KeyboardState(Display* display, std::vector<unsigned> hotkeyKeys,
                                     std::function<bool(std::chrono::milliseconds)> pause)
    : FDisplay(display), FHotkeyKeys(std::move(hotkeyKeys)), FPause(std::move(pause)) {
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
    return HeldIn(reinterpret_cast<const std::uint8_t*>(bits.data()));
}

std::vector<unsigned> TX11KeyboardState::HeldIn(const std::uint8_t* bits) {
    std::vector<unsigned> held;
    std::set<unsigned> stillAround;
    for (unsigned keycode = 8; keycode < 256; ++keycode) {
        if (((bits[keycode / 8] >> (keycode % 8)) & 1U) == 0) {
            continue;
        }
        if (FAround.count(keycode) != 0) {
            stillAround.insert(keycode);
        } else {
            held.push_back(keycode);
        }
    }
    FAround = std::move(stillAround);
    return held;
}

bool TX11KeyboardState::MayRelease(unsigned keycode) {
    return IsModifier(keycode) || std::find(FHotkeyKeys.begin(), FHotkeyKeys.end(), keycode) != FHotkeyKeys.end();
}

void TX11KeyboardState::Release(unsigned keycode) {
    XTestFakeKeyEvent(FDisplay, keycode, False, CurrentTime);
    XSync(FDisplay, False);
}

} // namespace velmora
