#pragma once

#include "TextWalk.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora {

/// A stretch of a text's strokes that goes one way.
struct TStrokeRun {
    enum class Way {
        Keys,   ///< each stroke as keys
        Paste,  ///< the characters by one paste
        Unsent, ///< the characters left out: no key and no paste can carry them
    };
    Way way = Way::Keys;
    std::size_t first = 0; ///< the run's first stroke
    std::size_t count = 0; ///< how many strokes it holds

    friend bool operator==(const TStrokeRun&, const TStrokeRun&) = default;
};

/// The keys that paste the clipboard into the focused application.
enum class PasteChord {
    CtrlV,       ///< most applications; a terminal takes it as "insert the next key literally"
    ShiftInsert, ///< most applications and many terminals
    CtrlShiftV,  ///< terminals
};

/// The paste chord named `name` ("ctrl-v", "shift-insert", "ctrl-shift-v"); none for another name.
std::optional<PasteChord> PasteChordNamed(std::string_view name);

/// Splits `strokes` into runs: the strokes `byKeys` takes go as keys; each run of the other strokes that are
/// characters (not control characters, which name no text) goes by one paste where `paste`, else is left out, as
/// is each other stroke (a control character, a Return or Tab without a key) on its own.
std::vector<TStrokeRun> PlanStrokeRuns(const std::vector<TStroke>& strokes,
                                       const std::function<bool(const TStroke&)>& byKeys, bool paste);

} // namespace velmora
