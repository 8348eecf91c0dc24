#pragma once

#include "CustomShortcuts.h"

#include <functional>
#include <string>

namespace velmora {

/// Takes out of GNOME's custom shortcuts, in one step, those this program wrote whose copy no longer runs: a tag's
/// when `copyRuns` says no copy of that tag runs, a process id's (earlier versions) when `processRuns` says that
/// process is no running copy. A shortcut of a running copy, and anything the program did not write, stays.
void RemoveGnomeLeftovers(ICustomShortcuts& shortcuts, const std::function<bool(const std::string& copyTag)>& copyRuns,
                          const std::function<bool(int pid)>& processRuns);

} // namespace velmora
