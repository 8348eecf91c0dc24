#pragma once

#include "core/TypingScript.h"

namespace velmora {

/// What {DATE}, {TIME} and {CLIPBOARD} stand for at a press: the local date or time in its format (Qt's letters), and
/// the clipboard's text. In a Wayland session whose compositor offers its data-control clipboard (wlroots
/// compositors, KWin) the text is read there: Qt's own view of the clipboard is stale or empty for a program without
/// the keyboard focus. Elsewhere, and while this program holds the clipboard itself, Qt's clipboard is read. The
/// resolver runs on the GUI thread.
MomentResolver PressMomentResolver(bool wayland);

} // namespace velmora
