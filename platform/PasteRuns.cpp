#include "PasteRuns.h"

namespace velmora {

namespace {

bool Pastable(const TStroke& stroke) {
    return stroke.kind == StrokeKind::Character && !IsControlCharacter(stroke.character);
}

} // namespace

std::optional<PasteChord> PasteChordNamed(std::string_view name) {
    if (name == "ctrl-v") {
        return PasteChord::CtrlV;
    }
    if (name == "shift-insert") {
        return PasteChord::ShiftInsert;
    }
    if (name == "ctrl-shift-v") {
        return PasteChord::CtrlShiftV;
    }
    return std::nullopt;
}

std::vector<TStrokeRun> PlanStrokeRuns(const std::vector<TStroke>& strokes,
                                       const std::function<bool(const TStroke&)>& byKeys, bool paste) {
    std::vector<TStrokeRun> runs;
    for (std::size_t i = 0; i < strokes.size();) {
        std::size_t end = i + 1;
        TStrokeRun::Way way = TStrokeRun::Way::Unsent;
        if (byKeys(strokes[i])) {
            way = TStrokeRun::Way::Keys;
            while (end < strokes.size() && byKeys(strokes[end])) {
                ++end;
            }
        } else if (Pastable(strokes[i])) {
            way = paste ? TStrokeRun::Way::Paste : TStrokeRun::Way::Unsent;
            while (end < strokes.size() && Pastable(strokes[end]) && !byKeys(strokes[end])) {
                ++end;
            }
        }
        runs.push_back({way, i, end - i});
        i = end;
    }
    return runs;
}

} // namespace velmora
