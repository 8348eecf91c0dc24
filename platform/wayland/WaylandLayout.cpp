#include "WaylandLayout.h"

#include "XkbHandles.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace velmora {

namespace {

struct TWaylandDeleter {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
    void operator()(wl_seat* seat) const { wl_seat_destroy(seat); }
    void operator()(wl_keyboard* keyboard) const { wl_keyboard_destroy(keyboard); }
};

/// What the listeners gather.
struct TLayoutState {
    wl_seat* seat = nullptr;
    std::uint32_t capabilities = 0;
    std::optional<std::string> keymap;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* state = static_cast<TLayoutState*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && state->seat == nullptr) {
        state->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

void Capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    static_cast<TLayoutState*>(data)->capabilities = capabilities;
}

void Keymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            const char* text = static_cast<const char*>(mapped);
            static_cast<TLayoutState*>(data)->keymap = std::string(text, strnlen(text, size));
            munmap(mapped, size);
        }
    }
    close(fd);
}
void Enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void Leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void Key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void Modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}

} // namespace

std::optional<std::string> DefaultLayoutKeymap() {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return std::nullopt;
    }
    const TXkbKeymap keymap(xkb_keymap_new_from_names(context.get(), nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return std::nullopt;
    }
    const std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    return text ? std::optional<std::string>(text.get()) : std::nullopt;
}

std::uint32_t UnboundKeycode(const std::string& keymapText) {
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const TXkbKeymap keymap(context ? xkb_keymap_new_from_string(context.get(), keymapText.c_str(),
                                                                 XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)
                                    : nullptr);
    if (!keymap) {
        return 0;
    }
    // XKB key codes are evdev codes + 8.
    for (xkb_keycode_t key = std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap.get()), 9);
         key <= xkb_keymap_max_keycode(keymap.get()); ++key) {
        if (xkb_keymap_key_get_name(keymap.get(), key) == nullptr) {
            continue;
        }
        bool bound = false;
        for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap.get(), key, 0); ++level) {
            const xkb_keysym_t* syms = nullptr;
            bound = bound || xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, level, &syms) > 0;
        }
        if (!bound) {
            return key - 8;
        }
    }
    return 0;
}

std::set<std::uint32_t> KeymapKeysyms(const std::string& keymapText) {
    std::set<std::uint32_t> keysyms;
    const TXkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) {
        return keysyms;
    }
    const TXkbKeymap keymap(xkb_keymap_new_from_string(context.get(), keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        return keysyms;
    }
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap.get()); key <= xkb_keymap_max_keycode(keymap.get()); ++key) {
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap.get(), key, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), key, 0, level, &syms);
            keysyms.insert(syms, syms + count);
        }
    }
    return keysyms;
}

std::optional<std::string> ReadLayoutKeymap() {
    const std::unique_ptr<wl_display, TWaylandDeleter> display(wl_display_connect(nullptr));
    if (!display) {
        return std::nullopt;
    }
    TLayoutState state;
    const std::unique_ptr<wl_registry, TWaylandDeleter> registry(wl_display_get_registry(display.get()));
    static const wl_registry_listener registryListener = {&Global, &GlobalRemove};
    wl_registry_add_listener(registry.get(), &registryListener, &state);
    wl_display_roundtrip(display.get());
    const std::unique_ptr<wl_seat, TWaylandDeleter> seat(state.seat);
    if (!seat) {
        return std::nullopt;
    }
    static const wl_seat_listener seatListener = {&Capabilities, nullptr};
    wl_seat_add_listener(seat.get(), &seatListener, &state);
    wl_display_roundtrip(display.get());
    if ((state.capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0) {
        // No keyboard yet (a headless or remote session): the layout a keyboard would get by default.
        return DefaultLayoutKeymap();
    }
    const std::unique_ptr<wl_keyboard, TWaylandDeleter> keyboard(wl_seat_get_keyboard(seat.get()));
    static const wl_keyboard_listener keyboardListener = {&Keymap, &Enter, &Leave, &Key, &Modifiers, nullptr};
    wl_keyboard_add_listener(keyboard.get(), &keyboardListener, &state);
    wl_display_roundtrip(display.get());
    return state.keymap;
}

std::optional<std::set<std::uint32_t>> ReadLayoutKeysyms() {
    const std::optional<std::string> keymap = ReadLayoutKeymap();
    std::set<std::uint32_t> keysyms = keymap ? KeymapKeysyms(*keymap) : std::set<std::uint32_t>();
    if (keysyms.empty()) {
        return std::nullopt;
    }
    return keysyms;
}

} // namespace velmora
