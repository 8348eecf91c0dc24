#pragma once

#include "platform/Typist.h"

#include <functional>
#include <string>

namespace velmora {

class TMForm;

/// Shows what the session's backends can do, when it is not everything: a status line at the foot of the main
/// window, a second line in the tray icon's tooltip, and standard error. Nothing changes when `note` is empty.
void ShowSessionNote(TMForm& form, const std::string& note);

/// After a Start: the status line shows the session's note followed by what became of the rows' hotkeys (`startNote`,
/// empty when all are in force).
void ShowStartNote(TMForm& form, const std::string& sessionNote, const std::string& startNote);

/// From now on a text the typist could not type whole is reported on standard error and in the main window: the
/// reason in the status line at once, and (once per Start) in a "Warning" box that does not hold the program, shown
/// only once `typing` says that no text is being typed, since on some desktops a new window takes the keyboard focus.
/// It is asked again each time the typist tells that it has become idle (a typist that does not tell is asked every
/// 100 ms). The typist may call from any thread and must outlive the window; Stop with SetProblemHandler({}) before
/// the window goes.
void ReportTypingProblems(TMForm& form, ITypist& typist, std::function<bool()> typing = {});

} // namespace velmora
