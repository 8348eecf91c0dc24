#include "RemoteTypingPlan.h"

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

constexpr std::uint32_t kControlL = 0xFFE3;
/// Linux input's key code of V.
constexpr std::uint32_t kKeyV = 47;

/// Whether a character the layout lacks may go by paste: not control characters, which name no text.
bool Pastable(const TStroke& stroke) {
    return stroke.kind == StrokeKind::Character && !IsControlCharacter(stroke.character);
}

/// The run of pastable characters the layout lacks from `first` on.
std::u32string OffLayoutRun(const std::vector<TStroke>& strokes, std::size_t first, const TRemoteKeyPlan& keys) {
    std::u32string run;
    for (std::size_t i = first; i < strokes.size() && Pastable(strokes[i]) && !keys.Keys(strokes[i]); ++i) {
        run += strokes[i].character;
    }
    return run;
}

} // namespace

std::vector<TRemoteKey> PasteChord(const TRemoteKeyPlan& keys) {
    std::vector<TRemoteKey> chord{{false, kControlL, true}};
    const std::vector<TRemoteKey> v = keys.Keys({StrokeKind::Character, U'v'})
                                          .value_or(std::vector<TRemoteKey>{{true, kKeyV, true}, {true, kKeyV, false}});
    chord.insert(chord.end(), v.begin(), v.end());
    chord.push_back({false, kControlL, false});
    return chord;
}

TRemotePlan PlanRemoteTyping(const std::vector<TStroke>& strokes, const TRemoteKeyPlan& keys, TRemoteRoutes routes) {
    TRemotePlan plan;
    if (routes.afterHotkey) {
        plan.letGo = keys.LetGoOfModifiers();
    }
    if (routes.inputMethod) {
        plan.ime = ImePieces(strokes);
    }
    for (std::size_t i = 0; i < strokes.size();) {
        if (std::optional<std::vector<TRemoteKey>> stroke = keys.Keys(strokes[i])) {
            plan.pieces.push_back({TRemotePiece::Kind::Keys, i, std::move(*stroke), {}});
            ++i;
            continue;
        }
        std::u32string run = OffLayoutRun(strokes, i, keys);
        const std::size_t length = run.size();
        if (run.empty()) {
            plan.pieces.push_back({TRemotePiece::Kind::Unsent, i, {}, {strokes[i].character}});
        } else if (routes.clipboard) {
            plan.pieces.push_back({TRemotePiece::Kind::Paste, i, PasteChord(keys), std::move(run)});
        } else {
            plan.pieces.push_back({TRemotePiece::Kind::Unsent, i, {}, std::move(run)});
        }
        i += std::max<std::size_t>(length, 1);
    }
    return plan;
}

} // namespace velmora
