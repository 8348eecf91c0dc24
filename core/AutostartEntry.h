#pragma once

#include <string>
#include <string_view>

namespace velmora {

/// The option of the program started at login: it presses Start and stays in the tray.
inline constexpr const char* kAutostartOption = "--autostart";

/// What an autostart entry asks for.
struct TAutostartState {
    bool enabled = false; ///< the program is started at login
    bool inTray = false;  ///< ... with kAutostartOption
    friend bool operator==(const TAutostartState&, const TAutostartState&) = default;
};

/// One argument as a desktop entry's Exec value holds it: quoted when it holds a reserved character (with `"`, `` ` ``,
/// `$` and `\` escaped inside the quotes), `%` doubled, then backslashes and line breaks escaped as in any string
/// value.
std::string DesktopExecArgument(std::string_view argument);

/// The text of the autostart entry that starts `executable` (an absolute path), with kAutostartOption when `inTray`.
std::string AutostartEntryText(std::string_view executable, bool inTray);

/// What an entry's text asks for: enabled unless it says Hidden=true or X-GNOME-Autostart-enabled=false; in the tray
/// when its Exec value holds kAutostartOption as an argument of its own.
TAutostartState ReadAutostartEntry(std::string_view text);

} // namespace velmora
