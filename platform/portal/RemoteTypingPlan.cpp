#include "RemoteTypingPlan.h"

namespace velmora {

namespace {

constexpr std::uint32_t kControlL = 0xFFE3;
constexpr std::uint32_t kShiftL = 0xFFE1;
constexpr std::uint32_t kInsert = 0xFF63;
/// Linux input's key code of V.
constexpr std::uint32_t kKeyV = 47;
/// The modifier keys of a hotkey (Linux input key codes: left and right Control and Alt), left Control first: it is
/// held while the others are looked at, which taps none of them alone.
const std::vector<std::uint32_t> kHotkeyModifiers{29, 97, 56, 100};

} // namespace

std::vector<TRemoteKey> PasteChordKeys(const TRemoteKeyPlan& keys, PasteChord chord) {
    if (chord == PasteChord::ShiftInsert) {
        return {{false, kShiftL, true}, {false, kInsert, true}, {false, kInsert, false}, {false, kShiftL, false}};
    }
    std::vector<TRemoteKey> modifiers{{false, kControlL, true}};
    if (chord == PasteChord::CtrlShiftV) {
        modifiers.push_back({false, kShiftL, true});
    }
    std::vector<TRemoteKey> chordKeys = modifiers;
    const std::vector<TRemoteKey> v = keys.Keys({StrokeKind::Character, U'v'})
                                          .value_or(std::vector<TRemoteKey>{{true, kKeyV, true}, {true, kKeyV, false}});
    chordKeys.insert(chordKeys.end(), v.begin(), v.end());
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        chordKeys.push_back({false, modifier->value, false});
    }
    return chordKeys;
}

TRemotePlan PlanRemoteTyping(const std::vector<TStroke>& strokes, const TRemoteKeyPlan& keys, TRemoteRoutes routes) {
    // A desktop shortcut that runs a row command may leave its keys held as well as a hotkey.
    TRemotePlan plan;
    plan.awaitRelease = kHotkeyModifiers;
    if (routes.afterHotkey) {
        plan.letGo = keys.LetGoOfModifiers();
    }
    if (routes.inputMethod) {
        plan.ime = ImePieces(strokes);
    }
    const auto byKeys = [&keys](const TStroke& stroke) { return keys.Keys(stroke).has_value(); };
    for (const TStrokeRun& run : PlanStrokeRuns(strokes, byKeys, routes.clipboard)) {
        std::u32string characters;
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            if (run.way == TStrokeRun::Way::Keys) {
                plan.pieces.push_back({TRemotePiece::Kind::Keys, i, *keys.Keys(strokes[i]), {}});
            }
            characters += strokes[i].character;
        }
        if (run.way == TStrokeRun::Way::Paste) {
            plan.pieces.push_back(
                {TRemotePiece::Kind::Paste, run.first, PasteChordKeys(keys, routes.chord), std::move(characters)});
        } else if (run.way == TStrokeRun::Way::Unsent) {
            plan.pieces.push_back({TRemotePiece::Kind::Unsent, run.first, {}, std::move(characters)});
        }
    }
    return plan;
}

std::optional<TRemotePlan> PlanRemoteChord(const TKeyChord& chord, const TRemoteKeyPlan& keys, TRemoteRoutes routes) {
    std::optional<std::vector<TRemoteKey>> calls = keys.ChordKeys(chord);
    if (!calls) {
        return std::nullopt;
    }
    TRemotePlan plan;
    plan.awaitRelease = kHotkeyModifiers;
    if (routes.afterHotkey) {
        plan.letGo = keys.LetGoOfModifiers();
    }
    plan.pieces.push_back({TRemotePiece::Kind::Chord, 0, std::move(*calls), {}});
    plan.chordViaInputMethod = routes.inputMethod;
    return plan;
}

} // namespace velmora
