#include "GSettingsShortcuts.h"

#include <gio/gio.h>

#include <string_view>
#include <utility>

namespace velmora {

namespace {

constexpr const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kCustomShortcut = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kCustomList = "custom-keybindings";
/// The schemas of the desktop's own shortcuts.
constexpr const char* kShortcutSchemas[] = {"org.gnome.desktop.wm.keybindings", "org.gnome.shell.keybindings",
                                            "org.gnome.mutter.keybindings", "org.gnome.mutter.wayland.keybindings",
                                            kMediaKeys};

struct TUnref {
    void operator()(GSettings* settings) const { g_object_unref(settings); }
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
    void operator()(gchar** strings) const { g_strfreev(strings); }
    void operator()(GVariant* value) const { g_variant_unref(value); }
};

std::unique_ptr<GSettingsSchema, TUnref> Schema(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return std::unique_ptr<GSettingsSchema, TUnref>(
        source != nullptr ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

std::unique_ptr<GSettings, TUnref> Shortcut(const std::string& path) {
    return std::unique_ptr<GSettings, TUnref>(g_settings_new_with_path(kCustomShortcut, path.c_str()));
}

} // namespace

void TGSettingsShortcuts::TSettingsUnref::operator()(void* settings) const {
    g_object_unref(settings);
}

bool TGSettingsShortcuts::Installed() {
    const auto mediaKeys = Schema(kMediaKeys);
    return mediaKeys && g_settings_schema_has_key(mediaKeys.get(), kCustomList) && Schema(kCustomShortcut);
}

TGSettingsShortcuts::TGSettingsShortcuts() : FMediaKeys(g_settings_new(kMediaKeys)) {
    g_settings_delay(static_cast<GSettings*>(FMediaKeys.get()));
}

void* TGSettingsShortcuts::Pending(const std::string& path) {
    TSettings& settings = FPending[path];
    if (!settings) {
        settings.reset(g_settings_new_with_path(kCustomShortcut, path.c_str()));
        g_settings_delay(static_cast<GSettings*>(settings.get()));
    }
    return settings.get();
}

TGSettingsShortcuts::~TGSettingsShortcuts() = default;

std::vector<std::string> TGSettingsShortcuts::Paths() {
    const std::unique_ptr<gchar*, TUnref> paths(
        g_settings_get_strv(static_cast<GSettings*>(FMediaKeys.get()), kCustomList));
    std::vector<std::string> result;
    for (gchar** path = paths.get(); *path != nullptr; ++path) {
        result.emplace_back(*path);
    }
    return result;
}

void TGSettingsShortcuts::SetPaths(const std::vector<std::string>& paths) {
    std::vector<const gchar*> strings;
    for (const std::string& path : paths) {
        strings.push_back(path.c_str());
    }
    strings.push_back(nullptr);
    g_settings_set_strv(static_cast<GSettings*>(FMediaKeys.get()), kCustomList, strings.data());
}

void TGSettingsShortcuts::Write(const std::string& path, const TCustomShortcut& shortcut) {
    auto* settings = static_cast<GSettings*>(Pending(path));
    FWritten[path] = shortcut;
    FRefused.erase(path);
    for (const auto& [key, value] : {std::pair{"name", &shortcut.name}, std::pair{"command", &shortcut.command},
                                     std::pair{"binding", &shortcut.binding}}) {
        if (!g_settings_set_string(settings, key, value->c_str())) {
            FRefused[path] = "GNOME's settings may not be changed here (the key " + path + key + " is locked)";
        }
    }
}

void TGSettingsShortcuts::Erase(const std::string& path) {
    auto* settings = static_cast<GSettings*>(Pending(path));
    FWritten.erase(path);
    FRefused.erase(path);
    for (const char* key : {"name", "command", "binding"}) {
        g_settings_reset(settings, key);
    }
}

std::string TGSettingsShortcuts::Binding(const std::string& path) {
    const auto settings = Shortcut(path);
    gchar* binding = g_settings_get_string(settings.get(), "binding");
    std::string result = binding != nullptr ? binding : "";
    g_free(binding);
    return result;
}

std::vector<std::string> TGSettingsShortcuts::DesktopAccelerators() {
    std::vector<std::string> accelerators;
    for (const char* id : kShortcutSchemas) {
        const auto schema = Schema(id);
        if (!schema) {
            continue;
        }
        const std::unique_ptr<GSettings, TUnref> settings(g_settings_new(id));
        const std::unique_ptr<gchar*, TUnref> keys(g_settings_schema_list_keys(schema.get()));
        for (gchar** key = keys.get(); *key != nullptr; ++key) {
            if (std::string_view(*key) == kCustomList) {
                continue;
            }
            const std::unique_ptr<GVariant, TUnref> value(g_settings_get_value(settings.get(), *key));
            if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
                accelerators.emplace_back(g_variant_get_string(value.get(), nullptr));
            } else if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING_ARRAY)) {
                const std::unique_ptr<const gchar*, decltype(&g_free)> strings(g_variant_get_strv(value.get(), nullptr),
                                                                               &g_free);
                for (const gchar** string = strings.get(); *string != nullptr; ++string) {
                    accelerators.emplace_back(*string);
                }
            }
        }
    }
    return accelerators;
}

std::map<std::string, std::string> TGSettingsShortcuts::Flush() {
    // The shortcuts' values first, the list that puts them in force after them, in one round to the settings.
    for (auto& [path, settings] : FPending) {
        g_settings_apply(static_cast<GSettings*>(settings.get()));
    }
    g_settings_apply(static_cast<GSettings*>(FMediaKeys.get()));
    g_settings_sync();
    FPending.clear();
    // A write the settings' service did not take is undone: what is read back now is what the desktop has.
    std::map<std::string, std::string> failed = std::exchange(FRefused, {});
    for (const auto& [path, written] : std::exchange(FWritten, {})) {
        const auto settings = Shortcut(path);
        const auto read = [&settings](const char* key) {
            const std::unique_ptr<gchar, decltype(&g_free)> value(g_settings_get_string(settings.get(), key), &g_free);
            return std::string(value ? value.get() : "");
        };
        if (!failed.contains(path) && (read("command") != written.command || read("binding") != written.binding)) {
            failed[path] = "GNOME's settings did not keep the shortcut (is the dconf service running?)";
        }
    }
    return failed;
}

} // namespace velmora
