#include "X11Keyboard.h"

#include "X11Display.h"
#include "platform/Keysyms.h"
#include "platform/PlatformError.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdint>
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

/// The level of the key type that these modifiers select.
int LevelOf(const XkbKeyTypeRec& type, unsigned modifiers) {
    const unsigned relevant = modifiers & type.mods.mask;
    for (int i = 0; i < type.map_count; ++i) {
        const XkbKTMapEntryRec& entry = type.map[i];
        if (entry.active && entry.mods.mask == relevant) {
            return entry.level;
        }
    }
    return 0;
}

/// The group of the key that a keyboard group selects (a key with fewer groups wraps, clamps or redirects it); -1
/// for a key without symbols.
int KeyGroup(XkbDescPtr xkb, int keycode, unsigned group) {
    const int groups = XkbKeyNumGroups(xkb, keycode);
    if (groups == 0) {
        return -1;
    }
    if (static_cast<int>(group) < groups) {
        return static_cast<int>(group);
    }
    const unsigned char info = XkbKeyGroupInfo(xkb, keycode);
    switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange:
        return groups - 1;
    case XkbRedirectIntoRange:
        return XkbOutOfRangeGroupNumber(info) < groups ? XkbOutOfRangeGroupNumber(info) : 0;
    default:
        return static_cast<int>(group) % groups;
    }
}

/// What the key types in the keyboard group with these modifiers down (NoSymbol for nothing).
KeySym KeysymAt(XkbDescPtr xkb, int keycode, unsigned group, unsigned modifiers) {
    const int keyGroup = KeyGroup(xkb, keycode, group);
    if (keyGroup < 0) {
        return NoSymbol;
    }
    const int level = LevelOf(*XkbKeyKeyType(xkb, keycode, keyGroup), modifiers);
    return level < XkbKeyGroupWidth(xkb, keycode, keyGroup) ? XkbKeySymEntry(xkb, keycode, level, keyGroup) : NoSymbol;
}

/// The layout's Level3 shift: the modifiers that a key of ISO_Level3_Shift sets (AltGr on layouts that have one),
/// and a key type whose four levels are plain, Shift, Level3 and both (0 when the map has none). Modifiers that
/// programs read as a shortcut (Control, Alt, Super) or as Caps Lock do not count.
struct TLevel3 {
    unsigned modifiers = 0;
    int fourLevelType = 0;
};

TLevel3 FindLevel3(XkbDescPtr xkb) {
    constexpr unsigned kNotLevel3 = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod4Mask;
    TLevel3 found;
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code && found.modifiers == 0; ++keycode) {
        if (KeysymAt(xkb, keycode, 0, 0) != XK_ISO_Level3_Shift || !XkbKeyHasActions(xkb, keycode)) {
            continue;
        }
        const XkbAction* action = XkbKeyActionEntry(xkb, keycode, 0, 0);
        if (action->type == XkbSA_SetMods && action->mods.mask != 0 && (action->mods.mask & kNotLevel3) == 0) {
            found.modifiers = action->mods.mask;
        }
    }
    for (int t = 0; t < xkb->map->num_types && found.modifiers != 0; ++t) {
        const XkbKeyTypeRec& type = xkb->map->types[t];
        if (type.num_levels == 4 && type.mods.mask == (ShiftMask | found.modifiers) && LevelOf(type, 0) == 0 &&
            LevelOf(type, ShiftMask) == 1 && LevelOf(type, found.modifiers) == 2 &&
            LevelOf(type, ShiftMask | found.modifiers) == 3) {
            found.fourLevelType = t;
            break;
        }
    }
    return found;
}

/// Sends the symbols of keycodes [low, high] of `xkb` to the server: one keymap change.
void SendKeySyms(Display* display, XkbDescPtr xkb, unsigned low, unsigned high) {
    XkbMapChangesRec changes{};
    changes.changed = XkbKeySymsMask;
    changes.first_key_sym = static_cast<KeyCode>(low);
    changes.num_key_syms = static_cast<unsigned char>(high - low + 1);
    XkbChangeMap(display, xkb, &changes);
}

