#pragma once

#include <cstddef>
#include <string>

namespace velmora {

/// The command-line option with which a shortcut the user binds by hand asks the running copy to type the row at a
/// position ("velmora --type-row 3": the row numbered 3 in the list at the moment of the press).
inline constexpr const char* kTypeRowOption = "--type-row";

/// The command-line option with which a shortcut Velmora writes itself reports a press of one registration
/// ("velmora --hotkey 7"): the running copy types what a press of that registration's combination types.
inline constexpr const char* kHotkeyOption = "--hotkey";

/// The command-line option with which a shortcut asks the running copy to open the picker of all rows ("velmora
/// --pick").
inline constexpr const char* kPickOption = "--pick";

/// The tag of the copy that keeps its list in `listFolder` (16 hexadecimal digits of a hash of the path): copies
/// of different list folders name their socket and the shortcuts they leave with the desktop by it.
std::string CopyTag(const std::string& listFolder);

/// The id under which a desktop keeps a row's shortcut: stable for the row's No., so that a desktop that remembers
/// bindings finds the row's binding again at the next Start ("row-3"); "picker" for kPickerRow.
std::string ShortcutId(std::size_t rowNumber);

/// What the desktop shows the user for a row's shortcut: the program and the row's No., never the row's text (texts
/// are often passwords, and the desktop keeps these names in its settings); "Velmora picker" for kPickerRow.
std::string ShortcutLabel(std::size_t rowNumber);

/// `text` as one word of a command line that the desktop splits like a shell: quoted when it holds anything but
/// letters, digits and "/._-+".
std::string ShellWord(const std::string& text);

/// The command a shortcut Velmora writes runs for the registration `id`: the executable, quoted as one word, and
/// the hotkey option.
std::string HotkeyCommand(const std::string& executable, int id);

/// The command a shortcut Velmora writes runs to open the picker: the executable, quoted as one word, and --pick.
std::string PickCommand(const std::string& executable);

} // namespace velmora
