#pragma once

#include "HotkeyRegistry.h"

#include <string>
#include <vector>

namespace velmora {

/// What the user should know of the registrations of the last Start, for the status line: how many the desktop has
/// not bound yet, the rows whose hotkeys are not in force and why (the desktop's own words where it gave some), and
/// the command a desktop shortcut can run instead (`rowCommand` N) unless the user is told of it already
/// (`hintShown`). Empty when every row's hotkey is in force or refused for a reason the list itself shows.
std::string HotkeyNote(const std::vector<THotKeys::TEntry>& entries, const std::string& rowCommand, bool hintShown);

/// Why the picker's hotkey of the last Start is not in force and what to do instead (`pickCommand`: the command a
/// desktop shortcut runs to open it); empty when it is in force, pending or not registered.
std::string PickerNote(const THotKeys& hotkeys, const std::string& pickCommand);

} // namespace velmora
