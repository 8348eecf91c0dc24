#include "WaylandKeyboard.h"

#include "core/UniqueFd.h"
#include "platform/PlatformError.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace velmora {

namespace {

/// The registry's globals that the keyboard needs, gathered during the first round trip.
struct TGlobals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
};

} // namespace

void TWaylandKeyboard::TDisplayCloser::operator()(wl_display* display) const {
    wl_display_disconnect(display);
}
void TWaylandKeyboard::TProxyDestroyer::operator()(wl_registry* registry) const {
    wl_registry_destroy(registry);
}
void TWaylandKeyboard::TProxyDestroyer::operator()(wl_seat* seat) const {
    wl_seat_destroy(seat);
}
void TWaylandKeyboard::TProxyDestroyer::operator()(zwp_virtual_keyboard_manager_v1* manager) const {
    zwp_virtual_keyboard_manager_v1_destroy(manager);
}
void TWaylandKeyboard::TProxyDestroyer::operator()(zwp_virtual_keyboard_v1* keyboard) const {
    zwp_virtual_keyboard_v1_destroy(keyboard);
}

void TWaylandKeyboard::Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                              std::uint32_t /*version*/) {
    auto* globals = static_cast<TGlobals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr) {
        globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
               globals->manager == nullptr) {
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void TWaylandKeyboard::GlobalRemove(void*, wl_registry*, std::uint32_t) {}

TWaylandKeyboard::TWaylandKeyboard() : FDisplay(wl_display_connect(nullptr)) {
    if (!FDisplay) {
        throw PlatformError(
            "Cannot connect to the Wayland compositor (WAYLAND_DISPLAY): " + std::string(std::strerror(errno)) + ".");
    }
    FRegistry.reset(wl_display_get_registry(FDisplay.get()));
    static const wl_registry_listener listener = {&TWaylandKeyboard::Global, &TWaylandKeyboard::GlobalRemove};
    TGlobals globals;
    wl_registry_add_listener(FRegistry.get(), &listener, &globals);
    const int done = wl_display_roundtrip(FDisplay.get());
    FSeat.reset(globals.seat);
    FManager.reset(globals.manager);
    if (done < 0) {
        throw PlatformError("The Wayland compositor closed the connection while Velmora asked what it offers.");
    }
    if (!FManager) {
        throw PlatformError("The Wayland compositor offers no virtual keyboard (zwp_virtual_keyboard_manager_v1).");
    }
    if (!FSeat) {
        throw PlatformError("The Wayland compositor has no seat to type on.");
    }
    FKeyboard.reset(zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(FManager.get(), FSeat.get()));
    Sync();
}

TWaylandKeyboard::~TWaylandKeyboard() {
    FKeyboard.reset();
    if (FDisplay) {
        wl_display_flush(FDisplay.get());
    }
}

void TWaylandKeyboard::UploadKeymap(const std::string& keymap) {
    const TFd file(memfd_create("velmora-keymap", MFD_CLOEXEC));
    if (file.Get() < 0) {
        throw PlatformError("Cannot make room for a keymap: " + std::string(std::strerror(errno)) + ".");
    }
    const std::size_t size = keymap.size() + 1; // with its terminating zero, as keymap readers expect
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(file.Get(), keymap.c_str() + written, size - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw PlatformError("Cannot write a keymap: " + std::string(std::strerror(errno)) + ".");
        }
        written += static_cast<std::size_t>(n);
    }
    zwp_virtual_keyboard_v1_keymap(FKeyboard.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.Get(),
                                   static_cast<std::uint32_t>(size));
    zwp_virtual_keyboard_v1_modifiers(FKeyboard.get(), 0, 0, 0, 0);
    Sync(); // the descriptor is sent with the flush; it may be closed after that
}

void TWaylandKeyboard::Tap(std::uint32_t key) {
    const std::uint32_t time = Now();
    zwp_virtual_keyboard_v1_key(FKeyboard.get(), time, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(FKeyboard.get(), time, key, WL_KEYBOARD_KEY_STATE_RELEASED);
}

void TWaylandKeyboard::Key(std::uint32_t key, bool pressed) {
    zwp_virtual_keyboard_v1_key(FKeyboard.get(), Now(), key,
                                pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void TWaylandKeyboard::Modifiers(std::uint32_t depressed) {
    zwp_virtual_keyboard_v1_modifiers(FKeyboard.get(), depressed, 0, 0, 0);
}

void TWaylandKeyboard::Sync() {
    if (wl_display_roundtrip(FDisplay.get()) < 0) {
        const int error = wl_display_get_error(FDisplay.get());
        throw PlatformError("The Wayland compositor ended the virtual keyboard's connection (" +
                            std::string(std::strerror(error)) + ").");
    }
}

std::uint32_t TWaylandKeyboard::Now() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace velmora