/// Gives the keycode of `xkb` the binding's groups, each with the levels the binding needs.
void SetKeySyms(XkbDescPtr xkb, const TBinding& binding, int fourLevelType) {
    const int keycode = static_cast<int>(binding.keycode);
    const unsigned groups = std::max(binding.Groups(), 1U);
    const unsigned levels = binding.Levels();
    const int typeIndex = levels == 4 ? fourLevelType : levels == 2 ? XkbTwoLevelIndex : XkbOneLevelIndex;
    if (typeIndex == 0 && levels == 4) {
        throw PlatformError("Cannot type: the keyboard map has no key type for the Level3 shift any more.");
    }
    std::array<int, XkbNumKbdGroups> types{};
    types.fill(typeIndex);
    if (XkbChangeTypesOfKey(xkb, keycode, static_cast<int>(groups), (1U << groups) - 1, types.data(), nullptr) !=
        Success) {
        throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
    }
    KeySym* syms = XkbResizeKeySyms(xkb, keycode, static_cast<int>(groups * levels));
    if (syms == nullptr || XkbKeyGroupsWidth(xkb, keycode) != static_cast<int>(levels)) {
        throw PlatformError("Cannot type: a free key of the keyboard map cannot be bound.");
    }
    for (unsigned group = 0; group < groups; ++group) {
        for (unsigned level = 0; level < levels; ++level) {
            syms[group * levels + level] = binding.At(group, level);
        }
    }
}

/// Takes every symbol from the keycode again, as a keycode without symbols has none of the width it had.
void EmptyKey(XkbDescPtr xkb, unsigned keycode) {
    XkbChangeTypesOfKey(xkb, static_cast<int>(keycode), 0, XkbGroup1Mask, nullptr, nullptr);
    xkb->map->key_sym_map[keycode].width = 0;
}

/// What the keycode holds now, in the form of a binding; none when it holds more than a binding can.
std::optional<TBinding> HeldBinding(XkbDescPtr xkb, unsigned keycode) {
    const int code = static_cast<int>(keycode);
    if (code < xkb->min_key_code || code > xkb->max_key_code) {
        return std::nullopt;
    }
    const int groups = XkbKeyNumGroups(xkb, code);
    const int width = XkbKeyGroupsWidth(xkb, code);
    if (groups < 1 || groups > static_cast<int>(kKeyGroups) || width > static_cast<int>(kKeyLevels)) {
        return std::nullopt;
    }
    TBinding held{keycode};
    for (int group = 0; group < groups; ++group) {
        for (int level = 0; level < XkbKeyGroupWidth(xkb, code, group); ++level) {
            held.At(group, level) = static_cast<KeysymValue>(XkbKeySymEntry(xkb, code, level, group));
        }
    }
    return held;
}

/// The root window property that lists what the typist has bound: for each keycode, the keycode and the keysyms of
/// every group and level (TBinding::keysyms).
Atom RecordAtom(Display* display) {
    return XInternAtom(display, "_VELMORA_TYPIST_KEYS", False);
}

/// The record of earlier versions, which bound two levels of one group: keycode, plain and shifted keysym.
Atom TwoLevelRecordAtom(Display* display) {
    return XInternAtom(display, "_VELMORA_TYPIST_BINDINGS", False);
}

/// Whether XQueryKeymap's bits show the key down.
bool KeyDown(const std::uint8_t* bits, unsigned keycode) {
    return ((bits[keycode / 8] >> (keycode % 8)) & 1U) != 0;
}

/// Lets go of those of the keys that are down.
void ReleaseDown(Display* display, const std::vector<unsigned>& keycodes) {
    std::array<char, 32> bits{};
    XQueryKeymap(display, bits.data());
    for (const unsigned keycode : keycodes) {
        if (KeyDown(reinterpret_cast<const std::uint8_t*>(bits.data()), keycode)) {
            XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        }
    }
}

constexpr unsigned long kRecordStride = 1 + kKeyGroups * kKeyLevels;
constexpr unsigned long kTwoLevelRecordStride = 3;

