#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace velmora {

/// A connection to the Wayland compositor with one virtual keyboard on its first seat. Used by one thread at a time.
class TWaylandKeyboard {
public:
    /// Connects to $WAYLAND_DISPLAY; throws PlatformError when there is no compositor or it offers no virtual
    /// keyboard.
    TWaylandKeyboard();
    ~TWaylandKeyboard();
    TWaylandKeyboard(const TWaylandKeyboard&) = delete;
    TWaylandKeyboard& operator=(const TWaylandKeyboard&) = delete;

    /// Hands the compositor a keymap (XKB text format); the keys sent after it are read with it.
    void UploadKeymap(const std::string& keymap);
    /// Presses and releases one key (evdev code).
    void Tap(std::uint32_t key);
    /// Presses or releases one key (evdev code).
    void Key(std::uint32_t key, bool pressed);
    /// Tells the modifiers now held (the keymap's modifier mask).
    void Modifiers(std::uint32_t depressed);
    /// Sends what is queued and waits until the compositor has handled it; throws PlatformError when the connection
    /// broke or the compositor refused a request.
    void Sync();

private:
    struct TDisplayCloser {
        void operator()(wl_display* display) const;
    };
    struct TProxyDestroyer {
        void operator()(wl_registry* registry) const;
        void operator()(wl_seat* seat) const;
        void operator()(zwp_virtual_keyboard_manager_v1* manager) const;
        void operator()(zwp_virtual_keyboard_v1* keyboard) const;
    };
    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    std::uint32_t Now() const;

    std::unique_ptr<wl_display, TDisplayCloser> FDisplay;
    std::unique_ptr<wl_registry, TProxyDestroyer> FRegistry;
    std::unique_ptr<wl_seat, TProxyDestroyer> FSeat;
    std::unique_ptr<zwp_virtual_keyboard_manager_v1, TProxyDestroyer> FManager;
    std::unique_ptr<zwp_virtual_keyboard_v1, TProxyDestroyer> FKeyboard; // last: destroyed first
};

} // namespace velmora
