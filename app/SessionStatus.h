#pragma once

#include <string>

namespace velmora {

class TMForm;

/// Shows what the session's backends can do, when it is not everything: a status line at the foot of the main
/// window and a second line in the tray icon's tooltip. Nothing changes when `note` is empty.
void ShowSessionNote(TMForm& form, const std::string& note);

} // namespace velmora
