#pragma once

#include "platform/gnome/CustomShortcuts.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

/// The desktop's custom shortcuts in memory; the test sees and sets what is stored.
class FakeCustomShortcuts final : public ICustomShortcuts {
public:
    struct TStore {
        std::vector<std::string> paths;               ///< the list in force
        std::map<std::string, TCustomShortcut> saved; ///< the values under each path
        std::vector<std::string> desktop;             ///< the desktop's own accelerators
        std::set<std::string> refused;                ///< paths whose writes the settings do not keep
        int flushes = 0;                              ///< how many times the changes were handed over
    };
    explicit FakeCustomShortcuts(TStore& store) : FStore(store) {}

    std::vector<std::string> Paths() override { return FStore.paths; }
    void SetPaths(const std::vector<std::string>& paths) override { FStore.paths = paths; }
    void Write(const std::string& path, const TCustomShortcut& shortcut) override {
        if (FStore.refused.count(path) != 0) {
            FFailed[path] = "refused";
        } else {
            FStore.saved[path] = shortcut;
        }
    }
    void Erase(const std::string& path) override { FStore.saved.erase(path); }
    std::string Binding(const std::string& path) override {
        return FStore.saved.count(path) != 0 ? FStore.saved.at(path).binding : std::string();
    }
    std::vector<std::string> DesktopAccelerators() override { return FStore.desktop; }
    std::map<std::string, std::string> Flush() override {
        ++FStore.flushes;
        return std::exchange(FFailed, {});
    }

private:
    TStore& FStore;
    std::map<std::string, std::string> FFailed;
};

} // namespace velmora
