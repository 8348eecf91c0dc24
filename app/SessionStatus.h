#pragma once

#include "platform/Typist.h"

#include <string>

namespace velmora {

class TMForm;

/// Shows what the session's backends can do, when it is not everything: a status line at the foot of the main
/// window and a second line in the tray icon's tooltip. Nothing changes when `note` is empty.
void ShowSessionNote(TMForm& form, const std::string& note);

/// After a Start: the status line shows the session's note followed by what became of the rows' hotkeys (`startNote`,
/// empty when all are in force).
void ShowStartNote(TMForm& form, const std::string& sessionNote, const std::string& startNote);

/// From now on a text the typist could not type whole is reported in the main window: the reason in the status
/// line and in a "Warning" box that does not hold the program. The typist may call from any thread; Stop with
/// SetProblemHandler({}) before the window goes.
void ReportTypingProblems(TMForm& form, ITypist& typist);

} // namespace velmora
