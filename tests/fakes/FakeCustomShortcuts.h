#pragma once

#include "platform/gnome/CustomShortcuts.h"

#include <map>
#include <string>
#include <vector>

namespace velmora {

/// The desktop's custom shortcuts in memory; the test sees and sets what is stored.
class FakeCustomShortcuts final : public ICustomShortcuts {
public:
    struct TStore {
        std::vector<std::string> paths;               ///< the list in force
        std::map<std::string, TCustomShortcut> saved; ///< the values under each path
        std::vector<std::string> desktop;             ///< the desktop's own accelerators
    };
    explicit FakeCustomShortcuts(TStore& store) : FStore(store) {}

    std::vector<std::string> Paths() override { return FStore.paths; }
    void SetPaths(const std::vector<std::string>& paths) override { FStore.paths = paths; }
    void Write(const std::string& path, const TCustomShortcut& shortcut) override { FStore.saved[path] = shortcut; }
    void Erase(const std::string& path) override { FStore.saved.erase(path); }
    std::string Binding(const std::string& path) override {
        return FStore.saved.count(path) != 0 ? FStore.saved.at(path).binding : std::string();
    }
    std::vector<std::string> DesktopAccelerators() override { return FStore.desktop; }
    void Flush() override {}

private:
    TStore& FStore;
};

} // namespace velmora