/// Reads and deletes a record: each entry is `stride` values, a keycode and the first keysyms of its binding.
std::vector<TBinding> TakeRecord(Display* display, Atom record, unsigned long stride) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), record, 0, static_cast<long>(stride * 256), True,
                           XA_INTEGER, &type, &format, &count, &after, &raw) != Success) {
        return {};
    }
    const std::unique_ptr<unsigned char, TXFree> data(raw);
    if (type != XA_INTEGER || format != 32 || !data) {
        return {};
    }
    const auto* values = reinterpret_cast<const long*>(data.get());
    std::vector<TBinding> bindings;
    for (unsigned long i = 0; i + stride <= count; i += stride) {
        TBinding binding{static_cast<unsigned>(values[i])};
        for (unsigned long k = 1; k < stride; ++k) {
            binding.keysyms[k - 1] = static_cast<KeysymValue>(values[i + k]);
        }
        bindings.push_back(binding);
    }
    return bindings;
}

} // namespace

TKeyboardLayout ReadKeyboardLayout(Display* display) {
    const TXkbDesc xkb = FetchKeymap(display);
    TKeyboardLayout layout;
    const TLevel3 level3 = FindLevel3(xkb.get());
    XkbStateRec state{};
    unsigned lockedModifiers =
        0; // Num Lock may choose a level; Caps Lock is off while typing, the typist sets the rest
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
        layout.activeGroup = state.group; // the locked one as it takes effect on the layout's groups
        lockedModifiers = state.locked_mods & ~(LockMask | ShiftMask | level3.modifiers);
    }
    const std::array<unsigned, kKeyLevels> levelModifiers = {0, ShiftMask, level3.modifiers,
                                                             ShiftMask | level3.modifiers};
    for (int keycode = xkb->min_key_code; keycode <= xkb->max_key_code; ++keycode) {
        const auto code = static_cast<unsigned>(keycode);
        const unsigned char modifiers = xkb->map->modmap != nullptr ? xkb->map->modmap[keycode] : 0;
        const int groups = XkbKeyNumGroups(xkb.get(), keycode);
        if (groups == 0) {
            if (modifiers == 0) {
                layout.freeKeycodes.push_back(code);
            }
            continue;
        }
        for (int group = 0; group < groups && group < static_cast<int>(kKeyGroups); ++group) {
            TLayoutKey key{code, static_cast<unsigned>(group)};
            for (unsigned level = 0; level < kKeyLevels; ++level) {
                if (level < 2 || level3.modifiers != 0) {
                    key.levels[level] = AsCharacterKeysym(static_cast<KeysymValue>(
                        KeysymAt(xkb.get(), keycode, group, levelModifiers[level] | lockedModifiers)));
                }
            }
            layout.keys.push_back(key);
        }
    }
    layout.level3Modifiers = level3.modifiers;
    layout.fourLevelKeys = level3.fourLevelType != 0;
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
    const int fourLevelType = FindLevel3(xkb.get()).fourLevelType;
    unsigned low = bindings.front().keycode;
    unsigned high = low;
    for (const TBinding& binding : bindings) {
        SetKeySyms(xkb.get(), binding, fourLevelType);
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
        values.push_back(static_cast<long>(keycode));
        values.insert(values.end(), binding.keysyms.begin(), binding.keysyms.end());
    }
    XChangeProperty(FDisplay, root, FRecord, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

std::size_t RestoreAbandonedBindings(Display* display) {
    std::vector<TBinding> recorded = TakeRecord(display, RecordAtom(display), kRecordStride);
    for (const TBinding& binding : TakeRecord(display, TwoLevelRecordAtom(display), kTwoLevelRecordStride)) {
        recorded.push_back(binding);
    }
    if (recorded.empty()) {
        return 0; // the usual case: no keymap to fetch
    }
    const TXkbDesc xkb = FetchKeymap(display);
    std::vector<unsigned> restored;
    for (const TBinding& binding : recorded) {
        // A key that holds something else now was changed since by someone else: it is theirs.
        if (HeldBinding(xkb.get(), binding.keycode) == binding) {
            EmptyKey(xkb.get(), binding.keycode);
            restored.push_back(binding.keycode);
        }
    }
    if (!restored.empty()) {
        const auto [low, high] = std::minmax_element(restored.begin(), restored.end());
        SendKeySyms(display, xkb.get(), *low, *high);
        // A copy killed between a key's press and its release left that key down, and nobody else lets go of it:
        // each text would first wait for it, then type around it. Empty now, it is let go of.
        ReleaseDown(display, restored);
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
    if (FCapsLock) {
        XkbLockModifiers(FDisplay, XkbUseCoreKbd, LockMask, 0);
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
        if (!KeyDown(bits, keycode)) {
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
