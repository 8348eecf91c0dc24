#pragma once

#include "WaylandKeyboard.h"
#include "platform/PasteRuns.h"
#include "platform/TextPastes.h"

#include <chrono>
#include <string>

namespace velmora {

/// The keymap of the paste chords: Control, Shift, V and Insert on their own keys (XKB text format).
std::string PasteKeymap();

/// The keys of `chord` on `keyboard`: the paste keymap, `settle` for the compositor to take it, the chord's keys.
TPasteKeys VirtualKeyboardPasteKeys(TWaylandKeyboard& keyboard, PasteChord chord, ITypingTurn& turn,
                                    std::chrono::milliseconds settle);

} // namespace velmora
