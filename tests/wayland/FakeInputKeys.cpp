// Presses keys on KWin through its fake-input protocol, as a keyboard of the test would: each argument is one
// combination ("alt+t", "ctrl+F8", "z"), pressed in order and released in reverse; or "down:KEY" / "up:KEY", one
// key held down or let go of; or "until:FILE", which waits until FILE exists. KWin offers the protocol only to an
// executable that a desktop entry of the user names with X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input.
//
//   velmora_fake_input_keys ARGUMENT...
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <linux/input-event-codes.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::optional<unsigned> KeyCode(const std::string& name) {
    static const std::map<std::string, unsigned> named = {
        {"ctrl", KEY_LEFTCTRL}, {"alt", KEY_LEFTALT}, {"shift", KEY_LEFTSHIFT}, {"F11", KEY_F11}, {"F12", KEY_F12}};
    if (const auto found = named.find(name); found != named.end()) {
        return found->second;
    }
    if (name.size() > 1 && name[0] == 'F' && name.find_first_not_of("0123456789", 1) == std::string::npos &&
        std::stoi(name.substr(1)) >= 1 && std::stoi(name.substr(1)) <= 10) {
        return KEY_F1 + static_cast<unsigned>(std::stoi(name.substr(1)) - 1); // F1-F10 follow each other
    }
    // Letters and digits by their place on a US keyboard.
    static const char* const rows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static const unsigned firsts[] = {KEY_1, KEY_Q, KEY_A, KEY_Z};
    if (name.size() == 1) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        for (int row = 0; row < 4; ++row) {
            if (const char* at = std::strchr(rows[row], c); at != nullptr && c != '\0') {
                return firsts[row] + static_cast<unsigned>(at - rows[row]);
            }
        }
    }
    return std::nullopt;
}

org_kde_kwin_fake_input* FakeInput = nullptr;

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        FakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
    }
}

void GlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener = {Global, GlobalRemove};

} // namespace

int main(int argc, char** argv) {
    struct TStep {
        std::vector<unsigned> keys;
        int only = 0; ///< 1: the key goes down only, -1: up only
        std::string until;
    };
    std::vector<TStep> steps;
    for (int i = 1; i < argc; ++i) {
        TStep step;
        std::string argument = argv[i];
        if (argument.rfind("until:", 0) == 0) {
            step.until = argument.substr(6);
            steps.push_back(step);
            continue;
        }
        for (const auto& [prefix, only] : {std::pair<std::string, int>{"down:", 1}, {"up:", -1}}) {
            if (argument.rfind(prefix, 0) == 0) {
                step.only = only;
                argument.erase(0, prefix.size());
            }
        }
        std::vector<unsigned>& keys = step.keys;
        std::istringstream parts(argument);
        for (std::string part; std::getline(parts, part, '+');) {
            const std::optional<unsigned> code = KeyCode(part);
            if (!code) {
                std::fprintf(stderr, "velmora_fake_input_keys: unknown key \"%s\"\n", part.c_str());
                return 2;
            }
            keys.push_back(*code);
        }
        steps.push_back(step);
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
        if (step.only >= 0) {
            for (const unsigned key : step.keys) {
                org_kde_kwin_fake_input_keyboard_key(FakeInput, key, WL_KEYBOARD_KEY_STATE_PRESSED);
            }
        }
        if (step.only <= 0) {
            for (auto key = step.keys.rbegin(); key != step.keys.rend(); ++key) {
                org_kde_kwin_fake_input_keyboard_key(FakeInput, *key, WL_KEYBOARD_KEY_STATE_RELEASED);
            }
        }
        wl_display_roundtrip(display);
    }
    org_kde_kwin_fake_input_destroy(FakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
