// Presses keys on KWin through its fake-input protocol, as a keyboard of the test would: each argument is one
// combination of evdev key codes joined by "+" ("56+20": Alt+T), pressed in order and released in reverse; or
// "down:CODE" / "up:CODE", one key held down or let go of; or "until:FILE", which waits until FILE exists. KWin
// offers the protocol only to an executable that a desktop entry of the user names with
// X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input.
//
//   velmora_fake_input_keys ARGUMENT...
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

org_kde_kwin_fake_input* FakeInput = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        FakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

const wl_registry_listener RegistryListener = {Global, [](void*, wl_registry*, uint32_t) {}};

} // namespace

int main(int argc, char** argv) {
    struct TStep {
        std::vector<unsigned> keys;
        bool down = true, up = true;
        std::string until;
    };
    std::vector<TStep> steps; // all read before the first key, so that a wrong one presses nothing
    for (int i = 1; i < argc; ++i) {
        TStep& step = steps.emplace_back();
        const std::string argument = argv[i];
        if (argument.rfind("until:", 0) == 0) {
            step.until = argument.substr(6);
            continue;
        }
        step.down = argument.rfind("up:", 0) != 0;
        step.up = argument.rfind("down:", 0) != 0;
        std::istringstream parts(argument.substr(argument.find(':') + 1)); // npos + 1: the whole argument
        for (unsigned code = 0; parts >> code; parts.ignore(1)) {
            step.keys.push_back(code);
        }
        if (step.keys.empty() || !parts.eof()) {
            std::fprintf(stderr, "velmora_fake_input_keys: not key codes: \"%s\"\n", argv[i]);
            return 2;
        }
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velmora_fake_input_keys: no Wayland display\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, nullptr);
    wl_display_roundtrip(display);
    if (FakeInput == nullptr) {
        std::fprintf(stderr, "velmora_fake_input_keys: the compositor offers this program no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(FakeInput, "velmora tests", "keys of the end-to-end tests");
    for (const TStep& step : steps) {
        while (!step.until.empty() && access(step.until.c_str(), F_OK) != 0) {
            usleep(20000); // another process's file: nothing to wait on but the file itself
        }
        for (std::size_t k = 0; step.down && k < step.keys.size(); ++k) {
            org_kde_kwin_fake_input_keyboard_key(FakeInput, step.keys[k], WL_KEYBOARD_KEY_STATE_PRESSED);
        }
        for (std::size_t k = step.keys.size(); step.up && k > 0; --k) {
            org_kde_kwin_fake_input_keyboard_key(FakeInput, step.keys[k - 1], WL_KEYBOARD_KEY_STATE_RELEASED);
        }
        wl_display_roundtrip(display);
    }
    org_kde_kwin_fake_input_destroy(FakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
