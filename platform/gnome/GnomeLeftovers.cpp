#include "GnomeLeftovers.h"

#include "GnomeAccelerator.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace velmora {

namespace {

/// Earlier versions named a shortcut by the process id, which has at most 9 digits; a tag has 16.
constexpr std::size_t kMaxPidDigits = 9;

} // namespace

void RemoveGnomeLeftovers(ICustomShortcuts& shortcuts, const std::function<bool(const std::string& copyTag)>& copyRuns,
                          const std::function<bool(int pid)>& processRuns) {
    std::vector<std::string> kept;
    std::vector<std::string> gone;
    for (const std::string& path : shortcuts.Paths()) {
        const std::optional<std::string> owner = ShortcutOwner(path);
        const bool byPid = owner && owner->size() <= kMaxPidDigits &&
                           std::all_of(owner->begin(), owner->end(), [](char c) { return c >= '0' && c <= '9'; });
        const bool runs = !owner || (byPid ? processRuns(std::stoi(*owner)) : copyRuns(*owner));
        (runs ? kept : gone).push_back(path);
    }
    if (gone.empty()) {
        return;
    }
    shortcuts.SetPaths(kept);
    for (const std::string& path : gone) {
        shortcuts.Erase(path);
    }
    shortcuts.Flush();
}

} // namespace velmora
